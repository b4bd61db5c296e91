// Free-space search over a 2 TiB volume (536,870,912 clusters of 4 KiB) in
// the simulated backend, read through the engine's request path (1,048,576
// clusters per bitmap request), with the plain walk and the fast scanner,
// and memchr over the same bitmap bytes as the memory-bandwidth yardstick.
//
// Four bitmaps:
//   fragmented  used runs of 1,000-100,000 clusters, free gaps of 1-4,095,
//               one free run of exactly 4,096 near the end; first fit of 4,096
//   random      each cluster used with probability 1/2; first fit of 256
//   alternating 4 used, 4 free, repeated; first fit of 256
//   random      the same bitmap; every free run of at least 3 listed
// memchr looks for a byte value that does not occur in the bitmap, so it
// reads all 64 MiB. The random bitmap draws each byte uniformly from the
// 255 values other than 0x5A to have such a value; every other byte keeps
// its chance, so clusters stay used with probability 1/2.
//
// A fourth column runs the same requests with nothing scanned: the cost of
// having the bitmap copied into the request buffer, which every walker pays.
// After the table the program prints the fast scanner's speed over
// memchr's and over the plain walk's for each case.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "DefragAPI.h"
#include "FreeSpaceSearch.h"
#include "Records.h"
#include "SimPlatform.h"

namespace {

constexpr std::int64_t kClusters = std::int64_t{1} << 29;  // 2 TiB at 4 KiB
constexpr std::int64_t kBytes = kClusters / 8;
constexpr std::uint8_t kRandomAbsent = 0x5A;

// splitmix64: fast and good enough to lay out test bitmaps.
struct Rng {
  std::uint64_t state;
  std::uint64_t operator()() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
    return z ^ (z >> 31);
  }
  std::int64_t Between(std::int64_t lo, std::int64_t hi) {
    return lo + static_cast<std::int64_t>((*this)() % static_cast<std::uint64_t>(hi - lo + 1));
  }
};

void SetRange(std::vector<std::uint8_t>& bitmap, std::int64_t from, std::int64_t count) {
  const std::int64_t end = from + count;
  for (; from < end && from % 8 != 0; ++from)
    bitmap[static_cast<std::size_t>(from / 8)] |= static_cast<std::uint8_t>(1u << (from % 8));
  const std::int64_t wholeEnd = end / 8 * 8;
  if (from < wholeEnd) {
    std::memset(bitmap.data() + from / 8, 0xFF, static_cast<std::size_t>((wholeEnd - from) / 8));
    from = wholeEnd;
  }
  for (; from < end; ++from)
    bitmap[static_cast<std::size_t>(from / 8)] |= static_cast<std::uint8_t>(1u << (from % 8));
}

void LayFragmented(std::vector<std::uint8_t>& bitmap) {
  Rng rng{1};
  const std::int64_t fitAt = kClusters - 200000;
  std::int64_t at = 0;
  while (at < fitAt) {
    const std::int64_t used = std::min(rng.Between(1000, 100000), fitAt - at);
    SetRange(bitmap, at, used);
    at += used + rng.Between(1, 4095);
  }
  // The only run that fits: exactly 4,096 free from fitAt, the rest used.
  SetRange(bitmap, fitAt + 4096, kClusters - fitAt - 4096);
}

void LayRandom(std::vector<std::uint8_t>& bitmap) {
  Rng rng{2};
  std::uint64_t bits = 0;
  int left = 0;
  for (std::uint8_t& byte : bitmap) {
    do {
      if (left == 0) {
        bits = rng();
        left = 8;
      }
      byte = static_cast<std::uint8_t>(bits);
      bits >>= 8;
      --left;
    } while (byte == kRandomAbsent);
  }
}

void LayAlternating(std::vector<std::uint8_t>& bitmap) {
  std::memset(bitmap.data(), 0x0F, bitmap.size());  // LSB first: 4 used, then 4 free
}

// A simulated machine whose drive C: holds one of the bitmaps.
struct Volume {
  sim::SimPlatform platform;
  int absent = -1;  // a byte value missing from the bitmap
  const std::vector<std::uint8_t>* bytes = nullptr;

  explicit Volume(void (*lay)(std::vector<std::uint8_t>&)) {
    sim::SimVolume& v = platform.AddVolume('C', kClusters);
    lay(v.Bitmap());
    bytes = &v.Bitmap();
    bool seen[256] = {};
    for (std::uint8_t b : *bytes) seen[b] = true;
    for (int b = 0; b < 256 && absent < 0; ++b)
      if (!seen[b]) absent = b;
  }
};

Volume& Fragmented() {
  static Volume v(LayFragmented);
  return v;
}
Volume& Random() {
  static Volume v(LayRandom);
  return v;
}
Volume& Alternating() {
  static Volume v(LayAlternating);
  return v;
}

struct Case {
  const char* name;
  Volume& (*volume)();
  std::int64_t needed;
  bool list;  // ListFreeRegionsWith; else FindFirstFreeRegionWith
};
const Case kCases[] = {
    {"a_fragmented_first4096", Fragmented, 4096, false},
    {"b_random50_first256", Random, 256, false},
    {"c_alternating4_first256", Alternating, 256, false},
    {"d_random50_list3", Random, 3, true},
};

void SetRates(benchmark::State& state, std::int64_t clusters) {
  state.counters["clusters/s"] = benchmark::Counter(static_cast<double>(clusters),
                                                    benchmark::Counter::kIsIterationInvariantRate);
  state.SetBytesProcessed(state.iterations() * (clusters / 8));
}

// What each walker answered, per case, so the second can be checked
// against the first.
std::map<std::string, std::string>& Answers() {
  static std::map<std::string, std::string> answers;
  return answers;
}

void BM_Search(benchmark::State& state, const Case& c, TBitmapWalker walker) {
  Volume& volume = c.volume();
  plat::SetCurrent(&volume.platform);
  HANDLE h;
  if (OpenVolumeHandle("C:\\x", h) != 0) {
    state.SkipWithError("cannot open the volume");
    return;
  }
  // Shared, with room for every run of the list case (random: about one
  // cluster in 16 starts a free run of 3 or more) taken before timing.
  static TFreeRegionList regions = [] {
    TFreeRegionList r;
    r.reserve(static_cast<std::size_t>(kClusters / 14));
    return r;
  }();
  std::string answer;
  for (auto _ : state) {
    if (c.list) {
      regions.clear();
      const std::int32_t status = ListFreeRegionsWith(walker, h, regions, c.needed);
      benchmark::DoNotOptimize(status);
    } else {
      TFreeRegion region;
      const std::int64_t length = FindFirstFreeRegionWith(walker, h, c.needed, region);
      benchmark::DoNotOptimize(length);
      answer = std::to_string(length) + " at " + std::to_string(region.Lcn);
    }
  }
  plat::CloseHandle(h);
  plat::SetCurrent(nullptr);
  if (c.list) {
    std::uint64_t digest = regions.size();
    for (const TFreeRegion& r : regions)
      digest = digest * 0x100000001B3 ^ static_cast<std::uint64_t>(r.Lcn * 131 + r.Length);
    answer = std::to_string(regions.size()) + " runs, digest " + std::to_string(digest);
    state.counters["runs"] = static_cast<double>(regions.size());
  }
  auto [it, first] = Answers().emplace(c.name, answer);
  if (!first && it->second != answer) {
    state.SkipWithError(("walkers disagree: " + it->second + " / " + answer).c_str());
    return;
  }
  state.SetLabel(answer);
  SetRates(state, kClusters);
}

// The request path with nothing scanned: the same 512 requests answered
// into a request buffer placed as the engine places it (bitmap bytes on a
// cache line). Any walker's time through the engine includes this.
void BM_RequestsOnly(benchmark::State& state, const Case& c) {
  Volume& volume = c.volume();
  plat::SetCurrent(&volume.platform);
  HANDLE h;
  if (OpenVolumeHandle("C:\\x", h) != 0) {
    state.SkipWithError("cannot open the volume");
    return;
  }
  constexpr std::size_t kLine = 64;
  std::vector<std::uint8_t> storage(plat::rec::kBitmapBufferSize + kLine);
  const auto bits = reinterpret_cast<std::uintptr_t>(storage.data()) + plat::rec::kBitmapBitsOffset;
  std::uint8_t* buffer = storage.data() + (kLine - bits % kLine) % kLine;
  for (auto _ : state) {
    for (std::int64_t next = 0; next < kClusters; next += plat::rec::kBitmapMaxClusters) {
      std::uint8_t input[8];
      plat::rec::StoreI64(input, 0, next);
      plat::IO_STATUS_BLOCK iosb;
      const std::int32_t status =
          plat::NtFsControlFile(h, iosb, plat::FSCTL_GET_VOLUME_BITMAP, input, sizeof input,
                                buffer, static_cast<std::uint32_t>(plat::rec::kBitmapBufferSize));
      benchmark::DoNotOptimize(status);
      benchmark::ClobberMemory();
    }
  }
  plat::CloseHandle(h);
  plat::SetCurrent(nullptr);
  SetRates(state, kClusters);
}

void BM_Memchr(benchmark::State& state, const Case& c) {
  Volume& volume = c.volume();
  if (volume.absent < 0) {
    state.SkipWithError("every byte value occurs");
    return;
  }
  const std::uint8_t* data = volume.bytes->data();
  for (auto _ : state) {
    const void* hit = std::memchr(data, volume.absent, static_cast<std::size_t>(kBytes));
    benchmark::DoNotOptimize(hit);
  }
  SetRates(state, kClusters);
}

// The console table, then the fast scanner's ratios per case (medians when
// benchmarks are repeated).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate && !median) continue;
      const auto rate = run.counters.find("bytes_per_second");
      if (rate == run.counters.end()) continue;
      const std::string& name = run.run_name.function_name;
      if (median || !medians_.count(name)) rates_[name] = rate->second.value;
      if (median) medians_.insert(name);
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nclusters/s               %10s %10s %10s %10s %9s %9s  target\n", "reference",
                "fast", "requests", "memchr", "fast/mchr", "fast/ref");
    for (const Case& c : kCases) {
      const std::string name = c.name;
      const double ref = Rate("BM_Search/" + name + "/reference");
      const double fast = Rate("BM_Search/" + name + "/fast");
      const double requests = Rate("BM_RequestsOnly/" + name);
      const double mem = Rate("BM_Memchr/" + name);
      const bool met = c.list ? ref > 0 && fast >= 2 * ref : mem > 0 && fast >= 0.5 * mem;
      const char* target = c.list ? "fast >= 2 x reference:" : "fast >= 0.5 x memchr:";
      std::printf("%-24s %10.3g %10.3g %10.3g %10.3g %9.2f %9.1f  %s %s\n", c.name, ref * 8,
                  fast * 8, requests * 8, mem * 8, mem > 0 ? fast / mem : 0.0,
                  ref > 0 ? fast / ref : 0.0, target, met ? "met" : "NOT MET");
    }
  }

 private:
  double Rate(const std::string& name) const {
    const auto it = rates_.find(name);
    return it == rates_.end() ? 0 : it->second;
  }
  std::map<std::string, double> rates_;
  std::set<std::string> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  // The plain walk takes seconds per pass: one pass. The rest are quick and
  // memory-bound, so they are repeated and their medians compared.
  constexpr int kRepeats = 5;
  for (const Case& c : kCases) {
    const std::string name = c.name;
    benchmark::RegisterBenchmark(("BM_Search/" + name + "/reference").c_str(), BM_Search, c,
                                 TBitmapWalker::Reference)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(1);
    benchmark::RegisterBenchmark(("BM_Search/" + name + "/fast").c_str(), BM_Search, c,
                                 TBitmapWalker::Fast)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Repetitions(kRepeats)
        ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark(("BM_RequestsOnly/" + name).c_str(), BM_RequestsOnly, c)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Repetitions(kRepeats)
        ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark(("BM_Memchr/" + name).c_str(), BM_Memchr, c)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Repetitions(kRepeats)
        ->ReportAggregatesOnly(true);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
