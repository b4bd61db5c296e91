// A named mutex shared by processes, with the Windows object's lifetime and
// outcomes:
// - Wait returns WAIT_OBJECT_0 (owned), WAIT_ABANDONED (owned, but the
//   previous owner ended without releasing), WAIT_TIMEOUT or WAIT_FAILED;
// - the object lives only while some process has it open: an abandoned
//   state is seen by the processes that had it open when its owner died,
//   and a process that opens it after they have all gone starts clean.
// Ownership ends with Release, or with the process (then it is abandoned).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace plat {

class NamedMutex {
 public:
  virtual ~NamedMutex() = default;
  // Creates the mutex `name` or opens it if it exists, without taking
  // ownership. Null on failure, with the reason in the last error.
  static std::unique_ptr<NamedMutex> Create(const std::string& name);

  virtual std::uint32_t Wait(std::uint32_t milliseconds) = 0;
  // False when the caller does not own the mutex.
  virtual bool Release() = 0;
};

}  // namespace plat
