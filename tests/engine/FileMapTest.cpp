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

namespace {

// A platform that answers every map request with the same scripted bytes,
// as a broken or hostile driver might.
class ScriptedMapPlatform final : public plat::Platform {
 public:
  std::vector<std::uint8_t> answer = std::vector<std::uint8_t>(plat::rec::kMapBufferSize);
  std::int32_t status = plat::STATUS_SUCCESS;
  int requests = 0;
  std::uint32_t GetDriveTypeA(const std::string&) override { return plat::DRIVE_FIXED; }
  plat::HANDLE CreateFileA(const std::string&, std::uint32_t, std::uint32_t, std::uint32_t,
                           std::uint32_t) override { return 1; }
  bool CloseHandle(plat::HANDLE) override { return true; }
  std::int32_t NtFsControlFile(plat::HANDLE, plat::IO_STATUS_BLOCK&, std::uint32_t, const void*,
                               std::uint32_t, void* out, std::uint32_t) override {
    ++requests;
    std::copy(answer.begin(), answer.end(), static_cast<std::uint8_t*>(out));
    return status;
  }
  std::uint32_t WaitForSingleObject(plat::HANDLE, std::uint32_t) override { return 0; }
  plat::HANDLE FindFirstFileA(const std::string&, plat::FindData&) override { return -1; }
  bool FindNextFileA(plat::HANDLE, plat::FindData&) override { return false; }
  bool FindClose(plat::HANDLE) override { return false; }
  bool GetFileSizeEx(plat::HANDLE, std::int64_t&) override { return false; }
  std::uint32_t GetFileAttributesA(const std::string&) override { return 0; }
};

TEST(HostileMapTest, MalformedAnswersEndTheMapInsteadOfLooping) {
  namespace rec = plat::rec;
  struct Case { const char* name; std::uint32_t count; std::int64_t start; std::int64_t next; std::int32_t status; };
  for (const Case& c : {Case{"extent going backwards", 1, 1, 0, plat::STATUS_SUCCESS},
                        Case{"empty extent", 1, 5, 5, plat::STATUS_SUCCESS},
                        Case{"more than the buffer holds", 5000, 0, 1, plat::STATUS_SUCCESS},
                        Case{"more follows, never moving on", 0, 0, 0, plat::STATUS_BUFFER_OVERFLOW},
                        Case{"negative start", 1, -8, 1, plat::STATUS_SUCCESS}}) {
    ScriptedMapPlatform hostile;
    rec::StoreU32(hostile.answer.data(), rec::kMapExtentCountOffset, c.count);
    rec::StoreI64(hostile.answer.data(), rec::kMapStartingVcnOffset, c.start);
    rec::StoreI64(hostile.answer.data(), rec::kMapExtentsOffset, c.next);
    hostile.status = c.status;
    plat::Platform* previous = plat::SetCurrent(&hostile);
    TFileMap map;
    const std::int32_t status = GetFileMap(1, map);
    plat::SetCurrent(previous);
    EXPECT_EQ(status, static_cast<std::int32_t>(0xC0000102u)) << c.name;
    EXPECT_LE(hostile.requests, 2) << c.name;
    for (const TFileBlock& b : map.Blocks) EXPECT_GT(b.Clusters, 0) << c.name;
  }
}

}  // namespace
