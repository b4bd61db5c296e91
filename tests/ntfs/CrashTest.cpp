// Kills a process that is moving files at random instants, many times
// over, and checks after each kill that every file reads back unchanged
// (ntfscat) and that the volume check (ntfsresize) finds nothing worse
// than leaked clusters. CONTIGRA_CRASH_TRIALS and CONTIGRA_CRASH_SEED
// override the number of kills and the random seed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <random>

#include "NtfsTestSupport.h"

#ifndef CRASH_CHILD
#error "CRASH_CHILD must name the child program"
#endif

namespace {

using namespace ntfstest;

constexpr char kLayout[] = R"(
size 16M
file frag.bin size=65536 frag=8
file other.bin size=120000 frag=6
sparse holes.bin size=1048576 data=0+4096,300000+20000,900000+8192
compressed packed.bin size=262144
file dir\plain.bin size=50000
file tiny.txt size=40
)";
const char* const kFiles[] = {"frag.bin", "other.bin", "holes.bin", "packed.bin", "dir/plain.bin", "tiny.txt"};

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::strtoull(v, nullptr, 10) : fallback;
}

// Starts the child, waits for it to have the volume, lets it run
// `runMicros`, then kills it.
void RunAndKill(const std::string& image, std::uint64_t seed, long runMicros) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    const std::string s = std::to_string(seed);
    execl(CRASH_CHILD, CRASH_CHILD, image.c_str(), s.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  char ready[6] = {};
  ASSERT_EQ(read(fds[0], ready, sizeof ready), 6) << "the child did not start";
  usleep(static_cast<useconds_t>(runMicros));
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  close(fds[0]);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself with status " << WEXITSTATUS(status);
}

TEST(CrashSafety, KilledMovesLeaveEveryFileIntact) {
  TempDir dir;
  const std::string image = dir / "c.img";
  BuildImage(kLayout, image);
  std::map<std::string, std::string> before;
  std::map<std::string, std::vector<ToolRun>> initialRuns;
  for (const char* f : kFiles) {
    before[f] = Sha256Hex(NtfsCat(image, f));
    initialRuns[f] = NtfsclusterRuns(image, f);
  }
  const std::uint64_t seed = EnvNumber("CONTIGRA_CRASH_SEED", std::random_device{}());
  const std::uint64_t trials = EnvNumber("CONTIGRA_CRASH_TRIALS", 150);
  std::mt19937_64 rng(seed);
  int firstLeak = -1;
  for (std::uint64_t trial = 0; trial < trials; ++trial) {
    SCOPED_TRACE("seed " + std::to_string(seed) + ", trial " + std::to_string(trial));
    // Mostly short runs (a kill inside the first moves), some longer ones.
    const long micros = rng() % 4 == 0 ? static_cast<long>(rng() % 300000) : static_cast<long>(rng() % 20000);
    RunAndKill(image, rng(), micros);
    for (const char* f : kFiles) ASSERT_EQ(Sha256Hex(NtfsCat(image, f)), before[f]) << f;
    int leaked = 0;
    std::string report;
    const auto errors = VolumeCheck(image, leaked, &report);
    ASSERT_TRUE(errors.empty()) << report;
    if (leaked > 0 && firstLeak < 0) firstLeak = static_cast<int>(trial);
  }
  int moved = 0;
  for (const char* f : kFiles) moved += NtfsclusterRuns(image, f) != initialRuns[f];
  EXPECT_GE(moved, 3) << "the child hardly moved anything";
  // Leaks add up from kill to kill; the first one shows a kill landed
  // between claiming a target and releasing the old clusters.
  std::printf("%llu kills, first leak after kill %d (seed %llu)\n",
              static_cast<unsigned long long>(trials), firstLeak, static_cast<unsigned long long>(seed));
}

}  // namespace
