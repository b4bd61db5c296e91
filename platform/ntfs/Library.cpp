#include "Library.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "NtfsLib.h"

namespace ntfs {
namespace {

int LogToStderr(const char* /*function*/, const char* /*file*/, int /*line*/, u32 level,
                void* /*data*/, const char* format, va_list args) {
  const int err = errno;
  std::fputs(level & (NTFS_LOG_LEVEL_ERROR | NTFS_LOG_LEVEL_PERROR | NTFS_LOG_LEVEL_CRITICAL)
                 ? "ntfs-3g error: "
                 : "ntfs-3g: ",
             stderr);
  const int n = std::vfprintf(stderr, format, args);
  if (level & NTFS_LOG_LEVEL_PERROR) std::fprintf(stderr, ": %s\n", std::strerror(err));
  return n;
}

u32 LevelsFromEnvironment() {
  const char* env = std::getenv("CONTIGRA_NTFS_LOG");
  const int v = env ? std::atoi(env) : 0;
  u32 levels = NTFS_LOG_LEVEL_CRITICAL;
  if (v >= 1)
    levels |= NTFS_LOG_LEVEL_ERROR | NTFS_LOG_LEVEL_PERROR | NTFS_LOG_LEVEL_WARNING;
  if (v >= 2) levels |= NTFS_LOG_LEVEL_INFO | NTFS_LOG_LEVEL_VERBOSE | NTFS_LOG_LEVEL_QUIET;
  if (v >= 3) levels |= NTFS_LOG_LEVEL_DEBUG;
  return levels;
}

}  // namespace

std::mutex& LibraryLock() {
  static std::mutex m;
  return m;
}

void InitLibraryLogging() {
  static std::once_flag once;
  std::call_once(once, [] {
    ntfs_log_set_handler(LogToStderr);
    ntfs_log_clear_levels(~0u);
    ntfs_log_set_levels(LevelsFromEnvironment());
  });
}

}  // namespace ntfs
