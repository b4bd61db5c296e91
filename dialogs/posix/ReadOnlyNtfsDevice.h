// A libntfs-3g device over a byte range of an open file descriptor that
// refuses every write, for looking at volumes without any chance of
// changing them (the backend's own device opens for writing when it can).
#pragma once

#include <cstdint>

struct ntfs_device;

namespace ntfsro {

// The bytes a device reads: owned by the caller, who keeps it and its
// descriptor alive until the device is freed or unmounted.
struct ReadOnlyRange {
  int Fd = -1;
  std::uint64_t Offset = 0;
  std::uint64_t Length = 0;
  bool BlockDevice = false;
  std::int64_t Position = 0;
};

// A new device named `name` over `range`. Ownership of the device passes
// to the library's mount, or back to the caller (ntfs_device_free) when the
// mount fails. Null when out of memory.
ntfs_device* NewReadOnlyDevice(const char* name, ReadOnlyRange& range);

}  // namespace ntfsro
