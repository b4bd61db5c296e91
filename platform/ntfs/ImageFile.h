// The open image file or block device behind one mounted volume, and the
// libntfs-3g device that reads and writes the volume's byte range in it.
//
// The volume's bytes are locked with an open-file-description lock (write
// lock when opened for writing, read lock otherwise). Unlike the classic
// per-process record lock, it is not dropped when the process opens and
// closes another descriptor of the same file, and it conflicts with the
// record locks that the ntfs-3g tools take, so another process or tool
// finds the volume busy while it is mounted here. A busy volume is retried
// until a deadline before the open gives up.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

#include "DriveTable.h"
#include "MirrorRepair.h"
#include "PartitionTable.h"

struct ntfs_device;

namespace ntfs {

struct DeviceState;

// Identifies one volume: the same file (or device) and the same offset.
struct VolumeKey {
  dev_t Device = 0;
  ino_t Inode = 0;
  std::uint64_t Offset = 0;
  bool operator<(const VolumeKey& o) const {
    if (Device != o.Device) return Device < o.Device;
    if (Inode != o.Inode) return Inode < o.Inode;
    return Offset < o.Offset;
  }
};

class ImageFile {
 public:
  ~ImageFile();
  ImageFile(const ImageFile&) = delete;
  ImageFile& operator=(const ImageFile&) = delete;

  // Opens and locks the volume of `entry`, read-write when the file allows
  // it. On failure returns null with a Windows error code and a message.
  static std::unique_ptr<ImageFile> Open(const DriveEntry& entry, int lockWaitMs,
                                         std::uint32_t& error, std::string& problem);
  // The identity of `entry`'s volume without opening it (false when the
  // file cannot be examined or the partition is not found).
  static bool KeyOf(const DriveEntry& entry, VolumeKey& key);

  bool Writable() const { return writable_; }
  const VolumeKey& Key() const { return key_; }
  const std::string& Name() const { return name_; }

  // A libntfs-3g device over the locked range; ownership passes to the
  // library (ntfs_umount frees it). The device must not outlive this object,
  // and only one may exist at a time.
  ntfs_device* NewDevice();

  // Brings the two copies of $Volume back in step (see MirrorRepair.h);
  // only for a volume opened for writing, with no device in use.
  MirrorRepair RepairVolumeMirror(std::string& what);

  // Lock wait from CONTIGRA_NTFS_LOCK_WAIT_MS, default 5000 ms.
  static int DefaultLockWaitMs();

 private:
  ImageFile();
  int fd_ = -1;
  std::unique_ptr<DeviceState> state_;
  bool writable_ = false;
  bool block_ = false;
  ByteRange range_;
  VolumeKey key_;
  std::string name_;
};

}  // namespace ntfs
