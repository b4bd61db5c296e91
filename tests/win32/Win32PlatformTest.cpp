// The Windows platform on the real system: UTF-8 names through the W
// functions, Windows error codes in the system's last error, enumeration,
// and the seam's refusal of the invalid handle.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "ChildProcess.h"
#include "DefaultPlatform.h"
#include "Platform.h"
#include "WindowsHeaders.h"

namespace {

namespace fs = std::filesystem;

fs::path Utf8Path(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }

// A drive letter with nothing behind it; '\0' when every letter is taken.
char UnassignedDrive() {
  const DWORD used = GetLogicalDrives();
  for (char letter = 'Y'; letter > 'C'; --letter)
    if (!(used & (1u << (letter - 'A')))) return letter;
  return '\0';
}

class Win32PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = plat::SetCurrent(platform_.get());
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    // Names outside every ANSI code page: only the W functions reach them.
    dir_ = wintest::Utf8(std::wstring(temp, n)) + wintest::UniqueName("contigra ✓ Grüße 日本");
    fs::create_directories(Utf8Path(dir_ + "\\sub"));
    std::ofstream(Utf8Path(dir_ + "\\ä ✓.dat"), std::ios::binary) << std::string(1000, 'x');
  }
  void TearDown() override {
    plat::SetCurrent(previous_);
    std::error_code ignored;
    fs::remove_all(Utf8Path(dir_), ignored);
  }

  plat::Platform& P() { return *platform_; }

  std::unique_ptr<plat::Platform> platform_ = plat::MakeDefaultPlatform();
  plat::Platform* previous_ = nullptr;
  std::string dir_;
};

TEST_F(Win32PlatformTest, OpensSizesAndClosesByUtf8Name) {
  const plat::HANDLE file = P().CreateFileA(dir_ + "\\ä ✓.dat", GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                                            FILE_FLAG_NO_BUFFERING);
  ASSERT_NE(file, -1) << P().GetLastError();
  std::int64_t size = 0;
  EXPECT_TRUE(P().GetFileSizeEx(file, size));
  EXPECT_EQ(size, 1000);
  // Open handles are signalled file objects: a wait on one returns at once.
  EXPECT_EQ(P().WaitForSingleObject(file, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(P().CloseHandle(file));

  EXPECT_EQ(P().GetFileAttributesA(dir_ + "\\ä ✓.dat") & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_NE(P().GetFileAttributesA(dir_ + "\\sub") & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(Win32PlatformTest, FailuresLeaveTheWindowsErrorCode) {
  struct Case { std::string name; DWORD error; };
  for (const Case& c : {Case{dir_ + "\\missing.dat", ERROR_FILE_NOT_FOUND},
                        Case{dir_ + "\\missing\\a.dat", ERROR_PATH_NOT_FOUND},
                        Case{dir_ + "\\sub", ERROR_ACCESS_DENIED},  // a folder opened as a file
                        Case{dir_ + "\\bad \xff\xfe.dat", ERROR_INVALID_NAME}}) {
    SCOPED_TRACE(c.name);
    ::SetLastError(0);
    EXPECT_EQ(P().CreateFileA(c.name, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0), -1);
    EXPECT_EQ(P().GetLastError(), c.error);
    // The engine reads it through the shortcut: the same per-thread value.
    EXPECT_EQ(plat::GetLastError(), c.error);
  }
  EXPECT_EQ(P().GetFileAttributesA(dir_ + "\\missing.dat"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(P().GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Win32PlatformTest, LastErrorIsTheSystemsOwn) {
  P().SetLastError(1234);
  EXPECT_EQ(::GetLastError(), 1234u);
  ::SetLastError(4321);
  EXPECT_EQ(P().GetLastError(), 4321u);
}

TEST_F(Win32PlatformTest, EnumeratesDotsThenUtf8Entries) {
  plat::FindData data;
  const plat::HANDLE find = P().FindFirstFileA(dir_ + "\\*.*", data);
  ASSERT_NE(find, -1) << P().GetLastError();
  std::vector<plat::FindData> entries{data};
  while (P().FindNextFileA(find, data)) entries.push_back(data);
  EXPECT_EQ(P().GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(P().FindClose(find));

  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].Name, ".");
  EXPECT_EQ(entries[1].Name, "..");
  std::sort(entries.begin() + 2, entries.end(),
            [](const auto& a, const auto& b) { return a.Name < b.Name; });
  EXPECT_EQ(entries[2].Name, "sub");
  EXPECT_NE(entries[2].Attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(entries[3].Name, "ä ✓.dat");
  EXPECT_EQ(entries[3].Size, 1000u);
  EXPECT_EQ(entries[3].Attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);

  EXPECT_EQ(P().FindFirstFileA(dir_ + "\\missing\\*.*", data), -1);
  EXPECT_EQ(P().GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

// Windows reads INVALID_HANDLE_VALUE as the current process's pseudo-handle;
// the seam says calls on it fail.
TEST_F(Win32PlatformTest, InvalidHandleIsRefused) {
  plat::FindData data;
  std::int64_t size = 0;
  EXPECT_FALSE(P().CloseHandle(-1));
  EXPECT_EQ(P().GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(P().WaitForSingleObject(-1, 0), WAIT_FAILED);
  EXPECT_FALSE(P().FindNextFileA(-1, data));
  EXPECT_FALSE(P().FindClose(-1));
  EXPECT_FALSE(P().GetFileSizeEx(-1, size));
}

TEST_F(Win32PlatformTest, DriveTypes) {
  EXPECT_EQ(P().GetDriveTypeA("C:\\"), static_cast<std::uint32_t>(DRIVE_FIXED));
  if (const char letter = UnassignedDrive()) {
    EXPECT_EQ(P().GetDriveTypeA(std::string(1, letter) + ":\\"),
              static_cast<std::uint32_t>(DRIVE_NO_ROOT_DIR));
  }
}

// The system's own texts, whatever its language; codes it does not know
// (an NTSTATUS, one of the engine's own results) give nothing.
TEST_F(Win32PlatformTest, ErrorTextsComeFromTheSystem) {
  for (const std::uint32_t known : {2u, 5u, 32u}) {
    const std::string text = P().FormatErrorMessage(known);
    EXPECT_FALSE(text.empty()) << known;
    EXPECT_LE(text.size(), 255u * 3) << known;
  }
  for (const std::uint32_t unknown : {0xC0000021u, 0x20000001u})
    EXPECT_EQ(P().FormatErrorMessage(unknown), "") << std::hex << unknown;
}

}  // namespace
