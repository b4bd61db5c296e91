// The named mutex on Windows is the system's own: WAIT_ABANDONED and the
// object's lifetime come with it. The name lives in the logon session's
// namespace, so helpers of different users do not wait for each other.
#include "NamedMutex.h"
#include "Platform.h"
#include "WideText.h"
#include "WindowsHeaders.h"

namespace plat {
namespace {

class Win32NamedMutex final : public NamedMutex {
 public:
  explicit Win32NamedMutex(::HANDLE handle) : handle_(handle) {}
  ~Win32NamedMutex() override { ::CloseHandle(handle_); }

  std::uint32_t Wait(std::uint32_t milliseconds) override {
    // A Windows mutex counts recursive waits; ours are not counted, so a
    // second wait by the owner must not take it twice.
    if (owned_) return WAIT_OBJECT_0;
    const DWORD result = ::WaitForSingleObject(handle_, milliseconds);
    owned_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    return result;
  }

  bool Release() override {
    if (!owned_ || !::ReleaseMutex(handle_)) return false;
    owned_ = false;
    return true;
  }

 private:
  ::HANDLE handle_;
  bool owned_ = false;
};

}  // namespace

std::unique_ptr<NamedMutex> NamedMutex::Create(const std::string& name) {
  const auto wide = win32::Widen(name);
  const ::HANDLE handle = wide && !wide->empty() ? ::CreateMutexW(nullptr, FALSE, wide->c_str())
                                               : nullptr;
  if (!handle) {
    const DWORD error = wide && !wide->empty() ? ::GetLastError() : ERROR_INVALID_NAME;
    // Callers read the reason through the current platform, which may
    // keep its own last error.
    Current().SetLastError(error);
    ::SetLastError(error);
    return nullptr;
  }
  return std::make_unique<Win32NamedMutex>(handle);
}

}  // namespace plat
