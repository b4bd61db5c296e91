#include <fcntl.h>
#include <sys/file.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>

#include "SystemInfo.h"

namespace plat {

OsVersion GetOsVersion() {
  OsVersion v;
  struct utsname u {};
  if (uname(&u) != 0) return v;
  v.Name = u.sysname;
  v.ServicePack = u.release;
  // "6.1.0-28-amd64": major 6, minor 1, patch level 0.
  unsigned major = 0, minor = 0, patch = 0;
  if (std::sscanf(u.release, "%u.%u.%u", &major, &minor, &patch) < 2) return v;
  v.Major = major;
  v.Minor = minor;
  v.Build = patch;
  v.Known = true;
  return v;
}

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::string ConfigFolder() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
    return std::string(xdg) + "/contigra";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.config/contigra";
}

bool FolderIsWritable(const std::string& folder) {
  return !folder.empty() && access(folder.c_str(), W_OK) == 0;
}

namespace {

class PosixExclusiveFile final : public ExclusiveFile {
 public:
  explicit PosixExclusiveFile(int fd) : fd_(fd) {}
  ~PosixExclusiveFile() override { close(fd_); }
  void Write(const std::string& bytes) override {
    // One write per line; a short or failed write loses the line, no more.
    ssize_t n;
    do n = write(fd_, bytes.data(), bytes.size());
    while (n < 0 && errno == EINTR);
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<ExclusiveFile> ExclusiveFile::Open(const std::string& path) {
  // Lock first, truncate after: a file another process writes stays whole.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ftruncate(fd, 0) != 0) {
    close(fd);
    return nullptr;
  }
  return std::make_unique<PosixExclusiveFile>(fd);
}

}  // namespace plat
