#include "SessionWindow.h"

#include <utility>

#include "WindowsHeaders.h"

namespace plat::win32 {

namespace {

constexpr wchar_t kActivateText[] = L"Contigra: Activate Window";
constexpr wchar_t kClassName[] = L"ContigraSessionWindow";

// Copies the callback before calling it: the callback may destroy the
// listener (the program's End deletes what owns it).
void Call(const std::function<void()>& callback) {
  if (const std::function<void()> call = callback) call();
}

}  // namespace

struct SessionWindowProc {
  static LRESULT CALLBACK Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<SessionWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == ActivateMessage()) {
      Call(self->callbacks_.Activate);
      return 0;
    }
    switch (message) {
      case WM_QUERYENDSESSION:
        Call(self->callbacks_.QueryEnd);
        return TRUE;
      case WM_ENDSESSION:
        if (wParam) {
          Call(self->callbacks_.End);
          ::ExitProcess(0);
        }
        return 0;
      default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
  }
};

std::uint32_t ActivateMessage() {
  static const UINT number = ::RegisterWindowMessageW(kActivateText);
  return number;
}

bool BroadcastActivate() {
  const UINT message = ActivateMessage();
  return message != 0 && ::PostMessageW(HWND_BROADCAST, message, 0, 0) != 0;
}

void BringToForeground(std::uintptr_t window) {
  ::SendMessageW(::GetDesktopWindow(), WM_SYSCOMMAND, SC_HOTKEY, static_cast<LPARAM>(window));
}

std::unique_ptr<SessionWindow> SessionWindow::Create(SessionCallbacks callbacks) {
  ActivateMessage();
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &SessionWindowProc::Handle;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kClassName;
  // A second listener in one process finds the class registered already.
  if (!::RegisterClassW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    return nullptr;
  std::unique_ptr<SessionWindow> listener(new SessionWindow(std::move(callbacks)));
  // Top-level, never shown: a message-only window would hear neither the
  // broadcast nor the session's end.
  const HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"Contigra", WS_POPUP, 0, 0,
                                        0, 0, nullptr, nullptr, instance, listener.get());
  if (!window) return nullptr;
  listener->window_ = reinterpret_cast<std::uintptr_t>(window);
  return listener;
}

SessionWindow::~SessionWindow() {
  const HWND window = reinterpret_cast<HWND>(window_);
  if (!window) return;
  ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  ::DestroyWindow(window);
}

}  // namespace plat::win32
