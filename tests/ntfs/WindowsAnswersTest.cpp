// The Windows answers of the backend on a real image: drive types, open
// failures, attributes, folder listings and names beyond ASCII.
#include <gtest/gtest.h>

#include <algorithm>

#include "DriveType.h"
#include "NtfsTestSupport.h"

namespace {

using namespace ntfstest;

constexpr char kLayout[] = R"(
size 4M
dir Docs
dir Docs\Empty
dir Secret attr=h
file Docs\Report.bin size=20000
file Docs\readonly.txt size=300 attr=r
file tiny.txt size=10
file Hidden.sys size=5000 attr=hs
file "Ünïcødé\日本語 текст.txt" size=9000
file emoji\😀.bin size=100
)";

class WindowsAnswers : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    BuildImage(kLayout, *dir_ / "c.img");
  }
  static void TearDownTestSuite() { delete dir_; }
  void SetUp() override { ntfs_ = std::make_unique<ScopedNtfs>("C=" + *dir_ / "c.img" + ";D=" + *dir_ / "missing.img"); }

  static TempDir* dir_;
  std::unique_ptr<ScopedNtfs> ntfs_;
};
TempDir* WindowsAnswers::dir_ = nullptr;

TEST_F(WindowsAnswers, DriveTypes) {
  struct Case { const char* root; std::uint32_t type; } cases[] = {
      {"C:\\", plat::DRIVE_FIXED},         {"c:", plat::DRIVE_FIXED},
      {"D:\\", plat::DRIVE_NO_ROOT_DIR},  // mapped to a file that does not exist
      {"E:\\", plat::DRIVE_NO_ROOT_DIR},  {"", plat::DRIVE_NO_ROOT_DIR},
      {"CC:\\", plat::DRIVE_NO_ROOT_DIR},
  };
  for (const auto& c : cases) EXPECT_EQ(plat::GetDriveTypeA(c.root), c.type) << c.root;
}

TEST(DriveType, NetworkAndUserSpaceFileSystemsAreRemote) {
  struct Case { unsigned long magic; std::uint32_t type; } cases[] = {
      {0x6969, plat::DRIVE_REMOTE},      {0xFF534D42, plat::DRIVE_REMOTE},
      {0xFE534D42, plat::DRIVE_REMOTE},  {0x517B, plat::DRIVE_REMOTE},
      {0x65735546, plat::DRIVE_REMOTE},  {0x01021997, plat::DRIVE_REMOTE},
      {0xEF53, plat::DRIVE_FIXED},       {0x01021994, plat::DRIVE_FIXED},  // ext4, tmpfs
      {0x58465342, plat::DRIVE_FIXED},                                      // xfs
  };
  for (const auto& c : cases) EXPECT_EQ(ntfs::DriveTypeForFilesystem(c.magic), c.type) << std::hex << c.magic;
}

TEST_F(WindowsAnswers, OpenFailuresCarryWindowsErrors) {
  struct Case { const char* name; std::uint32_t error; } cases[] = {
      {"C:\\nothere.bin", plat::ERROR_FILE_NOT_FOUND},
      {"C:\\Docs\\nothere.bin", plat::ERROR_FILE_NOT_FOUND},
      {"C:\\NoFolder\\x.bin", plat::ERROR_PATH_NOT_FOUND},
      {"C:\\tiny.txt\\x.bin", plat::ERROR_PATH_NOT_FOUND},
      {"C:\\Docs", plat::ERROR_ACCESS_DENIED},
      {"C:\\", plat::ERROR_ACCESS_DENIED},
      {"E:\\x.bin", plat::ERROR_PATH_NOT_FOUND},  // letter not mapped
      {"\\\\.\\E:", plat::ERROR_PATH_NOT_FOUND},
      {"D:\\x.bin", plat::ERROR_PATH_NOT_FOUND},  // mapped, image missing
      {"C:\\bad|name", plat::ERROR_INVALID_NAME},
      {"relative\\x.bin", plat::ERROR_INVALID_NAME},
  };
  for (const auto& c : cases) {
    plat::SetLastError(0);
    EXPECT_EQ(OpenFile(c.name), plat::INVALID_HANDLE_VALUE) << c.name;
    EXPECT_EQ(plat::GetLastError(), c.error) << c.name;
  }
}

TEST_F(WindowsAnswers, OpensIgnoreCaseAndReportSizes) {
  struct Case { const char* name; std::int64_t size; } cases[] = {
      {"C:\\Docs\\Report.bin", 20000}, {"C:\\DOCS\\report.BIN", 20000},
      {"c:/docs/report.bin", 20000},   {"C:\\Docs\\..\\tiny.txt", 10},
      {"C:\\ünïcødé\\日本語 ТЕКСТ.txt", 9000}, {"C:\\emoji\\😀.bin", 100},
  };
  for (const auto& c : cases) {
    const plat::HANDLE h = OpenFile(c.name);
    ASSERT_NE(h, plat::INVALID_HANDLE_VALUE) << c.name << " error " << plat::GetLastError();
    std::int64_t size = -1;
    EXPECT_TRUE(plat::Current().GetFileSizeEx(h, size));
    EXPECT_EQ(size, c.size) << c.name;
    EXPECT_TRUE(plat::CloseHandle(h));
  }
  EXPECT_FALSE(plat::CloseHandle(0x12345));
  EXPECT_EQ(plat::GetLastError(), plat::ERROR_INVALID_HANDLE);
}

TEST_F(WindowsAnswers, FileAttributes) {
  struct Case { const char* path; std::uint32_t attrs; std::uint32_t error; } cases[] = {
      {"C:\\Docs", plat::FILE_ATTRIBUTE_DIRECTORY, 0},
      {"C:\\Secret", plat::FILE_ATTRIBUTE_DIRECTORY | plat::FILE_ATTRIBUTE_HIDDEN, 0},
      {"C:\\Docs\\readonly.txt", plat::FILE_ATTRIBUTE_ARCHIVE | plat::FILE_ATTRIBUTE_READONLY, 0},
      {"C:\\Hidden.sys",
       plat::FILE_ATTRIBUTE_ARCHIVE | plat::FILE_ATTRIBUTE_HIDDEN | plat::FILE_ATTRIBUTE_SYSTEM, 0},
      {"C:\\tiny.txt", plat::FILE_ATTRIBUTE_ARCHIVE, 0},
      {"C:\\nothere", plat::INVALID_FILE_ATTRIBUTES, plat::ERROR_FILE_NOT_FOUND},
      {"C:\\nothere\\x", plat::INVALID_FILE_ATTRIBUTES, plat::ERROR_PATH_NOT_FOUND},
  };
  for (const auto& c : cases) {
    const std::uint32_t a = plat::Current().GetFileAttributesA(c.path);
    // Read-only, hidden, system and directory exactly; folders may also
    // carry the archive flag (ntfs-3g sets it on them).
    EXPECT_EQ(a & 0x17, c.attrs & 0x17) << c.path << " got 0x" << std::hex << a;
    if (!(c.attrs & plat::FILE_ATTRIBUTE_DIRECTORY)) {
      EXPECT_EQ(a, c.attrs) << c.path;
    }
    if (c.error) {
      EXPECT_EQ(plat::GetLastError(), c.error) << c.path;
    }
  }
}

std::vector<plat::FindData> ListAll(const std::string& pattern, std::uint32_t* error = nullptr) {
  std::vector<plat::FindData> all;
  plat::FindData d;
  const plat::HANDLE f = plat::Current().FindFirstFileA(pattern, d);
  if (f == plat::INVALID_HANDLE_VALUE) {
    if (error) *error = plat::GetLastError();
    return all;
  }
  do all.push_back(d);
  while (plat::Current().FindNextFileA(f, d));
  EXPECT_EQ(plat::GetLastError(), plat::ERROR_NO_MORE_FILES);
  EXPECT_TRUE(plat::Current().FindClose(f));
  return all;
}

std::vector<std::string> Names(const std::vector<plat::FindData>& found) {
  std::vector<std::string> names;
  for (const auto& d : found) names.push_back(d.Name);
  return names;
}

TEST_F(WindowsAnswers, RootListingHidesMetafilesAndHasNoDots) {
  const auto found = ListAll("C:\\*.*");
  // Index order, which for these names is case-insensitive alphabetical.
  EXPECT_EQ(Names(found), (std::vector<std::string>{"Docs", "emoji", "Hidden.sys", "Secret",
                                                    "tiny.txt", "Ünïcødé"}));
}

TEST_F(WindowsAnswers, FolderListingStartsWithDotsAndCarriesAttributes) {
  const auto found = ListAll("C:\\Docs\\*.*");
  ASSERT_EQ(Names(found), (std::vector<std::string>{".", "..", "Empty", "readonly.txt", "Report.bin"}));
  EXPECT_TRUE(found[0].Attributes & plat::FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(found[1].Attributes & plat::FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(found[2].Attributes & plat::FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(found[3].Attributes, plat::FILE_ATTRIBUTE_ARCHIVE | plat::FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(found[3].Size, 300u);
  EXPECT_EQ(found[4].Size, 20000u);
  EXPECT_EQ(Names(ListAll("C:\\Docs\\Empty\\*.*")), (std::vector<std::string>{".", ".."}));
}

TEST_F(WindowsAnswers, ListingPatternsAndFailures) {
  EXPECT_EQ(Names(ListAll("C:\\Docs\\*.bin")), (std::vector<std::string>{"Report.bin"}));
  EXPECT_EQ(Names(ListAll("C:\\docs\\R?PORT.*")), (std::vector<std::string>{"Report.bin"}));
  EXPECT_EQ(Names(ListAll("C:\\ÜNÏCØDÉ\\*")), (std::vector<std::string>{".", "..", "日本語 текст.txt"}));
  EXPECT_EQ(Names(ListAll("C:\\emoji\\*.*")), (std::vector<std::string>{".", "..", "😀.bin"}));
  struct Case { const char* pattern; std::uint32_t error; } cases[] = {
      {"C:\\Docs\\*.none", plat::ERROR_FILE_NOT_FOUND},
      {"C:\\NoFolder\\*.*", plat::ERROR_PATH_NOT_FOUND},
      {"E:\\*.*", plat::ERROR_PATH_NOT_FOUND},
  };
  for (const auto& c : cases) {
    std::uint32_t error = 0;
    EXPECT_TRUE(ListAll(c.pattern, &error).empty()) << c.pattern;
    EXPECT_EQ(error, c.error) << c.pattern;
  }
}

TEST_F(WindowsAnswers, EveryListedNameOpens) {
  // Walks the whole tree: every name the listing gives back opens again.
  std::vector<std::string> folders{"C:"};
  int files = 0;
  while (!folders.empty()) {
    const std::string folder = folders.back();
    folders.pop_back();
    for (const auto& d : ListAll(folder + "\\*.*")) {
      if (d.Name == "." || d.Name == "..") continue;
      const std::string path = folder + "\\" + d.Name;
      if (d.Attributes & plat::FILE_ATTRIBUTE_DIRECTORY) {
        folders.push_back(path);
        continue;
      }
      const plat::HANDLE h = OpenFile(path);
      EXPECT_NE(h, plat::INVALID_HANDLE_VALUE) << path;
      plat::CloseHandle(h);
      ++files;
    }
  }
  EXPECT_EQ(files, 6);
}

}  // namespace
