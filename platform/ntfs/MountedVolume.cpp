#include "MountedVolume.h"

#include <iostream>
#include <map>

#include "Library.h"
#include "NtfsLib.h"
#include "PathLookup.h"
#include "Platform.h"

namespace ntfs {
namespace {

std::map<VolumeKey, std::weak_ptr<MountedVolume>>& Registry() {
  static std::map<VolumeKey, std::weak_ptr<MountedVolume>> r;
  return r;
}

// The Windows answer to a failed mount's errno.
std::uint32_t MountError(int err) {
  switch (err) {
    case EPERM:       // hibernated, or Windows kept metadata cached
    case EOPNOTSUPP:  // journal not clean
      return plat::ERROR_NOT_READY;
    case ENOMEM: return plat::ERROR_NOT_ENOUGH_MEMORY;
    case EIO: return 1392;  // ERROR_FILE_CORRUPT
    default: return 1005;   // ERROR_UNRECOGNIZED_VOLUME
  }
}

bool RefusesWriting(int err) { return err == EPERM || err == EOPNOTSUPP; }

// libntfs-3g answers EIO when $MFTMirr does not match $MFT. A write of the
// dirty mark cut off between the two copies of $Volume does that; mend
// just that case and say so.
bool MendedVolumeMirror(ImageFile& image, int err) {
  std::string what;
  if (err != EIO || image.RepairVolumeMirror(what) != MirrorRepair::Repaired) return false;
  std::cerr << "contigra: " << image.Name() << ": " << what
            << " (a change of the volume's flags had been cut off)\n";
  return true;
}

}  // namespace

bool MountedVolume::MountOnce(bool readOnly, int& err) {
  ntfs_device* dev = image_->NewDevice();
  if (!dev) {
    err = errno;
    return false;
  }
  vol_ = ntfs_device_mount(dev, readOnly ? NTFS_MNT_RDONLY : NTFS_MNT_NONE);
  if (!vol_) {
    err = errno;
    ntfs_device_free(dev);
    return false;
  }
  return true;
}

std::shared_ptr<MountedVolume> MountedVolume::Acquire(const DriveEntry& entry, bool wantWrite,
                                                      std::uint32_t& error) {
  InitLibraryLogging();
  VolumeKey key;
  const auto found = ImageFile::KeyOf(entry, key) ? Registry().find(key) : Registry().end();
  if (found != Registry().end()) {
    if (auto existing = found->second.lock()) {
      if (wantWrite && existing->writeRefusal_) {
        error = existing->writeRefusal_;
        return nullptr;
      }
      return existing;
    }
  }
  std::shared_ptr<MountedVolume> m(new MountedVolume);
  m->lookups_ = std::make_unique<LookupCache>();
  std::string problem;
  m->image_ = ImageFile::Open(entry, ImageFile::DefaultLockWaitMs(), error, problem);
  if (!m->image_) {
    std::cerr << "contigra: " << problem << '\n';
    return nullptr;
  }
  int err = 0;
  const std::string& name = m->image_->Name();
  bool mounted = m->MountOnce(!m->image_->Writable(), err);
  if (!mounted && MendedVolumeMirror(*m->image_, err)) mounted = m->MountOnce(false, err);
  if (!mounted) {
    if (!RefusesWriting(err)) {
      error = MountError(err);
      std::cerr << "contigra: " << name << " is not a usable NTFS volume\n";
      return nullptr;
    }
    // Nothing was written: the library checks before its first write.
    std::cerr << "contigra: " << name
              << (err == EPERM ? " is hibernated or Windows kept its metadata cached"
                               : " was not shut down cleanly (its journal is not empty)")
              << "; it will not be written. Start Windows and shut it down fully "
                 "(no fast startup), then try again.\n";
    error = plat::ERROR_NOT_READY;
    if (wantWrite || !m->MountOnce(true, err)) return nullptr;
    m->writeRefusal_ = plat::ERROR_NOT_READY;
  } else if (!m->image_->Writable()) {
    m->writeRefusal_ = 19;  // ERROR_WRITE_PROTECT
    if (wantWrite) {
      error = 19;
      return nullptr;  // the destructor unmounts
    }
  }
  m->key_ = m->image_->Key();
  Registry()[m->key_] = m;
  return m;
}

bool MountedVolume::BeginChanges() {
  if (markedDirty_ || (vol_->flags & VOLUME_IS_DIRTY)) return true;
  if (ntfs_volume_write_flags(vol_, vol_->flags | VOLUME_IS_DIRTY) != 0) return false;
  ntfs_device_sync(vol_->dev);
  markedDirty_ = true;
  return true;
}

void MountedVolume::DeferRelease(const std::vector<Run>& pieces) {
  deferred_.insert(deferred_.end(), pieces.begin(), pieces.end());
}

void MountedVolume::ReleaseDeferred() {
  for (const Run& p : deferred_) {
    if (ntfs_bitmap_clear_run(vol_->lcnbmp_na, p.Lcn, p.Length) == 0) vol_->free_clusters += p.Length;
    else keepDirty_ = true;  // some stay leaked
  }
  deferred_.clear();
}

bool MountedVolume::SettleDeferred() {
  if (deferred_.empty()) return true;
  if (ntfs_device_sync(vol_->dev) != 0) {
    keepDirty_ = true;
    return false;
  }
  ReleaseDeferred();
  return true;
}

void MountedVolume::Unmount() {
  if (!vol_) return;
  // Every change finished and is on the disk, nothing leaked: take our
  // mark away again (the flush also carries the last releases).
  if (SettleDeferred() && markedDirty_ && !keepDirty_ && ntfs_device_sync(vol_->dev) == 0)
    ntfs_volume_write_flags(vol_, vol_->flags & ~VOLUME_IS_DIRTY);
  ntfs_umount(vol_, FALSE);
  vol_ = nullptr;
}

MountedVolume::~MountedVolume() {
  Unmount();
  auto it = Registry().find(key_);
  if (it != Registry().end() && it->second.expired()) Registry().erase(it);
}

}  // namespace ntfs
