// The program side of the session-window tests, as its own process:
//   listen      creates the listener, prints "ready HWND MESSAGE" (the
//               window handle and the activation message's number), then
//               runs a message loop; each callback prints a line:
//               "activated", "query-end", "saved" (End)
//   broadcast   a second start: posts the activation message and ends
//               (exit 0 when it was posted)
#include <cstdio>
#include <cstring>

#include "SessionWindow.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

void Say(const char* text) {
  std::printf("%s\n", text);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 100;
  if (std::strcmp(argv[1], "broadcast") == 0) return plat::win32::BroadcastActivate() ? 0 : 1;
  if (std::strcmp(argv[1], "listen") != 0) return 100;

  auto listener = plat::win32::SessionWindow::Create(
      {[] { Say("activated"); }, [] { Say("query-end"); }, [] { Say("saved"); }});
  if (!listener) return 2;
  std::printf("ready %llu %u\n", static_cast<unsigned long long>(listener->Handle()),
              plat::win32::ActivateMessage());
  std::fflush(stdout);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 3;
}
