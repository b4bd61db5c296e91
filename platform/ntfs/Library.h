// Process-wide access to libntfs-3g, which has no locking of its own:
// every call into the library is made while holding LibraryLock(). The
// first use also installs the library's log handler.
#pragma once

#include <mutex>

namespace ntfs {

// The lock that serialises all library calls (and the backend's own
// shared state). Not recursive.
std::mutex& LibraryLock();

// Installs the stderr log handler once. The library's messages are quiet
// by default; CONTIGRA_NTFS_LOG=1 shows its errors and warnings, 2 adds
// its informational messages, 3 its debug output.
void InitLibraryLogging();

}  // namespace ntfs
