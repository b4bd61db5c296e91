// The single-instance guard on Windows: a named semaphore with an initial
// and maximum count of 1 in the logon session's namespace. The system
// destroys it when its last handle closes, so a holder that crashed leaves
// no stale guard once it is gone.
#include "Platform.h"
#include "SingleInstance.h"
#include "WideText.h"
#include "WindowsHeaders.h"

namespace plat {
namespace {

class Win32SingleInstance final : public SingleInstance {
 public:
  explicit Win32SingleInstance(::HANDLE semaphore) : semaphore_(semaphore) {}
  ~Win32SingleInstance() override {
    if (taken_) ::ReleaseSemaphore(semaphore_, 1, nullptr);
    ::CloseHandle(semaphore_);
  }

  bool Take(std::uint32_t milliseconds) override {
    if (!taken_) taken_ = ::WaitForSingleObject(semaphore_, milliseconds) == WAIT_OBJECT_0;
    return taken_;
  }

 private:
  ::HANDLE semaphore_;
  bool taken_ = false;
};

}  // namespace

std::unique_ptr<SingleInstance> SingleInstance::Create(const std::string& name) {
  const auto wide = win32::Widen(name);
  const ::HANDLE semaphore =
      wide && !wide->empty() ? ::CreateSemaphoreW(nullptr, 1, 1, wide->c_str()) : nullptr;
  if (!semaphore) {
    const DWORD error = wide && !wide->empty() ? ::GetLastError() : ERROR_INVALID_NAME;
    Current().SetLastError(error);
    ::SetLastError(error);
    return nullptr;
  }
  return std::make_unique<Win32SingleInstance>(semaphore);
}

// Pipe names are machine-wide; the session number keeps users apart.
std::string SingleInstanceChannel(const std::string& name) {
  DWORD session = 0;
  ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
  return name + "-activate-" + std::to_string(session);
}

}  // namespace plat
