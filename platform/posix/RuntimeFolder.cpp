#include "RuntimeFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace plat {

std::string RuntimeFolder() {
  if (const char* dir = std::getenv("CONTIGRA_RUNTIME_DIR"); dir && *dir) return dir;
  if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg)
    return std::string(xdg) + "/contigra";
  return "/tmp/contigra-" + std::to_string(getuid());
}

bool EnsurePrivateFolder(const std::string& dir) {
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  return lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
         (st.st_mode & 077) == 0;
}

}  // namespace plat
