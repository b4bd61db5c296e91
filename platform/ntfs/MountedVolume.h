// One libntfs-3g mount per volume per process, shared by every handle on
// it and unmounted when the last one lets go. All members are called with
// LibraryLock() held, including the destructor (the last shared_ptr must be
// dropped under the lock).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "DriveTable.h"
#include "ImageFile.h"
#include "RunMath.h"

struct _ntfs_volume;

namespace ntfs {

class LookupCache;

class MountedVolume {
 public:
  // The mount of `entry`'s volume, mounting it when no handle has it yet.
  // A volume that must not be written (hibernated, unclean journal,
  // read-only file) is mounted read-only; asking for write access to it
  // fails with the reason. On failure returns null with the Windows error.
  static std::shared_ptr<MountedVolume> Acquire(const DriveEntry& entry, bool wantWrite,
                                                std::uint32_t& error);
  ~MountedVolume();
  MountedVolume(const MountedVolume&) = delete;
  MountedVolume& operator=(const MountedVolume&) = delete;

  _ntfs_volume* Vol() const { return vol_; }
  // Name lookups answered on this mount (see PathLookup.h).
  LookupCache& Lookups() { return *lookups_; }
  // 0 when the volume may be written, else the Windows error that a write
  // access gets (ERROR_NOT_READY or ERROR_WRITE_PROTECT).
  std::uint32_t WriteRefusal() const { return writeRefusal_; }

  // Called before the first change: marks the volume dirty on disk so an
  // interrupted batch makes the next Windows mount check the volume (and
  // give back clusters a killed move leaked). False if that write failed.
  bool BeginChanges();
  // A change failed after claiming clusters: leave the dirty mark set.
  void KeepDirty() { keepDirty_ = true; }

  // The old clusters of a move whose new runs were written but not yet
  // flushed: they are released only once a flush has put the runs on the
  // disk, so they can never be given out while the file on the disk may
  // still point at them.
  void DeferRelease(const std::vector<Run>& pieces);
  // Releases the deferred clusters; only right after a successful flush.
  void ReleaseDeferred();
  // Flushes and releases the deferred clusters (before the bitmap is read
  // out, and before unmounting). False when the flush failed: they stay
  // used (leaked) and the volume stays marked dirty.
  bool SettleDeferred();

 private:
  MountedVolume() = default;
  bool MountOnce(bool readOnly, int& err);
  void Unmount();

  std::unique_ptr<ImageFile> image_;
  std::unique_ptr<LookupCache> lookups_;
  _ntfs_volume* vol_ = nullptr;
  std::uint32_t writeRefusal_ = 0;
  VolumeKey key_;
  bool markedDirty_ = false;  // we set the on-disk dirty flag
  bool keepDirty_ = false;
  std::vector<Run> deferred_;  // clusters to release after the next flush
};

}  // namespace ntfs
