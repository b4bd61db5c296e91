#include <random>

#include "FreeSpaceSearch.h"
#include "SimFixture.h"

using namespace plat;

namespace {

// A volume laid out as alternating used/free lengths, starting with used.
sim::SimVolume& Layout(sim::ScopedSimPlatform& m, std::int64_t clusters,
                       const std::vector<std::int64_t>& usedFree) {
  sim::SimVolume& v = m->AddVolume('C', clusters);
  std::int64_t at = 0;
  bool used = true;
  for (std::int64_t len : usedFree) {
    if (used) v.SetUsed(at, len, true);
    at += len;
    used = !used;
  }
  return v;
}

struct Found {
  std::int64_t result;
  TFreeRegion first;
  std::int32_t listStatus;
  TFreeRegionList all;
};

Found Search(std::int64_t needed, TBitmapWalker walker = TBitmapWalker::Fast) {
  HANDLE volume;
  EXPECT_EQ(OpenVolumeHandle("C:\\x", volume), 0);
  Found f{};
  f.result = FindFirstFreeRegionWith(walker, volume, needed, f.first);
  f.listStatus = ListFreeRegionsWith(walker, volume, f.all, needed);
  CloseHandle(volume);
  return f;
}

TEST_F(SimTest, FirstFitAndListOnTheSmallExample) {
  // used 1, free 3, used 1, free 7, used 1, free 9 (to the volume's end)
  Layout(machine, 22, {1, 3, 1, 7, 1, 9});
  for (TBitmapWalker w : {TBitmapWalker::Fast, TBitmapWalker::Reference}) {
    const Found f = Search(5, w);
    EXPECT_EQ(f.result, 7);
    EXPECT_EQ(f.first, (TFreeRegion{5, 7}));
    EXPECT_EQ(f.listStatus, 0);
    EXPECT_EQ(f.all, (TFreeRegionList{{5, 7}, {13, 9}}));
  }
}

struct BoundaryCase {
  const char* name;
  std::int64_t clusters;
  std::vector<std::int64_t> usedFree;
  std::int64_t needed;
  TFreeRegionList expected;
};
void PrintTo(const BoundaryCase& c, std::ostream* os) { *os << c.name; }


class BoundaryTest : public SimTest, public ::testing::WithParamInterface<BoundaryCase> {};

TEST_P(BoundaryTest, RunsAreJudgedWhole) {
  const BoundaryCase& c = GetParam();
  Layout(machine, c.clusters, c.usedFree);
  const Found f = Search(c.needed);
  EXPECT_EQ(f.all, c.expected);
  EXPECT_EQ(f.listStatus, 0);
  if (c.expected.empty()) {
    EXPECT_EQ(f.result, -1);
  } else {
    EXPECT_EQ(f.first, c.expected.front());
    EXPECT_EQ(f.result, c.expected.front().Length);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BoundaryTest,
    ::testing::Values(
        // One run from 1,048,000 to 1,049,600 crosses the first request's end.
        BoundaryCase{"CrossesRequestBoundary", 3000000, {1048000, 1600, 1950400}, 1000,
                     {{1048000, 1600}}},
        // A run that reaches the last cluster is judged after the last request.
        BoundaryCase{"ReachesVolumeEnd", 2100003, {2000000, 100003}, 100000,
                     {{2000000, 100003}}},
        BoundaryCase{"WholeVolumeFree", 2500000, {0, 2500000}, 1, {{0, 2500000}}},
        BoundaryCase{"NothingFits", 5000, {10, 99, 1, 99, 4791}, 100, {}},
        BoundaryCase{"ExactFitOnly", 300, {10, 50, 1, 49, 1, 50, 139}, 50,
                     {{10, 50}, {111, 50}}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(SimTest, FirstFitStopsReadingAtTheRunItFinds) {
  Layout(machine, 5000000, {100, 200, 4999700});
  TFreeRegion r;
  HANDLE volume;
  ASSERT_EQ(OpenVolumeHandle("C:\\x", volume), 0);
  EXPECT_EQ(FindFirstFreeRegion(volume, 150, r), 200);
  EXPECT_EQ(Requests(FSCTL_GET_VOLUME_BITMAP), 1);
  CloseHandle(volume);
}

TEST_F(SimTest, BitmapFailures) {
  // Free runs in the first and the third request; the second fails.
  Layout(machine, 3001000, {10, 500, 2100000, 600, 899890});
  HANDLE volume;
  ASSERT_EQ(OpenVolumeHandle("C:\\x", volume), 0);
  machine->Script({FSCTL_GET_VOLUME_BITMAP, 1, STATUS_INVALID_PARAMETER, false});
  TFreeRegion r;
  EXPECT_EQ(FindFirstFreeRegion(volume, 550, r), -1);
  machine->Script({FSCTL_GET_VOLUME_BITMAP, 3, STATUS_INVALID_PARAMETER, false});
  TFreeRegionList list;
  EXPECT_EQ(ListFreeRegions(volume, list, 100), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(list, (TFreeRegionList{{10, 500}}));
  // A pending request whose final status is bad reads as -1.
  machine->Script({FSCTL_GET_VOLUME_BITMAP, 5, STATUS_INVALID_PARAMETER, true});
  list.clear();
  EXPECT_EQ(ListFreeRegions(volume, list, 100), -1);
  EXPECT_EQ(list, (TFreeRegionList{{10, 500}}));
  // A pending request that ends well goes on as if it had not waited.
  machine->Script({FSCTL_GET_VOLUME_BITMAP, 7, std::nullopt, true});
  list.clear();
  EXPECT_EQ(ListFreeRegions(volume, list, 100), 0);
  EXPECT_EQ(list, (TFreeRegionList{{10, 500}, {2100510, 600}}));
  CloseHandle(volume);
}

// The fast scanner must give exactly the reference walk's answers, through
// the same request path, on bitmaps with long and short runs of every kind.
TEST_F(SimTest, FastSearchMatchesReferenceOnRandomVolumes) {
  std::mt19937_64 rng(20261211);
  for (int round = 0; round < 12; ++round) {
    sim::ScopedSimPlatform local;
    const std::int64_t clusters = 1 + static_cast<std::int64_t>(rng() % 3200000);
    sim::SimVolume& v = local->AddVolume('C', clusters);
    const int meanRun = 1 << (rng() % 14);
    std::int64_t at = 0;
    bool used = rng() & 1;
    while (at < clusters) {
      const std::int64_t len = std::min<std::int64_t>(clusters - at, 1 + rng() % (2 * meanRun));
      if (used) v.SetUsed(at, len, true);
      at += len;
      used = !used;
    }
    for (std::int64_t needed : {1, 3, 63, 64, 65, 200, 4096}) {
      const Found fast = Search(needed, TBitmapWalker::Fast);
      const Found ref = Search(needed, TBitmapWalker::Reference);
      ASSERT_EQ(fast.result, ref.result) << "round " << round << " N " << needed;
      if (ref.result >= 0) {
        ASSERT_EQ(fast.first, ref.first);
      }
      ASSERT_EQ(fast.all, ref.all) << "round " << round << " N " << needed;
    }
  }
}

}  // namespace
