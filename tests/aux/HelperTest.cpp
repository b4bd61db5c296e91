// contigra_aux as a process on real NTFS images: what it writes, its exit
// codes, its turns on the named mutex "contigra" (released, abandoned,
// timed out) and what it does to the files. The image is mapped as C:
// through CONTIGRA_DRIVES and each test has its own mutex folder
// (CONTIGRA_RUNTIME_DIR), so tests may run side by side. The ntfs-3g
// tools are the witnesses: ntfscat (contents), ntfscluster (runs),
// ntfsresize (cluster accounting), ntfsinfo (volume flags).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "HelperProcess.h"
#include "NamedMutex.h"
#include "NtfsTestSupport.h"
#include "Platform.h"

namespace {

using namespace auxtest;
using namespace ntfstest;

const std::string kA = "C:\\My files\\a.dat";
const std::string kB = "C:\\My files\\b.dat";
const std::string kInbox = "C:\\Mail\\inbox.mbx";
const std::string kSent = "C:\\Mail\\sent.mbx";
const std::string kTiny = "C:\\tiny.txt";
const std::string kBig = "C:\\big.bin";

constexpr char kLayout[] = R"(
size 8M
file "My files\a.dat" size=200000 frag=6
file "My files\b.dat" size=150000 frag=5
file Mail\inbox.mbx size=300000 frag=8
file Mail\sent.mbx size=100000 frag=4
file tiny.txt size=40
)";

// The same files and a 64 MiB one in 64 pieces, for a helper to be killed
// while it moves (with room for it in one piece).
constexpr char kBigLayout[] = R"(
size 256M
file "My files\a.dat" size=200000 frag=6
file "My files\b.dat" size=150000 frag=5
file Mail\inbox.mbx size=300000 frag=8
file Mail\sent.mbx size=100000 frag=4
file tiny.txt size=40
file big.bin size=64M frag=64
)";

// "C:\My files\a.dat" -> "My files/a.dat", as the ntfs-3g tools take it.
std::string ToolPath(const std::string& winPath) {
  std::string p = winPath.substr(3);
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

class AuxHelper : public ::testing::Test {
 protected:
  void SetUp() override { Build(kLayout, {kA, kB, kInbox, kSent, kTiny}); }

  void Build(const char* layout, const std::vector<std::string>& files) {
    BuildImage(layout, Image());
    files_ = files;
    for (const auto& f : files_) {
      const auto data = NtfsCat(Image(), ToolPath(f));
      ASSERT_FALSE(data.empty()) << f;
      sha_[f] = Sha256Hex(data);
    }
    // This process opens the mutex too (NamedMutex reads the folder here).
    setenv("CONTIGRA_RUNTIME_DIR", MutexDir().c_str(), 1);
  }
  void TearDown() override { unsetenv("CONTIGRA_RUNTIME_DIR"); }

  std::string Image() const { return dir_ / "c.img"; }
  std::string MutexDir() const { return dir_ / "run"; }
  Env HelperEnv(int lockWaitMs = 5000) const {
    return {{"CONTIGRA_DRIVES", "C=" + Image()},
            {"CONTIGRA_RUNTIME_DIR", MutexDir()},
            {"CONTIGRA_NTFS_LOCK_WAIT_MS", std::to_string(lockWaitMs)}};
  }
  std::vector<ToolRun> Runs(const std::string& file) const {
    return NtfsclusterRuns(Image(), ToolPath(file));
  }
  std::string WriteList(const std::string& name, const std::string& text) const {
    const std::string path = dir_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  // Every file reads as it did after the build; the volume check finds
  // nothing worse than leaked clusters (or nothing at all when `clean`,
  // which also wants the dirty flag cleared again).
  void ExpectIntact(bool clean = true) {
    for (const auto& f : files_) EXPECT_EQ(Sha256Hex(NtfsCat(Image(), ToolPath(f))), sha_[f]) << f;
    int leaked = 0;
    std::string report;
    EXPECT_TRUE(VolumeCheck(Image(), leaked, &report).empty()) << report;
    if (!clean) return;
    EXPECT_EQ(leaked, 0) << report;
    std::string info;
    RunTool({"ntfsinfo", "-m", Image()}, info);
    EXPECT_NE(info.find("Volume Flags: 0x0000"), std::string::npos) << "left dirty:\n" << info;
  }

  TempDir dir_;
  std::vector<std::string> files_;
  std::map<std::string, std::string> sha_;
};

TEST_F(AuxHelper, UsageErrorsEndAtOnceWithNothingDone) {
  const std::string imageBefore = FileSha256(Image());
  const std::vector<std::vector<std::string>> cases = {
      {}, {"-h"}, {"/H", kA}, {kA, "-H"}, {"-d", kA, "extra"}, {"-l", "list.txt", "-d"}};
  for (const auto& args : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const Outcome o = RunHelper(args, HelperEnv());
    EXPECT_EQ(o.ExitCode, 0) << Describe(o);
    EXPECT_EQ(o.Out, "");
    EXPECT_EQ(o.Err, "");
    EXPECT_FALSE(Exists(MutexDir())) << "the mutex was created";
  }
  EXPECT_EQ(FileSha256(Image()), imageBefore);
}

// The file is always the second argument, whichever argument is the switch.
TEST_F(AuxHelper, DefragmentsTheFileNamedSecond) {
  struct Case {
    std::vector<std::string> Args;
    std::string Named;  // in the output lines
    std::string Target;
    bool Moved;
  };
  const Case cases[] = {
      {{"-D", kA}, kA, kA, true},
      {{"/d", kB}, kB, kB, true},
      {{kInbox, "-d"}, "-d", kInbox, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.Args));
    const auto before = Runs(c.Target);
    ASSERT_GT(before.size(), 3u);
    const Outcome o = RunHelper(c.Args, HelperEnv());
    EXPECT_EQ(o.ExitCode, 0) << Describe(o);
    EXPECT_EQ(o.Out, FileLines(c.Named));
    EXPECT_EQ(o.Err, "");
    if (c.Moved) EXPECT_EQ(Runs(c.Target).size(), 1u);
    else EXPECT_EQ(Runs(c.Target), before);
  }
  ExpectIntact();
}

// The mutex is kept open here meanwhile, so a helper that ended without
// releasing it would leave it abandoned for this process to see.
TEST_F(AuxHelper, OneArgumentWithoutSwitchTakesAndReleasesTheMutex) {
  const std::string imageBefore = FileSha256(Image());
  auto mutex = plat::NamedMutex::Create("contigra");
  ASSERT_TRUE(mutex);
  for (const auto& args : std::vector<std::vector<std::string>>{{kA}, {"-x", kA}}) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const Outcome o = RunHelper(args, HelperEnv());
    EXPECT_EQ(o.ExitCode, 0) << Describe(o);
    EXPECT_EQ(o.Out, "");
    EXPECT_EQ(o.Err, "");
    EXPECT_EQ(mutex->Wait(0), plat::WAIT_OBJECT_0) << "not released";
    EXPECT_TRUE(mutex->Release());
  }
  EXPECT_EQ(FileSha256(Image()), imageBefore);
}

TEST_F(AuxHelper, ListRunsEveryLineInOrder) {
  // CR LF, LF, and a last line without an end.
  const std::string list = WriteList("list.txt", kInbox + "\r\n" + kA + "\n" + kB);
  const Outcome o = RunHelper({"-l", list}, HelperEnv());
  EXPECT_EQ(o.ExitCode, 0) << Describe(o);
  EXPECT_EQ(o.Out, FileLines(kInbox) + FileLines(kA) + FileLines(kB));
  EXPECT_EQ(o.Err, "");
  for (const auto& f : {kInbox, kA, kB}) EXPECT_EQ(Runs(f).size(), 1u) << f;
  ExpectIntact();
}

// A file held in its MFT record, a missing file, a folder, a letter that
// maps nothing (as a network drive would be) and an empty name: nothing
// to do, and the same two lines as for any file.
TEST_F(AuxHelper, FilesWithNothingToDoGetTheSameTwoLines) {
  const std::string imageBefore = FileSha256(Image());
  const std::vector<std::string> names = {kTiny, "C:\\My files\\missing.dat", "C:\\Mail",
                                          "N:\\Mail\\inbox.mbx", ""};
  std::string list, expected;
  for (const auto& name : names) {
    SCOPED_TRACE("\"" + name + "\"");
    const Outcome o = RunHelper({"-d", name}, HelperEnv());
    EXPECT_EQ(o.ExitCode, 0) << Describe(o);
    EXPECT_EQ(o.Out, FileLines(name));
    list += name + "\r\n";
    expected += FileLines(name);
  }
  const Outcome o = RunHelper({"/L", WriteList("odd.txt", list)}, HelperEnv());
  EXPECT_EQ(o.ExitCode, 0) << Describe(o);
  EXPECT_EQ(o.Out, expected);
  EXPECT_EQ(FileSha256(Image()), imageBefore);
}

TEST_F(AuxHelper, MissingListFileFailsWithCodeTwoAndReleasesTheMutex) {
  const std::string imageBefore = FileSha256(Image());
  // Kept open here, an abandoned mutex would stay abandoned for the next one.
  auto mutex = plat::NamedMutex::Create("contigra");
  ASSERT_TRUE(mutex);
  const Outcome o = RunHelper({"-l", dir_ / "no such list.txt"}, HelperEnv());
  EXPECT_EQ(o.ExitCode, 2) << Describe(o);
  EXPECT_EQ(o.Out, "Cannot open list file!\r\n");
  EXPECT_EQ(FileSha256(Image()), imageBefore);

  const Outcome next = RunHelper({"-d", kA}, HelperEnv());
  EXPECT_EQ(next.ExitCode, 0) << Describe(next);
  EXPECT_EQ(next.Out, FileLines(kA));
  EXPECT_LT(next.Seconds, 10.0) << "the next helper waited for the mutex";
  EXPECT_EQ(Runs(kA).size(), 1u);
  EXPECT_EQ(mutex->Wait(0), plat::WAIT_OBJECT_0);
  EXPECT_TRUE(mutex->Release());
  ExpectIntact();
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Standard output closed, a pipe nobody reads, a device that refuses every
// write, all three standard descriptors closed: the files are defragmented
// all the same, and the lines go nowhere else (a file opened later would
// otherwise get descriptor 1: the mutex's lock files, or the image).
TEST_F(AuxHelper, WorksWhateverItsOutputIs) {
  const std::pair<Stdout, std::string> cases[] = {{Stdout::Closed, kA},
                                                  {Stdout::BrokenPipe, kB},
                                                  {Stdout::DevFull, kInbox},
                                                  {Stdout::AllClosed, kSent}};
  for (const auto& [mode, file] : cases) {
    SCOPED_TRACE(file + ", output mode " + std::to_string(static_cast<int>(mode)));
    const Outcome o = RunHelper({"-d", file}, HelperEnv(), mode);
    EXPECT_EQ(o.ExitCode, 0) << Describe(o);
    EXPECT_EQ(o.Err, "");
    EXPECT_EQ(Runs(file).size(), 1u);
    EXPECT_EQ(FileText(MutexDir() + "/contigra.open"), "");
    EXPECT_EQ(FileText(MutexDir() + "/contigra.owner"), std::string(1, '\0'));
  }
  ExpectIntact();
}

// What `pid` has written so far (wchar of /proc/PID/io), -1 if unknown.
long long BytesWritten(pid_t pid) {
  std::ifstream io("/proc/" + std::to_string(pid) + "/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value)
    if (key == "wchar:") return value;
  return -1;
}

// Whether `pid` holds a flock on `path` (from /proc/locks).
bool HoldsFlock(pid_t pid, const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  std::ifstream locks("/proc/locks");
  const std::string inode = ":" + std::to_string(st.st_ino) + " ";
  const std::string owner = " " + std::to_string(pid) + " ";
  std::string line;
  while (std::getline(locks, line))
    if (line.find("FLOCK") != std::string::npos && line.find(owner) != std::string::npos &&
        line.find(inode) != std::string::npos)
      return true;
  return false;
}

// Waits until `helper` has opened the mutex and is waiting for it: the
// shared lock on NAME.open is the last step of opening it.
::testing::AssertionResult WaitsForMutex(const HelperProcess& helper, const std::string& mutexDir) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!HoldsFlock(helper.Pid(), mutexDir + "/contigra.open")) {
    if (std::chrono::steady_clock::now() > deadline)
      return ::testing::AssertionFailure() << "the second helper never opened the mutex";
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return ::testing::AssertionSuccess();
}

enum class Killed { WhileMoving, WhileBlockedHoldingTheMutex };

class AbandonedMutex : public AuxHelper, public ::testing::WithParamInterface<Killed> {
 protected:
  void SetUp() override { Build(kBigLayout, {kA, kB, kInbox, kSent, kTiny, kBig}); }
};

// A helper killed while it owns the mutex leaves it abandoned: the helper
// waiting meanwhile says so and ends with 1; one started after every
// holder has gone gets it normally.
TEST_P(AbandonedMutex, WaitingHelperSeesItAndTheNextOneWorks) {
  const bool moving = GetParam() == Killed::WhileMoving;
  const auto aBefore = Runs(kA);
  const auto bigBefore = Runs(kBig);
  ASSERT_GE(bigBefore.size(), 60u);
  // Blocked: the image is locked as an ntfs-3g tool would lock it, so the
  // first helper waits for the volume while it owns the mutex.
  ImageLock toolLock(Image());
  if (moving) toolLock.Release();
  else ASSERT_TRUE(toolLock.Held());

  HelperProcess first({"-d", kBig}, HelperEnv(moving ? 5000 : 120000));
  ASSERT_TRUE(first.WaitForOutput("Defragmenting file : \"" + kBig + "\"\r\n", 20000))
      << first.OutputSoFar();
  // A move of 64 MiB can end within milliseconds: the helper is held still
  // while the second one starts.
  if (moving) first.Kill(SIGSTOP);
  HelperProcess waiting({"-d", kA}, HelperEnv());
  ASSERT_TRUE(WaitsForMutex(waiting, MutexDir()));
  if (moving) {
    // Into the moves: each piece is 1 MiB, so 4 MiB written means at least
    // two moves have landed (the volume is locked: no tool can look now).
    // The helper runs in slices of a few milliseconds and is stopped in
    // between, so a busy machine cannot let it run to the end unseen.
    const long long start = BytesWritten(first.Pid());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (BytesWritten(first.Pid()) < start + (4 << 20) && std::chrono::steady_clock::now() < deadline) {
      first.Kill(SIGCONT);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      first.Kill(SIGSTOP);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the stop takes effect
    }
  }
  first.Kill(SIGKILL);
  const Outcome killed = first.Wait(20000);
  ASSERT_EQ(killed.Signal, SIGKILL) << Describe(killed);
  ASSERT_EQ(killed.Out, "Defragmenting file : \"" + kBig + "\"\r\n") << "it finished before the kill";
  if (moving) {
    const auto bigNow = Runs(kBig);
    EXPECT_NE(bigNow, bigBefore) << "killed before it moved anything";
    EXPECT_GT(bigNow.size(), 1u) << "killed after it moved everything";
  }

  const Outcome seen = waiting.Wait(20000);
  EXPECT_EQ(seen.ExitCode, 1) << Describe(seen);
  EXPECT_EQ(seen.Out, "Got ownership of the abandoned mutex object.\r\n");
  toolLock.Release();
  EXPECT_EQ(Runs(kA), aBefore) << "a helper that found the mutex abandoned went on";

  const Outcome next = RunHelper({"-d", kA}, HelperEnv());
  EXPECT_EQ(next.ExitCode, 0) << Describe(next);
  EXPECT_EQ(next.Out, FileLines(kA));
  EXPECT_EQ(Runs(kA).size(), 1u);
  ExpectIntact(/*clean=*/!moving);
}

INSTANTIATE_TEST_SUITE_P(Helper, AbandonedMutex,
                         ::testing::Values(Killed::WhileMoving, Killed::WhileBlockedHoldingTheMutex),
                         [](const ::testing::TestParamInfo<Killed>& p) {
                           return p.param == Killed::WhileMoving ? "WhileMoving"
                                                                 : "WhileBlockedHoldingTheMutex";
                         });

// Takes 50 seconds: labelled slow.
TEST_F(AuxHelper, MutexWaitTimesOutAfterFiftySeconds) {
  ImageLock toolLock(Image());
  ASSERT_TRUE(toolLock.Held());
  HelperProcess first({"-d", kA}, HelperEnv(120000));
  ASSERT_TRUE(first.WaitForOutput("Defragmenting file", 20000)) << first.OutputSoFar();

  const Outcome late = RunHelper({"-d", kB}, HelperEnv(), Stdout::Pipe, 120000);
  EXPECT_EQ(late.ExitCode, 1) << Describe(late);
  EXPECT_EQ(late.Out, "Cannot get mutex ownership due to time-out.\r\n");
  EXPECT_GE(late.Seconds, 49.9);
  EXPECT_LT(late.Seconds, 65.0);

  // The owner was not disturbed: once the volume is free it finishes.
  toolLock.Release();
  const Outcome owner = first.Wait(60000);
  EXPECT_EQ(owner.ExitCode, 0) << Describe(owner);
  EXPECT_EQ(owner.Out, FileLines(kA));
  EXPECT_EQ(Runs(kA).size(), 1u);
  EXPECT_GT(Runs(kB).size(), 1u);
  ExpectIntact();
}

}  // namespace
