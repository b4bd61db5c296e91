// The platform on Windows: the seam's calls are the system's own. Names are
// converted between UTF-8 and UTF-16 and the W functions called, so paths
// outside the ANSI code page work; the last error is the system's
// per-thread one; a plat::HANDLE holds the Win32 handle value (the seam's
// INVALID_HANDLE_VALUE, -1, is the system's too).
#pragma once

#include "Platform.h"

namespace win32 {

class Win32Platform final : public plat::Platform {
 public:
  std::uint32_t GetDriveTypeA(const std::string& rootPath) override;
  plat::HANDLE CreateFileA(const std::string& name, std::uint32_t access, std::uint32_t share,
                           std::uint32_t disposition, std::uint32_t flags) override;
  bool CloseHandle(plat::HANDLE handle) override;
  std::int32_t NtFsControlFile(plat::HANDLE handle, plat::IO_STATUS_BLOCK& iosb,
                               std::uint32_t controlCode, const void* input,
                               std::uint32_t inputLength, void* output,
                               std::uint32_t outputLength) override;
  std::uint32_t WaitForSingleObject(plat::HANDLE handle, std::uint32_t milliseconds) override;
  plat::HANDLE FindFirstFileA(const std::string& pattern, plat::FindData& data) override;
  bool FindNextFileA(plat::HANDLE find, plat::FindData& data) override;
  bool FindClose(plat::HANDLE find) override;
  bool GetFileSizeEx(plat::HANDLE file, std::int64_t& size) override;
  std::uint32_t GetFileAttributesA(const std::string& path) override;
  std::uint32_t GetLastError() override;
  void SetLastError(std::uint32_t code) override;
  // The system's text in the user's language, at most 255 characters as
  // the logger reads it: a longer text, or an unknown code, gives "".
  std::string FormatErrorMessage(std::uint32_t code) override;
};

}  // namespace win32
