// The process-wide current platform, the per-thread last error and the
// platform that answers before a program has chosen one.
#include "Platform.h"

#include <atomic>

namespace plat {
namespace {

thread_local std::uint32_t tLastError = ERROR_SUCCESS;

// Knows no drives: every drive is DRIVE_NO_ROOT_DIR and every open fails
// with ERROR_PATH_NOT_FOUND, as Windows does for an unassigned letter.
class NoDrivesPlatform final : public Platform {
 public:
  std::uint32_t GetDriveTypeA(const std::string&) override { return DRIVE_NO_ROOT_DIR; }
  HANDLE CreateFileA(const std::string&, std::uint32_t, std::uint32_t, std::uint32_t,
                     std::uint32_t) override {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  bool CloseHandle(HANDLE) override {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  std::int32_t NtFsControlFile(HANDLE, IO_STATUS_BLOCK& iosb, std::uint32_t, const void*,
                               std::uint32_t, void*, std::uint32_t) override {
    iosb.Status = STATUS_INVALID_HANDLE;
    return STATUS_INVALID_HANDLE;
  }
  std::uint32_t WaitForSingleObject(HANDLE, std::uint32_t) override { return WAIT_FAILED; }
  HANDLE FindFirstFileA(const std::string&, FindData&) override {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  bool FindNextFileA(HANDLE, FindData&) override {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  bool FindClose(HANDLE) override { return false; }
  bool GetFileSizeEx(HANDLE, std::int64_t&) override {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  std::uint32_t GetFileAttributesA(const std::string&) override {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
};

NoDrivesPlatform gNoDrives;
std::atomic<Platform*> gCurrent{nullptr};

}  // namespace

std::uint32_t Platform::GetLastError() { return tLastError; }
void Platform::SetLastError(std::uint32_t code) { tLastError = code; }
std::string Platform::FormatErrorMessage(std::uint32_t code) { return StandardErrorText(code); }

Platform& Current() {
  Platform* p = gCurrent.load(std::memory_order_acquire);
  return p ? *p : gNoDrives;
}

Platform* SetCurrent(Platform* platform) {
  return gCurrent.exchange(platform, std::memory_order_acq_rel);
}

}  // namespace plat
