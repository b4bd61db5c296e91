// The single-instance guard on POSIX: an flock'd file in the user's runtime
// folder. The kernel drops the lock when the holder's descriptor closes,
// also when the process dies, so a crashed instance leaves no stale guard.
// (A POSIX semaphore would outlive a crashed holder with its unit taken.)
// The file itself is never removed: unlinking it would let two processes
// lock two different files of the same name.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "Platform.h"
#include "RuntimeFolder.h"
#include "SingleInstance.h"

namespace plat {
namespace {

class PosixSingleInstance final : public SingleInstance {
 public:
  explicit PosixSingleInstance(int fd) : fd_(fd) {}
  ~PosixSingleInstance() override { close(fd_); }

  bool Take(std::uint32_t milliseconds) override {
    if (taken_) return true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
      if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return taken_ = true;
      if (errno != EWOULDBLOCK && errno != EINTR) return false;
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

 private:
  int fd_;
  bool taken_ = false;
};

}  // namespace

std::unique_ptr<SingleInstance> SingleInstance::Create(const std::string& name) {
  const std::string dir = RuntimeFolder();
  if (name.empty() || name.find('/') != std::string::npos || !EnsurePrivateFolder(dir)) {
    SetLastError(123);  // ERROR_INVALID_NAME
    return nullptr;
  }
  const std::string path = dir + "/" + name + ".instance";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    SetLastError(5);  // ERROR_ACCESS_DENIED
    return nullptr;
  }
  return std::make_unique<PosixSingleInstance>(fd);
}

std::string SingleInstanceChannel(const std::string& name) {
  return RuntimeFolder() + "/" + name + ".activate";
}

}  // namespace plat
