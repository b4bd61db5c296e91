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
// reads all 64 MiB. The random bitmap draws each byte from the 255 values
// other than 0x5A, all equally likely, to have such a value; as 0x5A has
// four bits set, clusters stay used with probability 1/2.
//
// Each iteration of a fast-search benchmark also times the same requests
// with nothing scanned (the copy into the request buffer that every walker
// pays for) and memchr, one after the other, so that the three are measured
// on the same machine state. The plain walk takes seconds and runs once.
// After the table the program prints, per case, the rates in clusters per
// second and the fast search over memchr and over the plain walk.
#include <benchmark/benchmark.h>

#include <chrono>
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

// What the plain walk answered, per case, for the fast search to match.
std::map<std::string, std::string>& Answers() {
  static std::map<std::string, std::string> answers;
  return answers;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// One search through the engine's entry; its time in seconds, its answer
// in `answer`.
double SearchOnce(const Case& c, TBitmapWalker walker, HANDLE h, std::string& answer) {
  // Shared, with room for every run of the list case (random: about one
  // cluster in 16 starts a free run of 3 or more) taken before timing.
  static TFreeRegionList regions = [] {
    TFreeRegionList r;
    r.reserve(static_cast<std::size_t>(kClusters / 14));
    return r;
  }();
  const auto start = std::chrono::steady_clock::now();
  if (c.list) {
    regions.clear();
    const std::int32_t status = ListFreeRegionsWith(walker, h, regions, c.needed);
    benchmark::DoNotOptimize(status);
    const double seconds = Seconds(start);
    std::uint64_t digest = regions.size();
    for (const TFreeRegion& r : regions)
      digest = digest * 0x100000001B3 ^ static_cast<std::uint64_t>(r.Lcn * 131 + r.Length);
    answer = std::to_string(regions.size()) + " runs, digest " + std::to_string(digest);
    return seconds;
  }
  TFreeRegion region;
  const std::int64_t length = FindFirstFreeRegionWith(walker, h, c.needed, region);
  benchmark::DoNotOptimize(length);
  const double seconds = Seconds(start);
  answer = std::to_string(length) + " at " + std::to_string(region.Lcn);
  return seconds;
}

// The request path with nothing scanned: the same 512 requests answered
// into a request buffer placed as the engine places it (bitmap bytes on a
// cache line). Any walker's time through the engine includes this.
double RequestsOnce(HANDLE h) {
  constexpr std::size_t kLine = 64;
  static std::vector<std::uint8_t> storage(plat::rec::kBitmapBufferSize + kLine);
  const auto bits = reinterpret_cast<std::uintptr_t>(storage.data()) + plat::rec::kBitmapBitsOffset;
  std::uint8_t* buffer = storage.data() + (kLine - bits % kLine) % kLine;
  const auto start = std::chrono::steady_clock::now();
  for (std::int64_t next = 0; next < kClusters; next += plat::rec::kBitmapMaxClusters) {
    std::uint8_t input[8];
    plat::rec::StoreI64(input, 0, next);
    plat::IO_STATUS_BLOCK iosb;
    const std::int32_t status =
        plat::NtFsControlFile(h, iosb, plat::FSCTL_GET_VOLUME_BITMAP, input, sizeof input, buffer,
                              static_cast<std::uint32_t>(plat::rec::kBitmapBufferSize));
    benchmark::DoNotOptimize(status);
    benchmark::ClobberMemory();
  }
  return Seconds(start);
}

double MemchrOnce(const Volume& volume) {
  const auto start = std::chrono::steady_clock::now();
  const void* hit =
      std::memchr(volume.bytes->data(), volume.absent, static_cast<std::size_t>(kBytes));
  benchmark::DoNotOptimize(hit);
  return Seconds(start);
}

double PerSecond(double clusters, double seconds) { return seconds > 0 ? clusters / seconds : 0; }

// The plain walk: seconds per pass, so one pass.
void BM_Reference(benchmark::State& state, const Case& c) {
  Volume& volume = c.volume();
  plat::SetCurrent(&volume.platform);
  HANDLE h;
  if (OpenVolumeHandle("C:\\x", h) != 0) {
    state.SkipWithError("cannot open the volume");
    return;
  }
  std::string answer;
  double seconds = 0;
  for (auto _ : state) {
    const double pass = SearchOnce(c, TBitmapWalker::Reference, h, answer);
    state.SetIterationTime(pass);
    seconds += pass;
  }
  plat::CloseHandle(h);
  plat::SetCurrent(nullptr);
  Answers()[c.name] = answer;
  state.SetLabel(answer);
  state.counters["clusters/s"] =
      PerSecond(static_cast<double>(kClusters * state.iterations()), seconds);
}

// The fast search, with the requests alone and memchr measured in the same
// iterations, one after the other, so that all three see the same machine.
void BM_Fast(benchmark::State& state, const Case& c) {
  Volume& volume = c.volume();
  if (volume.absent < 0) {
    state.SkipWithError("every byte value occurs in the bitmap");
    return;
  }
  plat::SetCurrent(&volume.platform);
  HANDLE h;
  if (OpenVolumeHandle("C:\\x", h) != 0) {
    state.SkipWithError("cannot open the volume");
    return;
  }
  std::string answer;
  double fast = 0, requests = 0, memchr = 0;
  for (auto _ : state) {
    const double seconds = SearchOnce(c, TBitmapWalker::Fast, h, answer);
    state.SetIterationTime(seconds);
    fast += seconds;
    requests += RequestsOnce(h);
    memchr += MemchrOnce(volume);
  }
  plat::CloseHandle(h);
  plat::SetCurrent(nullptr);
  const auto it = Answers().find(c.name);
  if (it != Answers().end() && it->second != answer) {
    state.SkipWithError(("the walkers disagree: " + it->second + " / " + answer).c_str());
    return;
  }
  state.SetLabel(answer);
  const auto clusters = static_cast<double>(kClusters * state.iterations());
  state.counters["clusters/s"] = PerSecond(clusters, fast);
  state.counters["requests"] = PerSecond(clusters, requests);
  state.counters["memchr"] = PerSecond(clusters, memchr);
  state.counters["fast/memchr"] = memchr / fast;
  state.SetBytesProcessed(state.iterations() * kBytes);
}

// The console table, then per case the rates in clusters per second and the
// fast search's ratios (medians of the repetitions).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate && !median) continue;
      const std::string& name = run.run_name.function_name;
      if (!median && medians_.count(name)) continue;
      if (median) medians_.insert(name);
      for (const auto& [key, counter] : run.counters) values_[name + " " + key] = counter.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nclusters/s                reference       fast   requests     memchr "
                "fast/memchr fast/ref  target\n");
    for (const Case& c : kCases) {
      const std::string name = c.name;
      const double ref = Value("BM_Reference/" + name + " clusters/s");
      const double fast = Value("BM_Fast/" + name + " clusters/s");
      const double requests = Value("BM_Fast/" + name + " requests");
      const double mem = Value("BM_Fast/" + name + " memchr");
      const double toMemchr = Value("BM_Fast/" + name + " fast/memchr");
      const double toRef = ref > 0 ? fast / ref : 0;
      const bool met = c.list ? toRef >= 2 : toMemchr >= 0.5;
      const char* target = c.list ? "fast >= 2 x reference:" : "fast >= 0.5 x memchr:";
      std::printf("%-24s %10.3g %10.3g %10.3g %10.3g %11.2f %8.1f  %s %s\n", c.name, ref, fast,
                  requests, mem, toMemchr, toRef, target, met ? "met" : "NOT MET");
    }
  }

 private:
  double Value(const std::string& key) const {
    const auto it = values_.find(key);
    return it == values_.end() ? 0 : it->second;
  }
  std::map<std::string, double> values_;
  std::set<std::string> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  // The plain walk takes seconds per pass: one pass. The fast search is
  // repeated and the medians of its repetitions reported.
  for (const Case& c : kCases) {
    const std::string name = c.name;
    benchmark::RegisterBenchmark(("BM_Reference/" + name).c_str(), BM_Reference, c)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(1);
    benchmark::RegisterBenchmark(("BM_Fast/" + name).c_str(), BM_Fast, c)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
