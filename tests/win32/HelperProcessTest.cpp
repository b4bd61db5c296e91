// contigra_aux.exe as a process: usage errors, its output lines, the list
// file, and its turns on the named mutex "contigra" (abandoned, timed out).
// Nothing here needs the file-system control requests to work: missing
// files, unassigned drives and a refused or unsupported request all end
// with the same two lines.
//
// Every test uses the real mutex name, so ctest runs them one at a time.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ChildProcess.h"
#include "NamedMutex.h"
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kAux = wintest::ProgramBeside("contigra_aux.exe");
const std::string kChild = wintest::ProgramBeside("win32_test_child.exe");

fs::path Utf8Path(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }

std::string TempFolder() {
  wchar_t temp[MAX_PATH + 1];
  std::wstring folder(temp, GetTempPathW(MAX_PATH + 1, temp));
  folder.pop_back();
  return wintest::Utf8(folder);
}

std::string UnassignedDrive() {
  const DWORD used = GetLogicalDrives();
  for (char letter = 'Y'; letter > 'C'; --letter)
    if (!(used & (1u << (letter - 'A')))) return std::string(1, letter);
  return {};
}

std::string Lines(const std::string& file) {
  return "Defragmenting file : \"" + file + "\"\r\nDone : \"" + file + "\"\r\n";
}

class HelperProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TempFolder() + "\\" + wintest::UniqueName("contigra aux ✓");
    fs::create_directories(Utf8Path(folder_));
    existing_ = folder_ + "\\Grüße ✓.dat";
    std::ofstream(Utf8Path(existing_), std::ios::binary) << std::string(70000, 'x');
    ASSERT_FALSE(UnassignedDrive().empty());
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(Utf8Path(folder_), ignored);
  }

  std::string folder_;
  std::string existing_;
};

TEST_F(HelperProcessTest, UsageErrorsEndAtOnceSilentlyWithoutTheMutex) {
  // We hold the helpers' mutex: a helper that asked for it would wait 50 s.
  auto mutex = plat::NamedMutex::Create("contigra");
  ASSERT_TRUE(mutex);
  ASSERT_EQ(mutex->Wait(0), WAIT_OBJECT_0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"-h"}, {"/H", "C:\\a.dat"}, {"-d", "C:\\a.dat", "extra"}}) {
    const wintest::RunResult r = wintest::Run(kAux, args, 10000);
    EXPECT_EQ(r.ExitCode, 0u) << ::testing::PrintToString(args) << wintest::Describe(r);
    EXPECT_EQ(r.Output, "") << ::testing::PrintToString(args);
  }
  EXPECT_TRUE(mutex->Release());
}

TEST_F(HelperProcessTest, EachFileGetsTwoCrLfLines) {
  const std::string unassigned = UnassignedDrive() + ":\\Mail\\inbox.mbx";
  for (const std::string& file :
       {std::string("C:\\no such folder\\missing.dat"), unassigned, existing_}) {
    const wintest::RunResult r = wintest::Run(kAux, {"-d", file});
    EXPECT_EQ(r.ExitCode, 0u) << wintest::Describe(r);
    EXPECT_EQ(r.Output, Lines(file));
  }
}

TEST_F(HelperProcessTest, ListFileLinesInOrder) {
  const std::vector<std::string> files = {"C:\\missing ✓\\a.dat",
                                          UnassignedDrive() + ":\\b.dat", existing_};
  const std::string list = folder_ + "\\liste ✓.txt";
  std::ofstream(Utf8Path(list), std::ios::binary)
      << files[0] << "\r\n" << files[1] << "\n" << files[2];
  const wintest::RunResult r = wintest::Run(kAux, {"/L", list});
  EXPECT_EQ(r.ExitCode, 0u) << wintest::Describe(r);
  EXPECT_EQ(r.Output, Lines(files[0]) + Lines(files[1]) + Lines(files[2]));
}

TEST_F(HelperProcessTest, MissingListFileEndsWithCodeTwo) {
  const wintest::RunResult r = wintest::Run(kAux, {"-l", folder_ + "\\missing.txt"});
  EXPECT_EQ(r.ExitCode, 2u) << wintest::Describe(r);
  EXPECT_EQ(r.Output, "Cannot open list file!\r\n");
}

TEST_F(HelperProcessTest, HelpersWaitingWhenTheHolderDiesFindItAbandoned) {
  wintest::ChildProcess holder(kChild, {"hold-mutex", "contigra"});
  ASSERT_TRUE(holder.WaitForOutput("owned", 10000)) << holder.Output();
  wintest::ChildProcess first(kAux, {"-d", existing_});
  wintest::ChildProcess second(kAux, {"-d", existing_});
  std::this_thread::sleep_for(1s);  // both are waiting for the mutex
  holder.Kill();
  // Each helper leaves it owned on purpose, so the next one sees it too.
  for (wintest::ChildProcess* helper : {&first, &second}) {
    EXPECT_EQ(helper->Wait(20000), 1u);
    EXPECT_EQ(helper->Output(), "Got ownership of the abandoned mutex object.\r\n");
  }
  // With all of them gone the mutex is new again.
  const wintest::RunResult next = wintest::Run(kAux, {"-d", existing_});
  EXPECT_EQ(next.ExitCode, 0u) << wintest::Describe(next);
  EXPECT_EQ(next.Output, Lines(existing_));
}

// Slow: the helper gives up after its full 50 seconds.
TEST_F(HelperProcessTest, SlowTimeOutWhileAnotherHoldsTheMutex) {
  auto mutex = plat::NamedMutex::Create("contigra");
  ASSERT_TRUE(mutex);
  ASSERT_EQ(mutex->Wait(0), WAIT_OBJECT_0);
  const auto start = std::chrono::steady_clock::now();
  const wintest::RunResult r = wintest::Run(kAux, {"-d", existing_}, 90000);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(r.ExitCode, 1u) << wintest::Describe(r);
  EXPECT_EQ(r.Output, "Cannot get mutex ownership due to time-out.\r\n");
  EXPECT_GE(waited, 49s);
  EXPECT_TRUE(mutex->Release());
}

}  // namespace
