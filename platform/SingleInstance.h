// One running instance per logon session: a named guard with a single unit
// that the first process takes and keeps until it ends.
//
// The guard is a kernel object that lives while some process has it open:
// when the holder ends (even by a crash) and nobody else has it open, the
// next process starts with a fresh guard. A process that finds the unit
// taken keeps nothing and gives nothing back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace plat {

class SingleInstance {
 public:
  // Gives the unit back if this process took it, and closes the guard.
  virtual ~SingleInstance() = default;

  // Creates the guard `name` or opens it if it exists, without taking the
  // unit. Null when it can be neither created nor opened (the last error
  // says why); callers treat that like finding another instance.
  static std::unique_ptr<SingleInstance> Create(const std::string& name);

  // Takes the unit within `milliseconds`. True when this process holds it
  // (also when it already did); false when another instance has it.
  virtual bool Take(std::uint32_t milliseconds) = 0;
};

// Where the instance that holds the guard `name` listens for a second
// start's request to come to the front: a local socket name, private to
// the user's session (a path on POSIX, a pipe name on Windows).
std::string SingleInstanceChannel(const std::string& name);

}  // namespace plat
