// Kills `contigra_aux -l` with SIGKILL at random instants of a long list
// run, many times over, each time on a fresh copy of one image (so that
// every kill can land in any step, the dirty-flag writes of a clean volume
// included). After each kill:
//   - libntfs-3g must still mount the image, and every file must read as
//     before (read through the library, read-only, not through our backend),
//     unless the kill left the two copies of $Volume apart: then the next
//     run must mend the image;
//   - ntfsresize's check must find nothing worse than leaked clusters;
//   - the next helper on the same image must get the mutex and finish the
//     whole list, leaving every fragmented file in one piece and intact.
// CONTIGRA_AUX_CRASH_TRIALS (default 50) and CONTIGRA_CRASH_SEED override
// the number of kills and the random seed; tests/aux/crash_trials.sh runs
// a long series.
#include <algorithm>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "HelperProcess.h"
#include "NtfsTestSupport.h"

namespace {

using namespace auxtest;
using namespace ntfstest;

struct ImageFileEntry {
  std::string Win;  // "C:\Mail\box03.mbx"
  std::string Tool; // "/Mail/box03.mbx"
  bool Fragmented;
};

// A hundred mailboxes of 30 to 390 KB in 3 to 12 pieces, a database in
// 32, and files the helper cannot or need not move.
std::string CrashLayout(std::vector<ImageFileEntry>& files) {
  std::ostringstream l;
  l << "size 64M\n";
  for (int i = 0; i < 100; ++i) {
    const std::string name = "Mail\\box" + std::to_string(100 + i) + ".mbx";
    l << "file " << name << " size=" << 30000 + (i * 37 % 41) * 9000 << " frag=" << 3 + i % 10 << '\n';
    files.push_back({"C:\\" + name, "/Mail/box" + std::to_string(100 + i) + ".mbx", true});
  }
  l << "file Data\\orders.db size=4M frag=32\n"
       "sparse Data\\holes.bin size=2M data=0+65536,1048576+131072\n"
       "compressed Data\\packed.bin size=512K\n"
       "file tiny.txt size=100\n";
  files.push_back({"C:\\Data\\orders.db", "/Data/orders.db", true});
  files.push_back({"C:\\Data\\holes.bin", "/Data/holes.bin", false});
  files.push_back({"C:\\Data\\packed.bin", "/Data/packed.bin", false});
  files.push_back({"C:\\tiny.txt", "/tiny.txt", false});
  return l.str();
}

// Every file read through libntfs-3g's own mount, keyed by its Windows
// name. False, with the reason, when the library refuses the image.
bool ReadThroughLibrary(const std::string& image, const std::vector<ImageFileEntry>& files,
                        std::map<std::string, LibraryFile>& states, std::string& why) {
  std::vector<std::string> paths;
  for (const auto& f : files) paths.push_back(f.Tool);
  std::map<std::string, LibraryFile> byPath;
  states.clear();
  if (!ntfstest::ReadThroughLibrary(image, paths, byPath, why)) return false;
  for (const auto& f : files) states[f.Win] = byPath[f.Tool];
  return true;
}

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::strtoull(v, nullptr, 10) : fallback;
}

TEST(HelperCrash, KilledListRunsLeaveEveryFileIntactAndTheNextRunWorks) {
  TempDir dir;
  std::vector<ImageFileEntry> files;
  const std::string pristine = dir / "pristine.img";
  BuildImage(CrashLayout(files), pristine);
  std::map<std::string, LibraryFile> before;
  std::string why;
  ASSERT_TRUE(ReadThroughLibrary(pristine, files, before, why)) << why;
  for (const auto& f : files) {
    ASSERT_FALSE(before[f.Win].Sha.empty()) << f.Win;
    if (f.Fragmented) {
      ASSERT_GT(before[f.Win].Pieces, 1) << f.Win;
    }
  }

  std::string listText, expectedOut;
  for (const auto& f : files) {
    listText += f.Win + "\r\n";
    expectedOut += FileLines(f.Win);
  }
  listText += "C:\\Mail\\missing.mbx\r\n";
  expectedOut += FileLines("C:\\Mail\\missing.mbx");
  const std::string list = dir / "list.txt";
  std::ofstream(list, std::ios::binary) << listText;

  const std::string image = dir / "c.img";
  const Env env = {{"CONTIGRA_DRIVES", "C=" + image}, {"CONTIGRA_RUNTIME_DIR", dir / "run"}};

  // A whole run ends with every file in one piece; it is the checks after
  // each kill, and its length is the span the kills are spread over.
  const auto expectWholeRun = [&](const std::string& when) {
    SCOPED_TRACE(when);
    const Outcome o = RunHelper({"-l", list}, env);
    EXPECT_EQ(o.ExitCode, 0) << Describe(o);
    EXPECT_EQ(o.Out, expectedOut) << "the next helper did not run the list";
    std::map<std::string, LibraryFile> after;
    std::string reason;
    EXPECT_TRUE(ReadThroughLibrary(image, files, after, reason)) << reason;
    for (const auto& f : files) {
      EXPECT_EQ(after[f.Win].Sha, before[f.Win].Sha) << f.Win;
      if (f.Fragmented) {
        EXPECT_EQ(after[f.Win].Pieces, 1) << f.Win;
      }
    }
    int leaked = 0;
    std::string report;
    EXPECT_TRUE(VolumeCheck(image, leaked, &report).empty()) << report;
    return o.Seconds;
  };
  std::filesystem::copy_file(pristine, image, std::filesystem::copy_options::overwrite_existing);
  // The shortest whole run seen so far: runs get quicker once the image is
  // in the page cache, and kills aimed past a run's end test nothing.
  double span = expectWholeRun("a run without kills");
  ASSERT_FALSE(::testing::Test::HasFailure());

  const std::uint64_t seed = EnvNumber("CONTIGRA_CRASH_SEED", std::random_device{}());
  const std::uint64_t trials = EnvNumber("CONTIGRA_AUX_CRASH_TRIALS", 50);
  std::mt19937_64 rng(seed);
  // Half the kills anywhere in the run, a quarter each in its first and
  // last sixth: the mount and the first dirty-mark write, the last settle,
  // the unmount and the dirty mark cleared.
  const auto instant = [&rng, &span] {
    const double u = std::uniform_real_distribution<double>(0.0, 1.0)(rng);
    const int where = static_cast<int>(rng() % 4);
    if (where == 0) return u * span / 6;
    if (where == 1) return span * (5.0 / 6 + u / 6);
    return u * span;
  };
  int killed = 0, leakedTrials = 0;
  std::vector<std::string> refused;
  for (std::uint64_t trial = 0; trial < trials; ++trial) {
    SCOPED_TRACE("seed " + std::to_string(seed) + ", trial " + std::to_string(trial));
    std::filesystem::copy_file(pristine, image, std::filesystem::copy_options::overwrite_existing);
    const double at = instant();
    {
      HelperProcess run({"-l", list}, env);
      ASSERT_TRUE(run.Started());
      std::this_thread::sleep_for(std::chrono::duration<double>(at));
      run.Kill(SIGKILL);
      const Outcome o = run.Wait(30000);
      if (o.Signal == SIGKILL) {
        ++killed;
      } else {
        ASSERT_EQ(o.ExitCode, 0) << Describe(o);
      }
    }

    // A kill between the $MFT and $MFTMirr writes of the dirty mark leaves
    // the two copies of $Volume apart, and the library refuses the image;
    // the next run must mend it (its own checks then read every file).
    std::map<std::string, LibraryFile> now;
    if (!ReadThroughLibrary(image, files, now, why)) {
      refused.push_back("trial " + std::to_string(trial) + " (kill after " + std::to_string(at) +
                        " s): " + why);
      span = std::min(span, expectWholeRun("the next run, which must mend the $Volume mirror"));
      if (::testing::Test::HasFatalFailure() || ::testing::Test::HasFailure()) break;
      continue;
    }
    for (const auto& f : files) ASSERT_EQ(now[f.Win].Sha, before[f.Win].Sha) << f.Win;
    int leaked = 0;
    std::string report;
    ASSERT_TRUE(VolumeCheck(image, leaked, &report).empty()) << report;
    if (leaked > 0) ++leakedTrials;

    span = std::min(span, expectWholeRun("the next run after the kill"));
    if (::testing::Test::HasFatalFailure() || ::testing::Test::HasFailure()) break;
  }
  std::printf("%llu trials (seed %llu, full run %.2f s): %d killed mid-run, %d left leaked "
              "clusters, %zu left the $Volume mirror behind (mended by the next run)\n",
              static_cast<unsigned long long>(trials), static_cast<unsigned long long>(seed), span,
              killed, leakedTrials, refused.size());
  for (const auto& r : refused) std::printf("  %s\n", r.c_str());
  // Runs vary in length: kills meant for the last sixth may come after the end.
  EXPECT_GE(killed, static_cast<int>(trials / 2)) << "most kills came after the run had ended";
}

}  // namespace
