#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "Files.h"
#include "SystemInfo.h"

namespace plat {
namespace {

bool WriteAndSync(const std::string& path, const std::string& bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const bool ok = done == bytes.size() && fsync(fd) == 0;
  return close(fd) == 0 && ok;
}

void SyncFolder(const std::string& folder) {
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
}

}  // namespace

bool ReplaceFileContents(const std::string& path, const std::string& bytes) {
  const std::string temp = path + ".tmp";
  if (!WriteAndSync(temp, bytes) || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  SyncFolder(std::filesystem::path(path).parent_path().string());
  return true;
}

std::string SettingsFolder() {
  namespace fs = std::filesystem;
  const fs::path exeFolder = fs::path(ExecutablePath()).parent_path();
  // A program installed by the package manager shares its folder with every
  // other program: even when it is writable (root), settings do not go there.
  const bool systemFolder = exeFolder.string().rfind("/usr/", 0) == 0;
  if (!exeFolder.empty() && !systemFolder && FolderIsWritable(exeFolder.string()))
    return exeFolder.string() + "/";
  std::error_code ignored;
  fs::create_directories(ConfigFolder(), ignored);
  return ConfigFolder() + "/";
}

}  // namespace plat
