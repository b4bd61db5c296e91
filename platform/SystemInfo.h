// Facts about the running system and program that the log and the
// configuration need, each with a per-OS implementation.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace plat {

// The operating system's version. On Windows the name is left empty (the
// log names the system from the version numbers); elsewhere it is the
// system's own name ("Linux") and ServicePack holds its release string.
struct OsVersion {
  bool Known = false;
  bool WindowsNtFamily = false;
  std::string Name;
  std::string ServicePack;
  std::uint32_t Major = 0;
  std::uint32_t Minor = 0;
  std::uint32_t Build = 0;
};
OsVersion GetOsVersion();

// Full path of the running executable; empty when it cannot be found.
std::string ExecutablePath();
// The per-user configuration folder (created on demand by its users).
std::string ConfigFolder();
// Whether the program may create files in `folder`.
bool FolderIsWritable(const std::string& folder);

// A file this process alone writes: created or truncated on open, locked
// against other writers while open. Each Write is one unbuffered write.
class ExclusiveFile {
 public:
  virtual ~ExclusiveFile() = default;
  // Null when the file cannot be created or another process holds it;
  // an existing file held by someone else is left untouched.
  static std::unique_ptr<ExclusiveFile> Open(const std::string& path);
  virtual void Write(const std::string& bytes) = 0;
};

}  // namespace plat
