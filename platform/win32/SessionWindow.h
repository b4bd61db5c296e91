// The Windows side of the desktop program's single instance and of the end
// of the user's session, with no Qt in it: a hidden top-level window that
// hears the activation request of a second start and the system's
// end-of-session messages, and hands each to a callback of the program.
//
// The window belongs to the thread that creates it, and its messages are
// dispatched by whatever message loop that thread runs (Qt's loop on the
// program's window thread does). The callbacks run on that thread.
//
// The seam for the program (on the window's thread, after the main window
// exists):
//   auto listener = plat::win32::SessionWindow::Create({
//       [&] { form->RestoreFromTray();
//             plat::win32::BringToForeground(form->winId()); },
//       [&] { form->SessionEnding(); },
//       [&] { delete form; }});           // saves the settings
// and in a second start, instead of the local socket:
//   plat::win32::BroadcastActivate();
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

namespace plat::win32 {

// The number the system gives the message "Contigra: Activate Window"; the
// same in every process of the session. 0 when it cannot be registered.
std::uint32_t ActivateMessage();

// Posts the activation message, both parameters 0, to every top-level
// window of the session. False when it could not be posted.
bool BroadcastActivate();

// Asks the system to bring `window` (a top-level window handle) to the
// foreground the way a hot key does, which works even while another
// program is active.
void BringToForeground(std::uintptr_t window);

struct SessionCallbacks {
  // A second start asked this instance to come forward.
  std::function<void()> Activate;
  // The system asks whether the session may end. The answer is always
  // yes, without asking the user; the program lets every later close
  // request succeed at once.
  std::function<void()> QueryEnd;
  // The session ends now. When it returns, the process ends (exit code 0)
  // without returning to the message loop: runs still working are
  // abandoned. Not called when the end of the session was called off.
  std::function<void()> End;
};

class SessionWindow {
 public:
  // Registers the activation message and creates the hidden window on the
  // calling thread. Null (the system's last error says why) when the
  // window cannot be created.
  static std::unique_ptr<SessionWindow> Create(SessionCallbacks callbacks);
  ~SessionWindow();
  SessionWindow(const SessionWindow&) = delete;
  SessionWindow& operator=(const SessionWindow&) = delete;

  // The window's handle, for tests and diagnostics.
  std::uintptr_t Handle() const { return window_; }

 private:
  explicit SessionWindow(SessionCallbacks callbacks) : callbacks_(std::move(callbacks)) {}
  friend struct SessionWindowProc;
  SessionCallbacks callbacks_;
  std::uintptr_t window_ = 0;
};

}  // namespace plat::win32
