// The other process of the Windows process tests. It uses the project's own
// named mutex and single-instance guard, never releases what it holds, and
// ends by itself or is killed by the test:
//   hold-mutex NAME        take the mutex, print "owned" (or "abandoned"),
//                          then wait to be killed
//   wait-mutex NAME MS     wait for the mutex and exit with the wait's result
//                          (0 owned, 128 abandoned, 258 timed out)
//   take-instance NAME     take the guard's unit within 50 ms: exit 0 taken,
//                          1 busy, 2 the guard could not be opened
//   hold-instance NAME     take it, print "taken", then wait to be killed
#include <cstdio>
#include <string>
#include <vector>

#include "NamedMutex.h"
#include "SingleInstance.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>

namespace {

std::string Utf8(const wchar_t* wide) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, wide, -1, s.data(), n, nullptr, nullptr);
  return s;
}

std::vector<std::string> Arguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(Utf8(wide[i]));
  LocalFree(wide);
  return args;
}

void Say(const char* text) {
  std::printf("%s\n", text);
  std::fflush(stdout);
}

[[noreturn]] void WaitToBeKilled() {
  for (;;) Sleep(INFINITE);
}

}  // namespace

int main() {
  const std::vector<std::string> args = Arguments();
  if (args.size() < 2) return 100;
  const std::string& mode = args[0];
  const std::string& name = args[1];

  if (mode == "hold-mutex" || mode == "wait-mutex") {
    auto mutex = plat::NamedMutex::Create(name);
    if (!mutex) return 101;
    if (mode == "wait-mutex") {
      if (args.size() < 3) return 100;
      return static_cast<int>(mutex->Wait(static_cast<std::uint32_t>(std::stoul(args[2]))));
    }
    const std::uint32_t result = mutex->Wait(10000);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) return 102;
    Say(result == WAIT_OBJECT_0 ? "owned" : "abandoned");
    WaitToBeKilled();
  }
  if (mode == "take-instance" || mode == "hold-instance") {
    auto guard = plat::SingleInstance::Create(name);
    if (!guard) return 2;
    if (!guard->Take(50)) return 1;
    if (mode == "take-instance") return 0;
    Say("taken");
    WaitToBeKilled();
  }
  return 100;
}
