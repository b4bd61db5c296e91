// Checks a drive-table entry by mounting its volume read only through
// libntfs-3g over a device that cannot write.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <mutex>

#include "DriveCheck.h"
#include "Library.h"
#include "NtfsLib.h"
#include "PartitionTable.h"
#include "ReadOnlyNtfsDevice.h"

namespace {

class Descriptor {
 public:
  explicit Descriptor(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

std::uint64_t DeviceBytes(int fd, const struct stat& st) {
  std::uint64_t bytes = 0;
  if (!S_ISBLK(st.st_mode)) return static_cast<std::uint64_t>(st.st_size);
  return ioctl(fd, BLKGETSIZE64, &bytes) == 0 ? bytes : 0;
}

ntfs::ReadAt ReaderOf(int fd) {
  return [fd](std::uint64_t offset, void* buffer, std::size_t length) {
    return pread(fd, buffer, length, static_cast<off_t>(offset)) == static_cast<ssize_t>(length);
  };
}

// Mounts the range read only and reads what the page shows. Called with
// the library's lock held.
void InspectVolume(const std::string& name, ntfsro::ReadOnlyRange& range, TDriveCheck& check) {
  ntfs_device* dev = ntfsro::NewReadOnlyDevice(name.c_str(), range);
  ntfs_volume* vol = dev ? ntfs_device_mount(dev, NTFS_MNT_RDONLY) : nullptr;
  if (!vol) {
    const int err = errno;
    if (dev) ntfs_device_free(dev);
    check.Problem = err == EINVAL ? TDriveProblem::NotNtfs : TDriveProblem::Unreadable;
    check.Detail = std::strerror(err);
    return;
  }
  check.Label = vol->vol_name ? vol->vol_name : "";
  check.ClusterBytes = vol->cluster_size;
  check.Bytes = static_cast<std::uint64_t>(vol->nr_clusters) * vol->cluster_size;
  // EPERM is its answer for a hibernated system; other errors only mean
  // the hibernation file could not be read, which a write mount retries.
  if (ntfs_volume_check_hiberfile(vol, 0) != 0 && errno == EPERM)
    check.ReadOnly = TDriveReadOnly::Hibernated;
  ntfs_umount(vol, FALSE);
}

}  // namespace

TDriveCheck CheckDriveEntry(const ntfs::DriveEntry& entry) {
  TDriveCheck check;
  const Descriptor file(entry.Path);
  struct stat st {};
  if (file.Get() < 0 || fstat(file.Get(), &st) != 0) {
    check.Problem = TDriveProblem::CannotOpen;
    check.Detail = std::strerror(errno);
    return check;
  }
  if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode)) {
    check.Problem = TDriveProblem::NotFileOrDevice;
    return check;
  }
  const std::uint64_t bytes = DeviceBytes(file.Get(), st);
  ntfs::ByteRange range{0, bytes};
  if (entry.Partition != 0 &&
      !ntfs::FindPartition(ReaderOf(file.Get()), bytes, entry.Partition, range, check.Detail)) {
    check.Problem = TDriveProblem::NoPartition;
    return check;
  }
  ntfsro::ReadOnlyRange device{file.Get(), range.Offset, range.Length, S_ISBLK(st.st_mode)};
  {
    std::lock_guard lock(ntfs::LibraryLock());
    ntfs::InitLibraryLogging();
    InspectVolume(entry.Path, device, check);
  }
  // Not NTFS as a whole, but its first partition is there: a disk image.
  ntfs::ByteRange first;
  std::string ignored;
  if (check.Problem == TDriveProblem::NotNtfs && entry.Partition == 0 &&
      ntfs::FindPartition(ReaderOf(file.Get()), bytes, 1, first, ignored))
    check.Problem = TDriveProblem::PartitionTable;
  if (check.Usable() && check.ReadOnly == TDriveReadOnly::No && access(entry.Path.c_str(), W_OK) != 0)
    check.ReadOnly = TDriveReadOnly::FileReadOnly;
  return check;
}
