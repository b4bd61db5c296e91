// The engine against a hostile file system: every map, bitmap and move
// answer comes from the fuzz input (see HostilePlatform.h). The first bytes
// pick the entry to run and its arguments; the rest feed the answers.
//
// Properties besides not crashing or hanging: a map read is a gapless run
// of forward extents whatever was answered, merging keeps its VCN total,
// the free-space search finds only runs that fit, in ascending order, and
// the fast bitmap scanner finds exactly what the reference walk finds from
// the same answers; every handle opened is closed.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "DefragAPI.h"
#include "FreeSpaceSearch.h"
#include "FuzzCheck.h"
#include "HostilePlatform.h"

namespace {

// Makes the platform current for one run.
class Machine {
 public:
  explicit Machine(FuzzedDataProvider& input)
      : platform_(input), previous_(plat::SetCurrent(&platform_)) {}
  ~Machine() { plat::SetCurrent(previous_); }
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;
  HostilePlatform& Platform() { return platform_; }

 private:
  HostilePlatform platform_;
  plat::Platform* previous_;
};

void CheckMap(const TFileMap& map, bool merged) {
  std::int64_t span = 0;
  for (std::size_t i = 0; i < map.Blocks.size(); ++i) {
    const TFileBlock& b = map.Blocks[i];
    FUZZ_CHECK(b.StartVcn >= 0 && b.Clusters > 0 && b.VcnSpan >= b.Clusters);
    if (i > 0) {
      const TFileBlock& a = map.Blocks[i - 1];
      FUZZ_CHECK(b.StartVcn == a.StartVcn + a.VcnSpan);
      if (merged) FUZZ_CHECK(b.Lcn != -1);
    }
    span += b.VcnSpan;
  }
  FUZZ_CHECK(span == map.TotalClusters);
  if (merged) FUZZ_CHECK(map.BlockCount == static_cast<std::int64_t>(map.Blocks.size()));
}

void RunFileMap(FuzzedDataProvider& input) {
  Machine machine(input);
  TFileMap map;
  GetFileMap(HostilePlatform::kFile, map);
  CheckMap(map, false);
  FUZZ_CHECK(map.BlockCount == static_cast<std::int64_t>(map.Blocks.size()));
  MergeFileMap(map);
  CheckMap(map, true);
}

std::int64_t PickNeeded(FuzzedDataProvider& input) {
  return input.ConsumeBool() ? input.ConsumeIntegralInRange<std::int64_t>(1, 300)
                             : input.ConsumeIntegral<std::int64_t>();
}

// Runs `search(i, walker)` for the fast scanner (0) and the reference walk
// (1); both get the same answers, each from its own copy of the input.
template <class Search>
void WithBothWalkers(FuzzedDataProvider& header, Search&& search) {
  const std::vector<std::uint8_t> rest = header.ConsumeRemainingBytes<std::uint8_t>();
  const TBitmapWalker walkers[2] = {TBitmapWalker::Fast, TBitmapWalker::Reference};
  for (int i = 0; i < 2; ++i) {
    FuzzedDataProvider input(rest.data(), rest.size());
    Machine machine(input);
    search(i, walkers[i]);
  }
}

void RunFindFirst(FuzzedDataProvider& header) {
  const std::int64_t needed = PickNeeded(header);
  std::int64_t found[2];
  TFreeRegion regions[2];
  WithBothWalkers(header, [&](int i, TBitmapWalker walker) {
    found[i] = FindFirstFreeRegionWith(walker, HostilePlatform::kVolume, needed, regions[i]);
  });
  FUZZ_CHECK(found[0] == found[1]);
  if (found[0] >= 0) {
    FUZZ_CHECK(regions[0] == regions[1]);
    FUZZ_CHECK(found[0] == regions[0].Length && regions[0].Length >= needed);
  }
}

void RunListAll(FuzzedDataProvider& header) {
  const std::int64_t needed = PickNeeded(header);
  std::int32_t status[2];
  TFreeRegionList lists[2];
  WithBothWalkers(header, [&](int i, TBitmapWalker walker) {
    status[i] = ListFreeRegionsWith(walker, HostilePlatform::kVolume, lists[i], needed);
  });
  FUZZ_CHECK(status[0] == status[1]);
  FUZZ_CHECK(lists[0] == lists[1]);
  for (std::size_t i = 0; i < lists[0].size(); ++i) {
    const TFreeRegion& r = lists[0][i];
    FUZZ_CHECK(r.Length >= needed && r.Length > 0 && r.Lcn >= 0);
    if (i > 0) FUZZ_CHECK(r.Lcn > lists[0][i - 1].Lcn + lists[0][i - 1].Length);
  }
}

void RunEntry(FuzzedDataProvider& input, int which) {
  const bool stopSometimes = input.ConsumeBool();
  const int stopAt = input.ConsumeIntegralInRange<int>(0, 16);
  int calls = 0;
  const TStopCallback stop = [&](std::int32_t) { return stopSometimes && ++calls > stopAt; };
  std::int64_t target = input.ConsumeIntegral<std::int64_t>();
  Machine machine(input);
  switch (which) {
    case 0: DefragmentFile("C:\\a.dat", stop); break;
    case 1: DefragmentFileToTail("C:\\a.dat", stop); break;
    case 2: DefragmentFileToOffset("C:\\a.dat", target, stop); break;
    case 3: DefragmentList({"C:\\a.dat", "C:\\b.dat", "C:\\c.dat"}, input.ConsumeBool(), stop); break;
    default: GetFileFragmentCount(HostilePlatform::kFile); break;
  }
  FUZZ_CHECK(machine.Platform().OpenHandles() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  switch (const int scenario = input.ConsumeIntegralInRange<int>(0, 7)) {
    case 0: RunFileMap(input); break;
    case 1: RunFindFirst(input); break;
    case 2: RunListAll(input); break;
    default: RunEntry(input, scenario - 3); break;
  }
  return 0;
}
