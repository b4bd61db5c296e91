#include "ReadOnlyNtfsDevice.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

#include "NtfsLib.h"

namespace ntfsro {
namespace {

ReadOnlyRange& RangeOf(ntfs_device* dev) { return *static_cast<ReadOnlyRange*>(dev->d_private); }

int DevOpen(ntfs_device* dev, int flags) {
  if ((flags & O_ACCMODE) != O_RDONLY) {
    errno = EROFS;
    return -1;
  }
  if (RangeOf(dev).BlockDevice) NDevSetBlock(dev);
  NDevSetReadOnly(dev);
  NDevSetOpen(dev);
  return 0;
}

int DevClose(ntfs_device* dev) {
  NDevClearOpen(dev);
  return 0;
}

s64 DevPread(ntfs_device* dev, void* buf, s64 count, s64 offset) {
  const ReadOnlyRange& r = RangeOf(dev);
  if (offset < 0 || count < 0) {
    errno = EINVAL;
    return -1;
  }
  const auto length = static_cast<s64>(r.Length);
  const s64 n = offset >= length ? 0 : std::min(count, length - offset);
  s64 done = 0;
  while (done < n) {
    const ssize_t got = pread(r.Fd, static_cast<char*>(buf) + done, static_cast<size_t>(n - done),
                              static_cast<off_t>(r.Offset) + offset + done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return done ? done : -1;
    if (got == 0) break;
    done += got;
  }
  return done;
}

s64 DevRefuseWrite(ntfs_device*, const void*, s64) {
  errno = EROFS;
  return -1;
}
s64 DevRefusePwrite(ntfs_device*, const void*, s64, s64) {
  errno = EROFS;
  return -1;
}

s64 DevSeek(ntfs_device* dev, s64 offset, int whence) {
  ReadOnlyRange& r = RangeOf(dev);
  const s64 base = whence == SEEK_CUR ? r.Position
                   : whence == SEEK_END ? static_cast<s64>(r.Length)
                                        : 0;
  if ((whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) || base + offset < 0) {
    errno = EINVAL;
    return -1;
  }
  return r.Position = base + offset;
}

s64 DevRead(ntfs_device* dev, void* buf, s64 count) {
  const s64 got = DevPread(dev, buf, count, RangeOf(dev).Position);
  if (got > 0) RangeOf(dev).Position += got;
  return got;
}

int DevSync(ntfs_device*) { return 0; }

int DevStat(ntfs_device* dev, struct stat* buf) {
  if (fstat(RangeOf(dev).Fd, buf) != 0) return -1;
  buf->st_size = static_cast<off_t>(RangeOf(dev).Length);
  return 0;
}

int DevIoctl(ntfs_device* dev, unsigned long request, void* argp) {
  const ReadOnlyRange& r = RangeOf(dev);
  // Geometry questions are the whole device's: answer them only when the
  // range is the whole device.
  if (!r.BlockDevice || r.Offset != 0) {
    errno = ENOTTY;
    return -1;
  }
  return ioctl(r.Fd, request, argp);
}

ntfs_device_operations gReadOnlyOps = {DevOpen,  DevClose,        DevSeek, DevRead, DevRefuseWrite,
                                       DevPread, DevRefusePwrite, DevSync, DevStat, DevIoctl};

}  // namespace

ntfs_device* NewReadOnlyDevice(const char* name, ReadOnlyRange& range) {
  return ntfs_device_alloc(name, 0, &gReadOnlyOps, &range);
}

}  // namespace ntfsro
