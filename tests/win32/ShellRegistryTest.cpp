// The machine-wide registry entries of the shell integration, written,
// read back and removed in the real registry (Wine's, under the mingw
// preset), and the verb's command started the way Explorer starts it.
//
// The tests change HKEY_LOCAL_MACHINE's Run value "Contigra" and the
// "Defragment file" verb, so ctest runs them one at a time; each test puts
// back what it found.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "MachineRegistry.h"
#include "ShellEntries.h"
#include "WindowsHeaders.h"
#include <shellapi.h>

namespace {

namespace machine = win32::machine;

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kVerbKey = "Software\\Classes\\*\\shell\\Defragment file";
constexpr const char* kCommandKey = "Software\\Classes\\*\\shell\\Defragment file\\command";

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, wintest::Wide(path).c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// The number of values the key holds, its default value included.
DWORD ValueCount(const std::string& path) {
  HKEY key = nullptr;
  DWORD count = 0;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, wintest::Wide(path).c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return count;
}

class ShellRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run_ = machine::ReadString(kRunKey, "Contigra");
    command_ = machine::ReadString(kCommandKey, "");
  }
  void TearDown() override {
    machine::DeleteValue(kRunKey, "Contigra");
    if (run_) machine::WriteString(kRunKey, "Contigra", *run_);
    machine::DeleteTree(kVerbKey);
    if (command_) machine::WriteString(kCommandKey, "", *command_);
    machine::DeleteTree(scratch_);
  }

  const std::string scratch_ = "Software\\" + wintest::UniqueName("contigra test");
  std::optional<std::string> run_;
  std::optional<std::string> command_;
};

TEST_F(ShellRegistryTest, MachineValuesRoundTrip) {
  const std::string deep = scratch_ + "\\one\\two ✓";
  EXPECT_EQ(machine::ReadString(deep, "v"), std::nullopt);
  EXPECT_FALSE(machine::DeleteValue(deep, "v"));
  ASSERT_TRUE(machine::WriteString(deep, "v", "C:\\Prögram Files\\x.exe -d \"%l\""));
  EXPECT_EQ(machine::ReadString(deep, "v"), "C:\\Prögram Files\\x.exe -d \"%l\"");
  ASSERT_TRUE(machine::WriteString(deep, "", ""));
  EXPECT_EQ(machine::ReadString(deep, ""), "");  // present but empty

  const DWORD number = 7;
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, wintest::Wide(deep).c_str(), 0, KEY_SET_VALUE, &key),
            ERROR_SUCCESS);
  RegSetValueExW(key, L"n", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  RegCloseKey(key);
  EXPECT_EQ(machine::ReadString(deep, "n"), std::nullopt);  // not a string

  EXPECT_TRUE(machine::DeleteValue(deep, "v"));
  EXPECT_EQ(machine::ReadString(deep, "v"), std::nullopt);
  EXPECT_TRUE(machine::DeleteTree(scratch_ + "\\one"));
  EXPECT_FALSE(KeyExists(scratch_ + "\\one"));
  EXPECT_TRUE(KeyExists(scratch_));
  EXPECT_FALSE(machine::DeleteTree(scratch_ + "\\one"));
}

TEST_F(ShellRegistryTest, SavingWritesAndRemovesBothEntries) {
  const std::string program = "C:\\Program Files\\Contigra Tools\\contigra.exe";
  plat::SaveStartupEntry(true, program);
  plat::SaveFileVerb(true, program);
  EXPECT_EQ(machine::ReadString(kRunKey, "Contigra"), program);  // unquoted, no arguments
  EXPECT_EQ(machine::ReadString(kCommandKey, ""),
            "C:\\Program Files\\Contigra Tools\\contigra_aux.exe -d \"%l\"");
  EXPECT_EQ(ValueCount(kVerbKey), 0u);  // only its name shows, as the verb
  EXPECT_TRUE(plat::FileVerbSupported());
  EXPECT_TRUE(plat::StartupEntryPresent());
  EXPECT_TRUE(plat::FileVerbPresent());

  // What others added below the verb goes with it.
  ASSERT_TRUE(machine::WriteString(kCommandKey, "extra", "x"));
  ASSERT_TRUE(machine::WriteString(std::string(kVerbKey) + "\\ddeexec", "", "y"));
  plat::SaveStartupEntry(false, program);
  plat::SaveFileVerb(false, program);
  EXPECT_EQ(machine::ReadString(kRunKey, "Contigra"), std::nullopt);
  EXPECT_FALSE(KeyExists(kVerbKey));
  EXPECT_FALSE(plat::StartupEntryPresent());
  EXPECT_FALSE(plat::FileVerbPresent());
  plat::SaveStartupEntry(false, program);  // nothing to remove: no harm
  plat::SaveFileVerb(false, program);
  EXPECT_FALSE(plat::StartupEntryPresent() || plat::FileVerbPresent());
}

TEST_F(ShellRegistryTest, EntriesOfAnotherCopyCountAndAreReplaced) {
  ASSERT_TRUE(machine::WriteString(kRunKey, "Contigra", "D:\\Old\\contigra.exe"));
  ASSERT_TRUE(machine::WriteString(kCommandKey, "", "D:\\Old\\contigra_aux.exe -d \"%l\""));
  EXPECT_TRUE(plat::StartupEntryPresent());
  EXPECT_TRUE(plat::FileVerbPresent());
  plat::SaveStartupEntry(true, "E:\\New\\contigra.exe");
  plat::SaveFileVerb(true, "E:\\New\\contigra.exe");
  EXPECT_EQ(machine::ReadString(kRunKey, "Contigra"), "E:\\New\\contigra.exe");
  EXPECT_EQ(machine::ReadString(kCommandKey, ""), "E:\\New\\contigra_aux.exe -d \"%l\"");

  // Present but empty reads as off.
  ASSERT_TRUE(machine::WriteString(kRunKey, "Contigra", ""));
  ASSERT_TRUE(machine::WriteString(kCommandKey, "", ""));
  EXPECT_FALSE(plat::StartupEntryPresent());
  EXPECT_FALSE(plat::FileVerbPresent());
}

TEST_F(ShellRegistryTest, TheVerbsCommandStartsTheHelperOnTheChosenFile) {
  const std::string helper = wintest::ProgramBeside("contigra_aux.exe");
  const std::string folder = helper.substr(0, helper.find_last_of('\\') + 1);
  ASSERT_EQ(folder.find(' '), std::string::npos) << "the command is unquoted: " << folder;
  plat::SaveFileVerb(true, folder + "contigra.exe");
  std::string command = machine::ReadString(kCommandKey, "").value_or("");

  // Explorer puts the chosen file's long path in place of %l and hands
  // the line to the system, which splits it as below.
  const std::string file = "C:\\no such folder\\a file ✓.dat";
  const auto at = command.find("%l");
  ASSERT_NE(at, std::string::npos) << command;
  command.replace(at, 2, file);
  int count = 0;
  LPWSTR* parts = CommandLineToArgvW(wintest::Wide(command).c_str(), &count);
  ASSERT_NE(parts, nullptr);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(wintest::Utf8(parts[i]));
  const std::string program = wintest::Utf8(parts[0]);
  LocalFree(parts);
  EXPECT_EQ(program, helper);

  const wintest::RunResult r = wintest::Run(program, args, 60000);
  EXPECT_EQ(r.ExitCode, 0u) << wintest::Describe(r);
  EXPECT_EQ(r.Output, "Defragmenting file : \"" + file + "\"\r\nDone : \"" + file + "\"\r\n");
}

// Explorer hands the verb's line to the system as it stands; with the
// program in a folder with blanks the line names it unquoted, and the
// helper must still see exactly "-d" and the file.
TEST_F(ShellRegistryTest, AHelperInAFolderWithBlanksStillSeesTwoArguments) {
  wchar_t temp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::string folder = wintest::Utf8(temp) + wintest::UniqueName("Program Files ") + "\\";
  ASSERT_TRUE(CreateDirectoryW(wintest::Wide(folder).c_str(), nullptr));
  const std::string helper = folder + "contigra_aux.exe";
  ASSERT_TRUE(CopyFileW(wintest::Wide(wintest::ProgramBeside("contigra_aux.exe")).c_str(),
                        wintest::Wide(helper).c_str(), TRUE));
  plat::SaveFileVerb(true, folder + "contigra.exe");
  std::string command = machine::ReadString(kCommandKey, "").value_or("");
  const std::string file = "C:\\no such folder\\b.dat";
  command.replace(command.find("%l"), 2, file);
  ASSERT_EQ(command.rfind(helper + " -d ", 0), 0u) << command;

  const wintest::RunResult r = wintest::RunCommandLine(helper, wintest::Wide(command), 60000);
  DeleteFileW(wintest::Wide(helper).c_str());
  RemoveDirectoryW(wintest::Wide(folder).c_str());
  EXPECT_EQ(r.ExitCode, 0u) << wintest::Describe(r);
  EXPECT_EQ(r.Output, "Defragmenting file : \"" + file + "\"\r\nDone : \"" + file + "\"\r\n");
}

}  // namespace
