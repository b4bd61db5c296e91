#include "ImageFile.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "DeviceFaults.h"
#include "NtfsLib.h"
#include "Platform.h"

namespace ntfs {

// Recently read 4 KiB blocks of the volume. What a walk over folders reads
// is small and read again soon: a file's record when it is listed, opened,
// mapped and measured, a folder's index blocks for each name looked up.
// Small reads are answered from here, saving a system call each. Writes go
// to the file at once and drop the blocks they touch, so a read returns
// what was last written. Direct-mapped, 4 MiB once used.
struct BlockCache {
  static constexpr s64 kBlock = 4096;
  static constexpr std::size_t kSlots = 1024;
  std::vector<s64> Tags;  // the block each slot holds, -1 for none
  std::unique_ptr<std::uint8_t[]> Data;  // not cleared: a slot is read before it is used

  static std::size_t Slot(s64 block) { return static_cast<std::size_t>(block) % kSlots; }
  std::uint8_t* At(s64 block) { return Data.get() + Slot(block) * kBlock; }
  bool Holds(s64 block) const { return !Tags.empty() && Tags[Slot(block)] == block; }
  void Drop(s64 offset, s64 count) {
    if (Tags.empty() || count <= 0) return;
    const s64 first = offset / kBlock, last = (offset + count - 1) / kBlock;
    if (last - first >= static_cast<s64>(kSlots)) {
      Tags.assign(kSlots, -1);
      return;
    }
    for (s64 b = first; b <= last; ++b)
      if (Holds(b)) Tags[Slot(b)] = -1;
  }
};

struct DeviceState {
  int Fd = -1;
  ByteRange Range;
  bool Writable = false;
  bool Block = false;
  s64 Position = 0;
  BlockCache Cache;
};

namespace {

DeviceState& State(ntfs_device* dev) { return *static_cast<DeviceState*>(dev->d_private); }

// Writes at least this large are cluster copies (records and bitmap
// updates are a few KiB).
constexpr s64 kWriteBehindBytes = 256 << 10;

std::uint64_t SizeOf(int fd, const struct stat& st) {
  if (S_ISBLK(st.st_mode)) {
    std::uint64_t bytes = 0;
    return ioctl(fd, BLKGETSIZE64, &bytes) == 0 ? bytes : 0;
  }
  return static_cast<std::uint64_t>(st.st_size);
}

bool ResolveRange(int fd, const struct stat& st, const DriveEntry& entry, ByteRange& range,
                  std::string& problem) {
  const std::uint64_t size = SizeOf(fd, st);
  if (entry.Partition == 0) {
    range = {0, size};
    return true;
  }
  const ReadAt read = [fd](std::uint64_t off, void* buf, std::size_t len) {
    return pread(fd, buf, len, static_cast<off_t>(off)) == static_cast<ssize_t>(len);
  };
  return FindPartition(read, size, entry.Partition, range, problem);
}

// Takes the lock over the volume's bytes, retrying until `waitMs` passed.
bool LockRange(int fd, const ByteRange& range, bool write, int waitMs) {
  struct flock lk {};
  lk.l_type = write ? F_WRLCK : F_RDLCK;
  lk.l_whence = SEEK_SET;
  lk.l_start = static_cast<off_t>(range.Offset);
  lk.l_len = static_cast<off_t>(range.Length);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    if (fcntl(fd, F_OFD_SETLK, &lk) == 0) return true;
    if (errno != EAGAIN && errno != EACCES && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// ---- libntfs-3g device operations over DeviceState ----

int DevOpen(ntfs_device* dev, int flags) {
  DeviceState& s = State(dev);
  if (NDevOpen(dev)) {
    errno = EBUSY;
    return -1;
  }
  if ((flags & O_ACCMODE) != O_RDONLY && !s.Writable) {
    errno = EROFS;
    return -1;
  }
  if ((flags & O_ACCMODE) == O_RDONLY) NDevSetReadOnly(dev);
  else NDevClearReadOnly(dev);
  if (s.Block) NDevSetBlock(dev);
  NDevSetOpen(dev);
  return 0;
}

int DevClose(ntfs_device* dev) {
  if (!NDevOpen(dev)) {
    errno = EBADF;
    return -1;
  }
  if (NDevDirty(dev) && (DeviceOpFails(DeviceOp::Sync) || fdatasync(State(dev).Fd) != 0)) return -1;
  NDevClearOpen(dev);
  return 0;
}

// Clamps an access at `offset` of `count` bytes to the volume's range.
s64 Clamp(const DeviceState& s, s64 offset, s64 count) {
  if (offset < 0) return -1;
  const auto len = static_cast<s64>(s.Range.Length);
  if (offset >= len) return 0;
  return std::min(count, len - offset);
}

// Reads [offset, offset + n) of the volume from the file: the bytes read,
// fewer at the file's end, -1 when nothing could be read.
s64 ReadFile(const DeviceState& s, void* buf, s64 n, s64 offset) {
  s64 done = 0;
  while (done < n) {
    const ssize_t r = pread(s.Fd, static_cast<char*>(buf) + done, static_cast<size_t>(n - done),
                            static_cast<off_t>(s.Range.Offset) + offset + done);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return done ? done : -1;
    if (r == 0) break;
    done += r;
  }
  return done;
}

// Copies [offset, offset + n) from cached blocks, reading the blocks it
// lacks. False when a block cannot be read whole (the file's end, an
// error); the caller then reads the file directly.
bool ReadCached(DeviceState& s, std::uint8_t* out, s64 n, s64 offset) {
  BlockCache& c = s.Cache;
  constexpr s64 kBlock = BlockCache::kBlock;
  if (c.Tags.empty()) {
    c.Tags.assign(BlockCache::kSlots, -1);
    c.Data.reset(new std::uint8_t[BlockCache::kSlots * kBlock]);
  }
  for (s64 at = offset; at < offset + n;) {
    const s64 block = at / kBlock;
    if (!c.Holds(block)) {
      c.Tags[BlockCache::Slot(block)] = -1;
      if (ReadFile(s, c.At(block), kBlock, block * kBlock) != kBlock) return false;
      c.Tags[BlockCache::Slot(block)] = block;
    }
    const s64 from = at - block * kBlock, len = std::min(kBlock - from, offset + n - at);
    std::memcpy(out + (at - offset), c.At(block) + from, static_cast<std::size_t>(len));
    at += len;
  }
  return true;
}

s64 DevPread(ntfs_device* dev, void* buf, s64 count, s64 offset) {
  DeviceState& s = State(dev);
  const s64 n = Clamp(s, offset, count);
  if (n < 0) {
    errno = EINVAL;
    return -1;
  }
  if (DeviceOpFails(DeviceOp::Read)) return -1;
  // Records and index blocks; cluster copies and whole bitmaps go direct.
  const s64 blocks = n > 0 ? (offset + n - 1) / BlockCache::kBlock - offset / BlockCache::kBlock + 1 : 0;
  if (blocks > 0 && blocks <= 2 && offset + blocks * BlockCache::kBlock <= static_cast<s64>(s.Range.Length) &&
      ReadCached(s, static_cast<std::uint8_t*>(buf), n, offset))
    return n;
  return ReadFile(s, buf, n, offset);
}

s64 DevPwrite(ntfs_device* dev, const void* buf, s64 count, s64 offset) {
  DeviceState& s = State(dev);
  if (NDevReadOnly(dev)) {
    errno = EROFS;
    return -1;
  }
  const s64 n = Clamp(s, offset, count);
  if (n < count) {
    errno = n < 0 ? EINVAL : ENOSPC;
    if (n <= 0) return -1;
  }
  if (DeviceOpFails(DeviceOp::Write)) return -1;
  NDevSetDirty(dev);
  s.Cache.Drop(offset, n);
  s64 done = 0;
  while (done < n) {
    const ssize_t r = pwrite(s.Fd, static_cast<const char*>(buf) + done,
                             static_cast<size_t>(n - done),
                             static_cast<off_t>(s.Range.Offset) + offset + done);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return done ? done : -1;
    done += r;
  }
  // Cluster copies: start writing them back now, so the flush that must
  // follow them finds less to wait for (a hint; errors show at the flush).
  if (done >= kWriteBehindBytes)
    sync_file_range(s.Fd, static_cast<off64_t>(s.Range.Offset) + offset, done, SYNC_FILE_RANGE_WRITE);
  return done;
}

s64 DevSeek(ntfs_device* dev, s64 offset, int whence) {
  DeviceState& s = State(dev);
  s64 base = 0;
  if (whence == SEEK_CUR) base = s.Position;
  else if (whence == SEEK_END) base = static_cast<s64>(s.Range.Length);
  else if (whence != SEEK_SET) {
    errno = EINVAL;
    return -1;
  }
  if (base + offset < 0) {
    errno = EINVAL;
    return -1;
  }
  return s.Position = base + offset;
}

s64 DevRead(ntfs_device* dev, void* buf, s64 count) {
  const s64 r = DevPread(dev, buf, count, State(dev).Position);
  if (r > 0) State(dev).Position += r;
  return r;
}

s64 DevWrite(ntfs_device* dev, const void* buf, s64 count) {
  const s64 r = DevPwrite(dev, buf, count, State(dev).Position);
  if (r > 0) State(dev).Position += r;
  return r;
}

// fdatasync: the data and whatever is needed to read it back (blocks a
// sparse image file gets on first write), without the file's times, whose
// journal commit would cost as much again. Nothing written since the last
// flush: nothing to wait for.
int DevSync(ntfs_device* dev) {
  if (NDevReadOnly(dev) || !NDevDirty(dev)) return 0;
  if (DeviceOpFails(DeviceOp::Sync) || fdatasync(State(dev).Fd) != 0) return -1;
  NDevClearDirty(dev);
  return 0;
}

int DevStat(ntfs_device* dev, struct stat* buf) {
  DeviceState& s = State(dev);
  if (fstat(s.Fd, buf) != 0) return -1;
  buf->st_size = static_cast<off_t>(s.Range.Length);
  return 0;
}

int DevIoctl(ntfs_device* dev, unsigned long request, void* argp) {
  DeviceState& s = State(dev);
  if (!s.Block || s.Range.Offset != 0) {
    errno = ENOTTY;
    return -1;
  }
  return ioctl(s.Fd, request, argp);
}

ntfs_device_operations gOps = {DevOpen,   DevClose,  DevSeek, DevRead,  DevWrite,
                               DevPread,  DevPwrite, DevSync, DevStat,  DevIoctl};

}  // namespace

int ImageFile::DefaultLockWaitMs() {
  const char* env = std::getenv("CONTIGRA_NTFS_LOCK_WAIT_MS");
  if (env && *env) {
    char* end = nullptr;
    const long v = std::strtol(env, &end, 10);
    if (*end == '\0' && v >= 0 && v <= 600000) return static_cast<int>(v);
  }
  return 5000;
}

bool ImageFile::KeyOf(const DriveEntry& entry, VolumeKey& key) {
  const int fd = open(entry.Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  ByteRange range;
  std::string problem;
  const bool ok = fstat(fd, &st) == 0 && ResolveRange(fd, st, entry, range, problem);
  // Closing this descriptor does not release the lock a mount holds: that
  // lock belongs to the mount's own open file description.
  close(fd);
  if (!ok) return false;
  key = {S_ISBLK(st.st_mode) ? st.st_rdev : st.st_dev, S_ISBLK(st.st_mode) ? 0 : st.st_ino,
         range.Offset};
  return true;
}

std::unique_ptr<ImageFile> ImageFile::Open(const DriveEntry& entry, int lockWaitMs,
                                           std::uint32_t& error, std::string& problem) {
  std::unique_ptr<ImageFile> f(new ImageFile);
  f->name_ = entry.Partition ? entry.Path + ":" + std::to_string(entry.Partition) : entry.Path;
  struct stat st {};
  if (stat(entry.Path.c_str(), &st) != 0) {
    error = errno == EACCES ? plat::ERROR_ACCESS_DENIED : plat::ERROR_PATH_NOT_FOUND;
    problem = "cannot find " + entry.Path;
    return nullptr;
  }
  f->block_ = S_ISBLK(st.st_mode);
  // O_EXCL on a block device refuses a device that the kernel has mounted.
  f->fd_ = open(entry.Path.c_str(), O_RDWR | O_CLOEXEC | (f->block_ ? O_EXCL : 0));
  f->writable_ = f->fd_ >= 0;
  if (f->fd_ < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
    f->fd_ = open(entry.Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (f->fd_ < 0) {
    error = errno == EBUSY ? plat::ERROR_SHARING_VIOLATION : plat::ERROR_ACCESS_DENIED;
    problem = "cannot open " + entry.Path;
    return nullptr;
  }
  if (fstat(f->fd_, &st) != 0 || !ResolveRange(f->fd_, st, entry, f->range_, problem)) {
    error = plat::ERROR_PATH_NOT_FOUND;
    return nullptr;
  }
  f->key_ = {f->block_ ? st.st_rdev : st.st_dev, f->block_ ? 0 : st.st_ino, f->range_.Offset};
  if (!LockRange(f->fd_, f->range_, f->writable_, lockWaitMs)) {
    error = plat::ERROR_SHARING_VIOLATION;
    problem = f->name_ + " is in use by another process";
    return nullptr;
  }
  return f;
}

ImageFile::ImageFile() : state_(std::make_unique<DeviceState>()) {}

ntfs_device* ImageFile::NewDevice() {
  *state_ = DeviceState{fd_, range_, writable_, block_, 0, {}};
  return ntfs_device_alloc(name_.c_str(), 0, &gOps, state_.get());
}

MirrorRepair ImageFile::RepairVolumeMirror(std::string& what) {
  if (!writable_) return MirrorRepair::NotOurCase;
  return RepairVolumeRecordMirror(fd_, range_.Offset, what);
}

ImageFile::~ImageFile() {
  if (fd_ >= 0) close(fd_);  // also releases the lock
}

}  // namespace ntfs
