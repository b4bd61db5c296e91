#include "Records.h"
#include "SimFixture.h"

using namespace plat;
using sim::Extent;

namespace {

TFileMap ReadMap(const std::string& name, std::int32_t& status) {
  HANDLE h;
  EXPECT_EQ(OpenFileHandle(name, h), 0);
  TFileMap map;
  status = GetFileMap(h, map);
  CloseHandle(h);
  return map;
}

TEST_F(SimTest, ResidentFileHasNoMap) {
  AddC().AddResidentFile("tiny.txt", 300);
  std::int32_t status;
  TFileMap map = ReadMap("C:\\tiny.txt", status);
  EXPECT_EQ(status, STATUS_END_OF_FILE);
  EXPECT_EQ(map.BlockCount, 0);
  EXPECT_EQ(map.TotalClusters, 0);
  EXPECT_TRUE(map.Blocks.empty());
}

TEST_F(SimTest, LongMapIsReadInSeveralRequestsWithoutGapOrRepeat) {
  constexpr int kExtents = 10000;  // three requests of up to 4,096
  std::vector<Extent> extents;
  for (int i = 0; i < kExtents; ++i) extents.push_back({2 * i + (i % 7 == 3 ? -2 * i - 1 : 0), 1});
  AddC(40000).AddFile("frag.dat", extents);
  std::int32_t status;
  TFileMap map = ReadMap("C:\\frag.dat", status);
  ASSERT_EQ(status, STATUS_SUCCESS);
  ASSERT_EQ(map.BlockCount, kExtents);
  ASSERT_EQ(map.Blocks.size(), static_cast<std::size_t>(kExtents));
  EXPECT_EQ(map.TotalClusters, kExtents);
  for (int i = 0; i < kExtents; ++i) {
    EXPECT_EQ(map.Blocks[i].StartVcn, i);
    EXPECT_EQ(map.Blocks[i].Lcn, extents[i].Lcn);
    EXPECT_EQ(map.Blocks[i].Clusters, 1);
  }
  const auto requests = machine->Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(rec::LoadI64(requests[0].Input.data(), 0), 0);
  EXPECT_EQ(rec::LoadI64(requests[1].Input.data(), 0), 4096);
  EXPECT_EQ(rec::LoadI64(requests[2].Input.data(), 0), 8192);
}

TEST_F(SimTest, MapFailurePartWayKeepsWhatWasRead) {
  std::vector<Extent> extents;
  for (int i = 0; i < 5000; ++i) extents.push_back({2 * i, 1});
  AddC().AddFile("frag.dat", extents);
  machine->Script({FSCTL_GET_RETRIEVAL_POINTERS, 1, STATUS_INVALID_PARAMETER, false});
  std::int32_t status;
  TFileMap map = ReadMap("C:\\frag.dat", status);
  EXPECT_EQ(status, STATUS_INVALID_PARAMETER);
  EXPECT_EQ(map.BlockCount, 4096);
}

TEST_F(SimTest, PendingMapRequestsTakeTheirFinalStatus) {
  AddC().AddFile("a.dat", {{10, 3}, {20, 3}});
  machine->Script({FSCTL_GET_RETRIEVAL_POINTERS, 0, std::nullopt, true});
  std::int32_t status;
  TFileMap map = ReadMap("C:\\a.dat", status);
  EXPECT_EQ(status, STATUS_SUCCESS);
  EXPECT_EQ(map.BlockCount, 2);

  machine->Script({FSCTL_GET_RETRIEVAL_POINTERS, 1, STATUS_ACCESS_DENIED, true});
  map = ReadMap("C:\\a.dat", status);
  EXPECT_EQ(status, STATUS_ACCESS_DENIED);
}

struct MergeCase {
  const char* name;
  std::vector<TFileBlock> in;
  std::vector<TFileBlock> out;
};
void PrintTo(const MergeCase& c, std::ostream* os) { *os << c.name; }


class MergeTest : public ::testing::TestWithParam<MergeCase> {};

TEST_P(MergeTest, MergesInPlace) {
  const MergeCase& c = GetParam();
  TFileMap map;
  map.Blocks = c.in;
  map.BlockCount = static_cast<std::int64_t>(c.in.size());
  MergeFileMap(map);
  EXPECT_EQ(map.Blocks, c.out);
  EXPECT_EQ(map.BlockCount, static_cast<std::int64_t>(c.out.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MergeTest,
    ::testing::Values(
        MergeCase{"Adjacent", {{0, 100, 10, 10}, {10, 110, 5, 5}}, {{0, 100, 15, 15}}},
        MergeCase{"VirtualFoldedIntoPrevious", {{0, 200, 16, 16}, {16, -1, 12, 12}},
                  {{0, 200, 16, 28}}},
        MergeCase{"ApartStayTwo", {{0, 100, 10, 10}, {10, 300, 5, 5}},
                  {{0, 100, 10, 10}, {10, 300, 5, 5}}},
        MergeCase{"LeadingVirtualStaysFirst", {{0, -1, 8, 8}, {8, 50, 4, 4}},
                  {{0, -1, 8, 8}, {8, 50, 4, 4}}},
        // -1 + 11 == 10: a hole must not look adjacent to LCN 10.
        MergeCase{"LeadingVirtualIsNeverAdjacent", {{0, -1, 11, 11}, {11, 10, 4, 4}},
                  {{0, -1, 11, 11}, {11, 10, 4, 4}}},
        MergeCase{"CompressedUnitsInARow",
                  {{0, 40, 4, 4}, {4, -1, 12, 12}, {16, 44, 4, 4}, {20, -1, 12, 12}},
                  {{0, 40, 8, 32}}},
        MergeCase{"ThreeWithLastTwoAdjacent", {{0, 10, 2, 2}, {2, 90, 3, 3}, {5, 93, 1, 1}},
                  {{0, 10, 2, 2}, {2, 90, 4, 4}}},
        MergeCase{"Empty", {}, {}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(SimTest, TotalClustersCountsVirtualRuns) {
  AddC().AddFile("sparse.dat", {{200, 16}, {-1, 12}});
  std::int32_t status;
  TFileMap map = ReadMap("C:\\sparse.dat", status);
  ASSERT_EQ(status, STATUS_SUCCESS);
  MergeFileMap(map);
  EXPECT_EQ(map.TotalClusters, 28);
  EXPECT_EQ(map.BlockCount, 1);
  EXPECT_EQ(map.Blocks[0].VcnSpan, 28);
  EXPECT_EQ(map.Blocks[0].Clusters, 16);
}

}  // namespace
