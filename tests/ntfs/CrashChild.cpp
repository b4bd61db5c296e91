// ntfs_crash_child IMAGE SEED: moves files of the crash-test image around
// until it is killed: each step picks a file, a VCN range (whole
// compression units for the compressed file) and a random free place for
// it, through the backend's FSCTL_MOVE_FILE.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "NtfsTestSupport.h"

namespace {

struct Target {
  const char* Path;
  std::int64_t Unit;  // moves start and end on multiples of this
};

const Target kTargets[] = {{"C:\\frag.bin", 1}, {"C:\\other.bin", 1}, {"C:\\holes.bin", 1},
                           {"C:\\packed.bin", 16}, {"C:\\dir\\plain.bin", 1}};

// A random free run of at least `count` clusters, or -1.
std::int64_t RandomFree(const std::vector<bool>& used, std::int64_t count, std::mt19937_64& rng) {
  const auto size = static_cast<std::int64_t>(used.size());
  const std::int64_t from = std::uniform_int_distribution<std::int64_t>(0, size - 1)(rng);
  std::int64_t lcn = ntfstest::FindFree(used, count, from);
  return lcn >= 0 ? lcn : ntfstest::FindFree(used, count, 0);
}

void Step(plat::HANDLE volume, std::mt19937_64& rng) {
  const Target& t = kTargets[rng() % std::size(kTargets)];
  const plat::HANDLE f = ntfstest::OpenFile(t.Path);
  const auto map = ntfstest::ReadMap(f);
  if (map.empty()) std::exit(3);
  const std::int64_t units = (map.back().Vcn + map.back().Length) / t.Unit;
  const std::int64_t first = std::uniform_int_distribution<std::int64_t>(0, units - 1)(rng);
  const std::int64_t last = std::uniform_int_distribution<std::int64_t>(first, units - 1)(rng);
  const std::int64_t vcn = first * t.Unit, count = (last - first + 1) * t.Unit;
  const std::int64_t lcn = RandomFree(ntfstest::ReadBitmap(volume), count, rng);
  if (lcn < 0) {  // leaked clusters of earlier kills fragment the free space
    plat::CloseHandle(f);
    return;
  }
  const std::int32_t s = ntfstest::Move(volume, f, vcn, lcn, static_cast<std::uint32_t>(count));
  // Moving only virtual clusters, or a free run taken by our own source, is fine.
  if (s != plat::STATUS_SUCCESS && s != plat::STATUS_ALREADY_COMMITTED) {
    std::fprintf(stderr, "move of %s failed: 0x%x\n", t.Path, static_cast<unsigned>(s));
    std::exit(4);
  }
  plat::CloseHandle(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  ntfstest::ScopedNtfs ntfs(std::string("C=") + argv[1]);
  std::mt19937_64 rng(std::strtoull(argv[2], nullptr, 10));
  const plat::HANDLE volume = ntfstest::OpenVolume('C');
  if (volume == plat::INVALID_HANDLE_VALUE) return 5;
  std::fputs("ready\n", stdout);
  std::fflush(stdout);
  for (;;) Step(volume, rng);
}
