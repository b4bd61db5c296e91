// The named mutex on POSIX, built from two lock files in a private runtime
// folder (CONTIGRA_RUNTIME_DIR, else $XDG_RUNTIME_DIR/contigra, else
// /tmp/contigra-UID):
//   NAME.open   every process that has the mutex open holds a shared flock;
//               whoever finds no other holder starts the object afresh.
//   NAME.owner  the owner holds an exclusive flock; byte 0 is 1 while it is
//               owned. Finding it 1 on acquiring means the previous owner
//               died holding it: the mutex was abandoned.
// flock locks die with their process, so a crash never leaves the mutex
// owned; the byte is what remembers that it was.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "NamedMutex.h"
#include "Platform.h"
#include "RuntimeFolder.h"

namespace plat {
namespace {

int OpenLockFile(const std::string& path) {
  return open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

bool FlockRetrying(int fd, int op) {
  while (flock(fd, op) != 0)
    if (errno != EINTR) return false;
  return true;
}

class PosixNamedMutex final : public NamedMutex {
 public:
  PosixNamedMutex(int openFd, int ownerFd) : openFd_(openFd), ownerFd_(ownerFd) {}
  ~PosixNamedMutex() override {
    close(ownerFd_);  // an owner that never released leaves byte 0 set: abandoned
    close(openFd_);
  }

  std::uint32_t Wait(std::uint32_t milliseconds) override {
    if (owned_) return WAIT_OBJECT_0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (flock(ownerFd_, LOCK_EX | LOCK_NB) != 0) {
      if (errno != EWOULDBLOCK && errno != EINTR) return WAIT_FAILED;
      if (milliseconds != INFINITE && std::chrono::steady_clock::now() >= deadline)
        return WAIT_TIMEOUT;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    owned_ = true;
    char state = 0;
    const bool abandoned = pread(ownerFd_, &state, 1, 0) == 1 && state == 1;
    const char held = 1;
    if (pwrite(ownerFd_, &held, 1, 0) != 1) {
      Release();
      return WAIT_FAILED;
    }
    return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
  }

  bool Release() override {
    if (!owned_) return false;
    const char freeState = 0;
    const bool written = pwrite(ownerFd_, &freeState, 1, 0) == 1;
    owned_ = false;
    return FlockRetrying(ownerFd_, LOCK_UN) && written;
  }

 private:
  int openFd_;
  int ownerFd_;
  bool owned_ = false;
};

}  // namespace

std::unique_ptr<NamedMutex> NamedMutex::Create(const std::string& name) {
  const std::string dir = RuntimeFolder();
  if (name.empty() || name.find('/') != std::string::npos || !EnsurePrivateFolder(dir)) {
    Current().SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const int openFd = OpenLockFile(dir + "/" + name + ".open");
  const int ownerFd = openFd < 0 ? -1 : OpenLockFile(dir + "/" + name + ".owner");
  if (openFd < 0 || ownerFd < 0) {
    if (openFd >= 0) close(openFd);
    Current().SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  // Nobody else has it open: the object is new, whatever an earlier
  // generation left behind. No one can own it now, since owners keep it open.
  if (flock(openFd, LOCK_EX | LOCK_NB) == 0) {
    const char freeState = 0;
    if (pwrite(ownerFd, &freeState, 1, 0) != 1) { /* an unreadable byte reads as free */ }
  }
  if (!FlockRetrying(openFd, LOCK_SH)) {
    close(ownerFd);
    close(openFd);
    Current().SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return std::make_unique<PosixNamedMutex>(openFd, ownerFd);
}

}  // namespace plat
