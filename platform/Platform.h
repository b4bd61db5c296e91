// The operating-system operations the engine and the model rely on.
//
// The engine is written against the Windows file-system control interface:
// it opens "C:\x\y.dat" and "\\.\C:", sends control requests with their
// documented little-endian byte records, reads NTSTATUS values and per-thread
// Windows error codes. Every backend (win32, ntfs, sim) answers with those
// semantics, so the same engine code runs everywhere.
//
// Strings are UTF-8. Paths are Windows paths: drive letter, colon,
// backslashes.
#pragma once

#include <cstdint>
#include <string>

namespace plat {

using HANDLE = std::int64_t;
inline constexpr HANDLE INVALID_HANDLE_VALUE = -1;

// GetDriveTypeA results.
inline constexpr std::uint32_t DRIVE_UNKNOWN = 0;
inline constexpr std::uint32_t DRIVE_NO_ROOT_DIR = 1;
inline constexpr std::uint32_t DRIVE_REMOVABLE = 2;
inline constexpr std::uint32_t DRIVE_FIXED = 3;
inline constexpr std::uint32_t DRIVE_REMOTE = 4;
inline constexpr std::uint32_t DRIVE_CDROM = 5;
inline constexpr std::uint32_t DRIVE_RAMDISK = 6;

// CreateFileA arguments.
inline constexpr std::uint32_t GENERIC_READ = 0x80000000u;
inline constexpr std::uint32_t GENERIC_WRITE = 0x40000000u;
inline constexpr std::uint32_t FILE_SHARE_READ = 0x1;
inline constexpr std::uint32_t FILE_SHARE_WRITE = 0x2;
inline constexpr std::uint32_t OPEN_EXISTING = 3;
inline constexpr std::uint32_t FILE_FLAG_NO_BUFFERING = 0x20000000u;

// File attributes.
inline constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr std::uint32_t FILE_ATTRIBUTE_HIDDEN = 0x02;
inline constexpr std::uint32_t FILE_ATTRIBUTE_SYSTEM = 0x04;
inline constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr std::uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr std::uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

// Windows error codes (GetLastError).
inline constexpr std::uint32_t ERROR_SUCCESS = 0;
inline constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr std::uint32_t ERROR_PATH_NOT_FOUND = 3;
inline constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
inline constexpr std::uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr std::uint32_t ERROR_NO_MORE_FILES = 18;
inline constexpr std::uint32_t ERROR_NOT_READY = 21;
inline constexpr std::uint32_t ERROR_SHARING_VIOLATION = 32;
inline constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr std::uint32_t ERROR_INVALID_NAME = 123;

// NTSTATUS values, kept as signed 32-bit like the engine's result codes.
inline constexpr std::int32_t STATUS_SUCCESS = 0;
inline constexpr std::int32_t STATUS_PENDING = 0x103;
inline constexpr std::int32_t STATUS_BUFFER_OVERFLOW = static_cast<std::int32_t>(0x80000005u);
inline constexpr std::int32_t STATUS_END_OF_FILE = static_cast<std::int32_t>(0xC0000011u);
inline constexpr std::int32_t STATUS_INVALID_PARAMETER = static_cast<std::int32_t>(0xC000000Du);
inline constexpr std::int32_t STATUS_ALREADY_COMMITTED = static_cast<std::int32_t>(0xC0000021u);
inline constexpr std::int32_t STATUS_ACCESS_DENIED = static_cast<std::int32_t>(0xC0000022u);
inline constexpr std::int32_t STATUS_INVALID_HANDLE = static_cast<std::int32_t>(0xC0000008u);
inline constexpr std::int32_t STATUS_INVALID_DEVICE_REQUEST = static_cast<std::int32_t>(0xC0000010u);
inline constexpr std::int32_t STATUS_DISK_FULL = static_cast<std::int32_t>(0xC000007Fu);
inline constexpr std::int32_t STATUS_UNEXPECTED_IO_ERROR = static_cast<std::int32_t>(0xC00000E9u);

// File-system control codes.
inline constexpr std::uint32_t FSCTL_GET_VOLUME_BITMAP = 0x0009006F;
inline constexpr std::uint32_t FSCTL_GET_RETRIEVAL_POINTERS = 0x00090073;
inline constexpr std::uint32_t FSCTL_MOVE_FILE = 0x00090074;

// WaitForSingleObject.
inline constexpr std::uint32_t INFINITE = 0xFFFFFFFFu;
inline constexpr std::uint32_t WAIT_OBJECT_0 = 0;
inline constexpr std::uint32_t WAIT_ABANDONED = 0x80;
inline constexpr std::uint32_t WAIT_TIMEOUT = 0x102;
inline constexpr std::uint32_t WAIT_FAILED = 0xFFFFFFFFu;

struct IO_STATUS_BLOCK {
  std::int32_t Status = 0;
  std::uint64_t Information = 0;
};

// One directory entry as FindFirstFileA/FindNextFileA report it.
struct FindData {
  std::uint32_t Attributes = 0;
  std::uint64_t Size = 0;
  std::string Name;
};

// The seam. A backend implements every operation with Windows semantics;
// failures set the calling thread's last error (SetLastError) the way the
// Windows call would.
class Platform {
 public:
  virtual ~Platform() = default;

  // Drive type of a root path such as "C:\".
  virtual std::uint32_t GetDriveTypeA(const std::string& rootPath) = 0;

  // Opens a file ("C:\x\y.dat") or a volume ("\\.\C:"). Returns
  // INVALID_HANDLE_VALUE on failure with the reason in the last error.
  virtual HANDLE CreateFileA(const std::string& name, std::uint32_t access,
                             std::uint32_t share, std::uint32_t disposition,
                             std::uint32_t flags) = 0;

  // Accepts INVALID_HANDLE_VALUE and unknown handles (returns false).
  virtual bool CloseHandle(HANDLE handle) = 0;

  // A file-system control request. Returns the NTSTATUS; when it is
  // STATUS_PENDING the final status appears in `iosb` once
  // WaitForSingleObject on the handle returns.
  virtual std::int32_t NtFsControlFile(HANDLE handle, IO_STATUS_BLOCK& iosb,
                                       std::uint32_t controlCode,
                                       const void* input, std::uint32_t inputLength,
                                       void* output, std::uint32_t outputLength) = 0;

  virtual std::uint32_t WaitForSingleObject(HANDLE handle, std::uint32_t milliseconds) = 0;

  // Enumeration of "Folder\*.*": "." and ".." come first for a folder that
  // is not a volume root, as Windows reports them.
  virtual HANDLE FindFirstFileA(const std::string& pattern, FindData& data) = 0;
  virtual bool FindNextFileA(HANDLE find, FindData& data) = 0;
  virtual bool FindClose(HANDLE find) = 0;

  virtual bool GetFileSizeEx(HANDLE file, std::int64_t& size) = 0;
  virtual std::uint32_t GetFileAttributesA(const std::string& path) = 0;

  // The calling thread's last Windows error code.
  virtual std::uint32_t GetLastError();
  virtual void SetLastError(std::uint32_t code);

  // The system's English message text for a Windows error code, as
  // FormatMessage gives it (with its final period and line end); empty
  // when the code is unknown.
  virtual std::string FormatErrorMessage(std::uint32_t code);
};

// The process-wide platform. Programs set it at start, tests replace it.
// Before anything is set, a platform that knows no drives answers.
Platform& Current();
// Makes `platform` current and returns the previous one (null when none
// had been set). The caller keeps ownership.
Platform* SetCurrent(Platform* platform);

// The Windows English texts of the error codes a non-Windows backend
// produces; used by FormatErrorMessage's default.
std::string StandardErrorText(std::uint32_t code);

// Windows-named shortcuts to the current platform, so engine code reads
// like the calls it stands for.
inline std::uint32_t GetDriveTypeA(const std::string& root) { return Current().GetDriveTypeA(root); }
inline HANDLE CreateFileA(const std::string& name, std::uint32_t access, std::uint32_t share,
                          std::uint32_t disposition, std::uint32_t flags) {
  return Current().CreateFileA(name, access, share, disposition, flags);
}
inline bool CloseHandle(HANDLE h) { return Current().CloseHandle(h); }
inline std::int32_t NtFsControlFile(HANDLE h, IO_STATUS_BLOCK& iosb, std::uint32_t code,
                                    const void* in, std::uint32_t inLen, void* out,
                                    std::uint32_t outLen) {
  return Current().NtFsControlFile(h, iosb, code, in, inLen, out, outLen);
}
inline std::uint32_t WaitForSingleObject(HANDLE h, std::uint32_t ms) {
  return Current().WaitForSingleObject(h, ms);
}
inline std::uint32_t GetLastError() { return Current().GetLastError(); }
inline void SetLastError(std::uint32_t code) { Current().SetLastError(code); }

}  // namespace plat
