// Scoped libntfs-3g objects and the facts the backend reads from a file
// record: its unnamed $DATA runs and its Windows attributes.
#pragma once

#include <cstdint>
#include <vector>

#include "NtfsLib.h"
#include "RunMath.h"

namespace ntfs {

// ntfs_inode_open/close. Opening checks the record's sequence number when
// `mref` carries one, so a reused record is not mistaken for the file.
class ScopedInode {
 public:
  ScopedInode(ntfs_volume* vol, std::uint64_t mref);
  ~ScopedInode();
  ScopedInode(const ScopedInode&) = delete;
  ScopedInode& operator=(const ScopedInode&) = delete;
  ntfs_inode* get() const { return ni_; }
  explicit operator bool() const { return ni_ != nullptr; }
  // Closes now; false if writing the record back failed.
  bool Close();

 private:
  ntfs_inode* ni_ = nullptr;
};

// The unnamed $DATA attribute of an inode, or null (errno ENOENT when the
// inode has none).
class ScopedData {
 public:
  explicit ScopedData(ntfs_inode* ni);
  ~ScopedData();
  ScopedData(const ScopedData&) = delete;
  ScopedData& operator=(const ScopedData&) = delete;
  ntfs_attr* get() const { return na_; }
  explicit operator bool() const { return na_ != nullptr; }

 private:
  ntfs_attr* na_ = nullptr;
};

// Maps the whole runlist of a non-resident attribute and copies it out
// (runs of length 0 dropped). False when the runlist cannot be read.
bool ReadRuns(ntfs_attr* na, std::vector<Run>& runs);

bool IsDirectory(const ntfs_inode* ni);

// FILE_ATTRIBUTE_* as Windows reports them: the standard information
// flags, the directory bit, and FILE_ATTRIBUTE_NORMAL when nothing is set.
std::uint32_t WindowsAttributes(const ntfs_inode* ni);

}  // namespace ntfs
