// The named mutex across real processes: ownership, time-out, and the
// abandoned state living exactly as long as the processes that saw it.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "NamedMutex.h"
#include "Platform.h"

namespace {

using namespace std::chrono_literals;

class NamedMutexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("contigra-mutex-test-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    setenv("CONTIGRA_RUNTIME_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("CONTIGRA_RUNTIME_DIR");
    std::filesystem::remove_all(dir_);
  }

  // Runs `body` in a child process; its return value is the exit status.
  static pid_t Spawn(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    return pid;
  }
  static int ExitCode(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // A child that opens the mutex, waits for it and exits with the wait's
  // result (0 owned, 0x80 abandoned, 2 timed out), never releasing.
  static pid_t Waiter(std::uint32_t ms, std::chrono::milliseconds holdFor = 0ms) {
    return Spawn([=] {
      auto m = plat::NamedMutex::Create("contigra");
      if (!m) return 99;
      const std::uint32_t r = m->Wait(ms);
      std::this_thread::sleep_for(holdFor);
      return r == plat::WAIT_TIMEOUT ? 2 : static_cast<int>(r);
    });
  }

  std::filesystem::path dir_;
};

TEST_F(NamedMutexTest, OwnerExcludesOthersUntilRelease) {
  auto mine = plat::NamedMutex::Create("contigra");
  ASSERT_TRUE(mine);
  EXPECT_FALSE(mine->Release());  // not owned yet
  ASSERT_EQ(mine->Wait(1000), plat::WAIT_OBJECT_0);
  EXPECT_EQ(ExitCode(Waiter(200)), 2);  // busy: the other side times out
  EXPECT_TRUE(mine->Release());
  EXPECT_EQ(ExitCode(Waiter(200)), 0);  // it ended without releasing...
  // ...so the mutex is abandoned for us, who had it open all along.
  EXPECT_EQ(mine->Wait(1000), plat::WAIT_ABANDONED);
  EXPECT_TRUE(mine->Release());
}

TEST_F(NamedMutexTest, AbandonedOnlyForThoseWaitingThenClean) {
  const pid_t holder = Spawn([] {
    auto m = plat::NamedMutex::Create("contigra");
    m->Wait(1000);
    pause();  // killed while holding it
    return 0;
  });
  std::this_thread::sleep_for(200ms);
  const pid_t first = Waiter(10000, 100ms);
  const pid_t second = Waiter(10000);
  std::this_thread::sleep_for(300ms);
  kill(holder, SIGKILL);
  ExitCode(holder);
  // Each waiter that gets it finds it abandoned and leaves it so.
  EXPECT_EQ(ExitCode(first), plat::WAIT_ABANDONED);
  EXPECT_EQ(ExitCode(second), plat::WAIT_ABANDONED);
  // Nobody has it open any more: a new helper starts clean, and so does
  // the one after it.
  EXPECT_EQ(ExitCode(Waiter(1000)), 0);
}

TEST_F(NamedMutexTest, RefusesAFolderSomeoneElseCanWrite) {
  std::filesystem::create_directories(dir_);
  std::filesystem::permissions(dir_, std::filesystem::perms::all);
  EXPECT_EQ(plat::NamedMutex::Create("contigra"), nullptr);
  EXPECT_EQ(plat::Current().GetLastError(), plat::ERROR_ACCESS_DENIED);
}

}  // namespace
