// The named mutex and the single-instance guard across real processes:
// each test's other side is win32_test_child.exe using the same classes.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ChildProcess.h"
#include "NamedMutex.h"
#include "Platform.h"
#include "SingleInstance.h"
#include "WindowsHeaders.h"

namespace {

using namespace std::chrono_literals;

const std::string kChild = wintest::ProgramBeside("win32_test_child.exe");

// The child's exit code, or a text saying why there is none.
std::string RunChild(const std::vector<std::string>& args) {
  const wintest::RunResult r = wintest::Run(kChild, args);
  return r.ExitCode ? std::to_string(*r.ExitCode) : wintest::Describe(r);
}

std::string Code(std::uint32_t code) { return std::to_string(code); }

TEST(NamedMutexTest, OwnerExcludesOthersUntilRelease) {
  // Outside the ANSI code page, so both processes must pass it as UTF-16.
  const std::string name = wintest::UniqueName("contigra ✓ mutex");
  auto mine = plat::NamedMutex::Create(name);
  ASSERT_TRUE(mine);
  EXPECT_FALSE(mine->Release());  // not owned yet
  ASSERT_EQ(mine->Wait(1000), WAIT_OBJECT_0);
  EXPECT_EQ(mine->Wait(0), WAIT_OBJECT_0);  // a second wait takes nothing more...
  EXPECT_EQ(RunChild({"wait-mutex", name, "200"}), Code(WAIT_TIMEOUT));
  EXPECT_TRUE(mine->Release());  // ...so one release frees it
  EXPECT_FALSE(mine->Release());
  EXPECT_EQ(RunChild({"wait-mutex", name, "1000"}), Code(WAIT_OBJECT_0));
  // The child ended holding it, and we had it open all along: abandoned.
  EXPECT_EQ(mine->Wait(1000), WAIT_ABANDONED);
  EXPECT_TRUE(mine->Release());
}

TEST(NamedMutexTest, AbandonedForEachWaiterThenFresh) {
  const std::string name = wintest::UniqueName("contigra-mutex");
  wintest::ChildProcess holder(kChild, {"hold-mutex", name});
  ASSERT_TRUE(holder.WaitForOutput("owned", 10000)) << holder.Output();
  wintest::ChildProcess first(kChild, {"wait-mutex", name, "10000"});
  wintest::ChildProcess second(kChild, {"wait-mutex", name, "10000"});
  std::this_thread::sleep_for(1s);  // both are waiting
  holder.Kill();
  // Each waiter finds it abandoned and, ending without release, leaves it so.
  EXPECT_EQ(first.Wait(15000), WAIT_ABANDONED);
  EXPECT_EQ(second.Wait(15000), WAIT_ABANDONED);
  // Nobody has it open any more: the next process gets a new mutex.
  EXPECT_EQ(RunChild({"wait-mutex", name, "1000"}), Code(WAIT_OBJECT_0));
}

TEST(NamedMutexTest, UnusableNamesGiveNoMutex) {
  for (const std::string& name : {std::string(), std::string("bad \xff name")}) {
    EXPECT_EQ(plat::NamedMutex::Create(name), nullptr);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
  }
}

TEST(SingleInstanceTest, FirstKeepsItOthersFindItBusy) {
  const std::string name = wintest::UniqueName("Contigra ✓");
  auto first = plat::SingleInstance::Create(name);
  ASSERT_TRUE(first);
  EXPECT_TRUE(first->Take(50));
  EXPECT_TRUE(first->Take(0));  // already ours
  EXPECT_EQ(RunChild({"take-instance", name}), Code(1));
  EXPECT_EQ(RunChild({"take-instance", name}), Code(1));  // a busy start gives nothing back
  first.reset();
  EXPECT_EQ(RunChild({"take-instance", name}), Code(0));
}

TEST(SingleInstanceTest, KilledHolderLeavesNoGuardBehind) {
  const std::string name = wintest::UniqueName("Contigra");
  wintest::ChildProcess holder(kChild, {"hold-instance", name});
  ASSERT_TRUE(holder.WaitForOutput("taken", 10000)) << holder.Output();
  {
    auto second = plat::SingleInstance::Create(name);
    ASSERT_TRUE(second);
    EXPECT_FALSE(second->Take(50));
  }
  holder.Kill();
  auto next = plat::SingleInstance::Create(name);
  ASSERT_TRUE(next);
  EXPECT_TRUE(next->Take(50));
}

// The program's guard "Contigra" and the helpers' mutex "contigra" exist
// side by side: kernel object names are compared case-sensitively, and a
// semaphore and a mutex of one name would collide.
TEST(SingleInstanceTest, GuardAndHelperMutexNamesDoNotCollide) {
  const std::string stem = wintest::UniqueName("ontigra");
  auto guard = plat::SingleInstance::Create("C" + stem);
  auto mutex = plat::NamedMutex::Create("c" + stem);
  ASSERT_TRUE(guard);
  ASSERT_TRUE(mutex);
  EXPECT_TRUE(guard->Take(50));
  EXPECT_EQ(mutex->Wait(50), WAIT_OBJECT_0);
  EXPECT_TRUE(mutex->Release());
}

}  // namespace
