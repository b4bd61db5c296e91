#include "Inode.h"

#include "Platform.h"

namespace ntfs {

ScopedInode::ScopedInode(ntfs_volume* vol, std::uint64_t mref) {
  ni_ = ntfs_inode_open(vol, MREF(mref));
  const auto seq = static_cast<std::uint16_t>(MSEQNO(mref));
  if (ni_ && seq && le16_to_cpu(ni_->mrec->sequence_number) != seq) {
    ntfs_inode_close(ni_);
    ni_ = nullptr;
    errno = ENOENT;
  }
}

ScopedInode::~ScopedInode() { Close(); }

bool ScopedInode::Close() {
  if (!ni_) return true;
  const int r = ntfs_inode_close(ni_);
  ni_ = nullptr;
  return r == 0;
}

ScopedData::ScopedData(ntfs_inode* ni) { na_ = ntfs_attr_open(ni, AT_DATA, AT_UNNAMED, 0); }

ScopedData::~ScopedData() {
  if (na_) ntfs_attr_close(na_);
}

bool ReadRuns(ntfs_attr* na, std::vector<Run>& runs) {
  runs.clear();
  if (!NAttrNonResident(na)) return true;
  if (ntfs_attr_map_whole_runlist(na) != 0 || !na->rl) return false;
  for (const runlist_element* rl = na->rl; rl->length; ++rl) {
    if (rl->length < 0) return false;
    if (rl->lcn < 0 && rl->lcn != LCN_HOLE) return false;  // unmapped or corrupt
    runs.push_back({rl->vcn, rl->lcn < 0 ? kVirtualLcn : rl->lcn, rl->length});
  }
  // Runs must start at VCN 0 and follow each other.
  std::int64_t vcn = 0;
  for (const Run& r : runs) {
    if (r.Vcn != vcn) return false;
    vcn += r.Length;
  }
  return true;
}

bool IsDirectory(const ntfs_inode* ni) {
  return (ni->mrec->flags & MFT_RECORD_IS_DIRECTORY) != 0;
}

std::uint32_t WindowsAttributes(const ntfs_inode* ni) {
  // 0x10 in the standard information is not the directory bit; the
  // record's flags say whether this is a folder.
  std::uint32_t a = le32_to_cpu(ni->flags) & 0x7FFFu &
                    ~(plat::FILE_ATTRIBUTE_DIRECTORY | plat::FILE_ATTRIBUTE_NORMAL);
  if (IsDirectory(ni)) a |= plat::FILE_ATTRIBUTE_DIRECTORY;
  if (a == 0) a = plat::FILE_ATTRIBUTE_NORMAL;
  return a;
}

}  // namespace ntfs
