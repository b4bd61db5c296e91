// System facts and settings files on Windows: the real version, the
// executable's path, folders, the log's exclusive file and the settings
// file's all-or-nothing replacement.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "ChildProcess.h"
#include "Files.h"
#include "SystemInfo.h"
#include "WindowsHeaders.h"

namespace {

namespace fs = std::filesystem;

fs::path Utf8Path(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }

std::string ReadAll(const std::string& path) {
  std::ifstream in(Utf8Path(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string TempFolder() {
  wchar_t temp[MAX_PATH + 1];
  std::wstring folder(temp, GetTempPathW(MAX_PATH + 1, temp));
  folder.pop_back();  // the trailing backslash
  return wintest::Utf8(folder);
}

TEST(SystemInfoWin32Test, VersionIsTheNtFamilysOwn) {
  const plat::OsVersion v = plat::GetOsVersion();
  ASSERT_TRUE(v.Known);
  EXPECT_TRUE(v.WindowsNtFamily);
  EXPECT_TRUE(v.Name.empty());  // the log names Windows from the numbers
  EXPECT_GE(v.Major, 5u);
  EXPECT_GT(v.Build, 0u);
}

TEST(SystemInfoWin32Test, ExecutableAndFolders) {
  const std::string exe = plat::ExecutablePath();
  EXPECT_TRUE(exe.ends_with("\\win32_tests.exe")) << exe;
  EXPECT_TRUE(fs::is_regular_file(Utf8Path(exe)));
  EXPECT_TRUE(plat::ConfigFolder().ends_with("\\Contigra")) << plat::ConfigFolder();

  EXPECT_TRUE(plat::FolderIsWritable(TempFolder()));
  EXPECT_FALSE(plat::FolderIsWritable(TempFolder() + "\\" + wintest::UniqueName("missing")));
  EXPECT_FALSE(plat::FolderIsWritable(""));
}

TEST(SystemInfoWin32Test, ExclusiveFileIsOursAloneAndStartsEmpty) {
  const std::string path = TempFolder() + "\\" + wintest::UniqueName("contigra ✓") + ".log";
  std::ofstream(Utf8Path(path), std::ios::binary) << "old run\r\n";
  {
    auto file = plat::ExclusiveFile::Open(path);
    ASSERT_TRUE(file);
    file->Write("one\r\n");
    file->Write("two\r\n");
    // A second writer is refused, and what we wrote stays as it is.
    EXPECT_EQ(plat::ExclusiveFile::Open(path), nullptr);
    file->Write("three\r\n");
  }
  EXPECT_EQ(ReadAll(path), "one\r\ntwo\r\nthree\r\n");
  fs::remove(Utf8Path(path));
}

TEST(FilesWin32Test, ReplacementIsWholeOrNothing) {
  const std::string path = TempFolder() + "\\" + wintest::UniqueName("config ✓") + ".cfg";
  std::ofstream(Utf8Path(path), std::ios::binary) << "old";
  EXPECT_TRUE(plat::ReplaceFileContents(path, "new <xml/>\r\n"));
  EXPECT_EQ(ReadAll(path), "new <xml/>\r\n");
  EXPECT_FALSE(fs::exists(Utf8Path(path + ".tmp")));
  // Held open by a reader (Windows refuses the rename then; Wine may not):
  // either way the file is one whole version and no temporary is left.
  bool replaced = false;
  {
    std::ifstream reader(Utf8Path(path), std::ios::binary);
    replaced = plat::ReplaceFileContents(path, "newer");
  }
  EXPECT_EQ(ReadAll(path), replaced ? "newer" : "new <xml/>\r\n");
  EXPECT_FALSE(fs::exists(Utf8Path(path + ".tmp")));
  // A folder that does not exist: nothing to write into.
  EXPECT_FALSE(plat::ReplaceFileContents(TempFolder() + "\\" + wintest::UniqueName("no") +
                                             "\\config.cfg", "x"));
  fs::remove(Utf8Path(path));
}

TEST(FilesWin32Test, SettingsFolderIsWritableWithTrailingSeparator) {
  const std::string folder = plat::SettingsFolder();
  ASSERT_TRUE(folder.ends_with("\\")) << folder;
  EXPECT_TRUE(plat::FolderIsWritable(folder.substr(0, folder.size() - 1))) << folder;
}

}  // namespace
