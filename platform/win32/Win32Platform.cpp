#include "Win32Platform.h"

#include <cstdint>

#include "DefaultPlatform.h"
#include "FsControl.h"
#include "WideText.h"
#include "WindowsHeaders.h"

namespace win32 {
namespace {

HANDLE Native(plat::HANDLE handle) {
  return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(handle));
}
plat::HANDLE Seam(HANDLE handle) {
  return static_cast<plat::HANDLE>(reinterpret_cast<INT_PTR>(handle));
}

// Windows would take INVALID_HANDLE_VALUE for the current process's
// pseudo-handle and succeed; the seam says such a call fails.
bool RefuseInvalid(plat::HANDLE handle) {
  if (Native(handle) != INVALID_HANDLE_VALUE) return false;
  ::SetLastError(ERROR_INVALID_HANDLE);
  return true;
}

void Fill(const WIN32_FIND_DATAW& found, plat::FindData& data) {
  data.Attributes = found.dwFileAttributes;
  data.Size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  data.Name = Narrow(std::wstring(found.cFileName));
}

}  // namespace

std::uint32_t Win32Platform::GetDriveTypeA(const std::string& rootPath) {
  const auto root = Widen(rootPath);
  return root ? ::GetDriveTypeW(root->c_str()) : DRIVE_NO_ROOT_DIR;
}

plat::HANDLE Win32Platform::CreateFileA(const std::string& name, std::uint32_t access,
                                        std::uint32_t share, std::uint32_t disposition,
                                        std::uint32_t flags) {
  const auto wide = Widen(name);
  if (!wide) {
    ::SetLastError(ERROR_INVALID_NAME);
    return Seam(INVALID_HANDLE_VALUE);
  }
  return Seam(::CreateFileW(wide->c_str(), access, share, nullptr, disposition, flags, nullptr));
}

bool Win32Platform::CloseHandle(plat::HANDLE handle) {
  if (RefuseInvalid(handle)) return false;
  return ::CloseHandle(Native(handle)) != FALSE;
}

std::int32_t Win32Platform::NtFsControlFile(plat::HANDLE handle, plat::IO_STATUS_BLOCK& iosb,
                                            std::uint32_t controlCode, const void* input,
                                            std::uint32_t inputLength, void* output,
                                            std::uint32_t outputLength) {
  return SendFsControl(Native(handle), iosb, controlCode, input, inputLength, output,
                       outputLength);
}

std::uint32_t Win32Platform::WaitForSingleObject(plat::HANDLE handle, std::uint32_t milliseconds) {
  if (RefuseInvalid(handle)) return WAIT_FAILED;
  return ::WaitForSingleObject(Native(handle), milliseconds);
}

plat::HANDLE Win32Platform::FindFirstFileA(const std::string& pattern, plat::FindData& data) {
  const auto wide = Widen(pattern);
  if (!wide) {
    ::SetLastError(ERROR_INVALID_NAME);
    return Seam(INVALID_HANDLE_VALUE);
  }
  // The basic level skips the 8.3 names nobody here reads.
  WIN32_FIND_DATAW found;
  const HANDLE find = ::FindFirstFileExW(wide->c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find != INVALID_HANDLE_VALUE) Fill(found, data);
  return Seam(find);
}

bool Win32Platform::FindNextFileA(plat::HANDLE find, plat::FindData& data) {
  if (RefuseInvalid(find)) return false;
  WIN32_FIND_DATAW found;
  if (!::FindNextFileW(Native(find), &found)) return false;
  Fill(found, data);
  return true;
}

bool Win32Platform::FindClose(plat::HANDLE find) {
  if (RefuseInvalid(find)) return false;
  return ::FindClose(Native(find)) != FALSE;
}

bool Win32Platform::GetFileSizeEx(plat::HANDLE file, std::int64_t& size) {
  if (RefuseInvalid(file)) return false;
  LARGE_INTEGER value;
  if (!::GetFileSizeEx(Native(file), &value)) return false;
  size = value.QuadPart;
  return true;
}

std::uint32_t Win32Platform::GetFileAttributesA(const std::string& path) {
  const auto wide = Widen(path);
  if (!wide) {
    ::SetLastError(ERROR_INVALID_NAME);
    return INVALID_FILE_ATTRIBUTES;
  }
  return ::GetFileAttributesW(wide->c_str());
}

std::uint32_t Win32Platform::GetLastError() { return ::GetLastError(); }

void Win32Platform::SetLastError(std::uint32_t code) { ::SetLastError(code); }

std::string Win32Platform::FormatErrorMessage(std::uint32_t code) {
  // Room for 255 characters and the terminating NUL: FormatMessage fails
  // for a longer text, which then counts as unknown.
  wchar_t text[256];
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                       0, text, static_cast<DWORD>(std::size(text)), nullptr);
  return length == 0 ? std::string() : Narrow(text, length);
}

}  // namespace win32

namespace plat {
std::unique_ptr<Platform> MakeDefaultPlatform() { return std::make_unique<win32::Win32Platform>(); }
}  // namespace plat
