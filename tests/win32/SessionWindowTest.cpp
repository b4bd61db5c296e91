// The session window across real processes: win32_session_child.exe is
// the running program (the listener with its message loop); a second
// child, or this test, plays the second start and the system.
#include <gtest/gtest.h>

#include <sstream>

#include "ChildProcess.h"
#include "SessionWindow.h"
#include "WindowsHeaders.h"

namespace {

const std::string kChild = wintest::ProgramBeside("win32_session_child.exe");
// Wine creates windows only with a display or with its null graphics driver.
const char* const kNoWindow =
    "no listener window; under Wine without a display set HKCU\\Software\\Wine\\Drivers "
    "Graphics=null (docs/BUILDING-WINDOWS.md). Child said: ";

struct Listener {
  Listener() : process(kChild, {"listen"}) {
    // The first window of a fresh Wine prefix starts its desktop: slow.
    if (!process.WaitForOutput("\n", 30000)) return;
    std::istringstream line(process.Output());
    std::string word;
    unsigned long long handle = 0;
    line >> word >> handle >> message;
    if (word == "ready") window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle));
  }
  wintest::ChildProcess process;
  HWND window = nullptr;
  std::uint32_t message = 0;
};

// What the system does at the end of a session: ask every top-level
// window, then tell it. The listener's thread is another process's, so
// the answer comes back through SendMessageTimeout.
LRESULT Send(HWND window, UINT message, WPARAM wParam) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(window, message, wParam, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000, &answer))
    return -1;
  return static_cast<LRESULT>(answer);
}

TEST(SessionWindowTest, ASecondStartsBroadcastActivatesTheRunningInstance) {
  Listener first;
  ASSERT_NE(first.window, nullptr) << kNoWindow << first.process.Output();
  // One number for the text in every process of the session.
  EXPECT_EQ(first.message, RegisterWindowMessageW(L"Contigra: Activate Window"));
  EXPECT_EQ(first.message, plat::win32::ActivateMessage());
  // A hidden top-level window: the broadcast reaches only those.
  EXPECT_FALSE(IsWindowVisible(first.window));
  EXPECT_EQ(GetAncestor(first.window, GA_PARENT), GetDesktopWindow());

  const wintest::RunResult second = wintest::Run(kChild, {"broadcast"});
  EXPECT_EQ(second.ExitCode, 0u) << wintest::Describe(second);
  EXPECT_TRUE(first.process.WaitForOutput("activated", 10000)) << first.process.Output();
  EXPECT_FALSE(first.process.Wait(0));  // it keeps running
}

TEST(SessionWindowTest, QueryIsAnsweredYesAndTheEndSavesThenEndsTheProcess) {
  Listener program;
  ASSERT_NE(program.window, nullptr) << kNoWindow << program.process.Output();
  EXPECT_EQ(Send(program.window, WM_QUERYENDSESSION, 0), TRUE);
  EXPECT_TRUE(program.process.WaitForOutput("query-end", 5000)) << program.process.Output();

  // The end called off: nothing is saved and the program runs on.
  EXPECT_EQ(Send(program.window, WM_ENDSESSION, FALSE), 0);
  EXPECT_FALSE(program.process.Wait(200));
  EXPECT_EQ(program.process.Output().find("saved"), std::string::npos);

  // The end for real: the program saves and is gone; the sender gets no
  // answer from a process that ended inside the handler.
  Send(program.window, WM_ENDSESSION, TRUE);
  EXPECT_EQ(program.process.Wait(10000), 0u) << program.process.Output();
  EXPECT_NE(program.process.Output().find("saved"), std::string::npos) << program.process.Output();
}

TEST(SessionWindowTest, DestroyedListenerHearsNothingMore) {
  int activations = 0;
  auto listener = plat::win32::SessionWindow::Create({[&] { ++activations; }, {}, {}});
  ASSERT_TRUE(listener) << kNoWindow;
  const HWND window = reinterpret_cast<HWND>(listener->Handle());
  EXPECT_EQ(SendMessageW(window, plat::win32::ActivateMessage(), 0, 0), 0);
  EXPECT_EQ(activations, 1);
  EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, 0), TRUE);  // no callback: still yes
  listener.reset();
  EXPECT_FALSE(IsWindow(window));
  // A second listener in the same process registers the class again.
  EXPECT_TRUE(plat::win32::SessionWindow::Create({}));
}

}  // namespace
