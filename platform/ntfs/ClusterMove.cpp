// FSCTL_MOVE_FILE: moves the allocated clusters of a VCN range of a file's
// unnamed $DATA to consecutive clusters from a target LCN.
//
// Order of writes, chosen so that a process killed at any instant leaves
// every file intact and at worst some clusters marked used that nothing
// owns (leaked):
//   1. check everything (file kind, range, target free, new runs fit in
//      the file record) before writing anything;
//   2. mark the volume dirty (once per mount);
//   3. claim the target clusters in $Bitmap;
//   4. copy the data to the target and flush the device;
//   5. rewrite the runs in the file record (one record write);
//   6. only after the next flush release the old clusters in $Bitmap.
// Before 5 lands the file still reads its old clusters, which are
// untouched; after it, the new ones, which were flushed in 4. The flush
// that must come between 5 and 6 is the next one the volume makes anyway:
// step 4 of the next move (which then releases this move's clusters), or
// the one made before the bitmap is read out or the volume unmounted (see
// MountedVolume::SettleDeferred). A move thus costs one flush, and a kill
// before the release only leaves the old clusters leaked.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include "FsControl.h"
#include "Inode.h"
#include "MountedVolume.h"
#include "Platform.h"

namespace ntfs {
namespace {

struct MovePlan {
  std::vector<Run> Pieces;   // allocated source pieces
  std::vector<Run> NewRuns;  // the file's runs afterwards
  std::int64_t Clusters = 0;
  std::int64_t Target = 0;
};

// Files whose clusters this backend does not move.
std::int32_t CheckFile(const ntfs_inode* ni, const ntfs_attr* na) {
  if (ni->mft_no < FILE_first_user) return plat::STATUS_ACCESS_DENIED;  // metafiles
  // Updates spread over several records would not be atomic.
  if (NInoAttrList(ni)) return plat::STATUS_ACCESS_DENIED;
  if (na->data_flags & ATTR_IS_ENCRYPTED) return plat::STATUS_ACCESS_DENIED;
  if (!NAttrNonResident(na)) return plat::STATUS_INVALID_PARAMETER;  // no clusters to move
  return plat::STATUS_SUCCESS;
}

std::int32_t CheckRange(const ntfs_attr* na, const std::vector<Run>& runs, std::int64_t vcn,
                        std::int64_t count) {
  const std::int64_t total = VcnCount(runs);
  if (vcn < 0 || count <= 0 || vcn >= total || count > total - vcn)
    return plat::STATUS_INVALID_PARAMETER;
  if (na->data_flags & ATTR_COMPRESSION_MASK) {
    // Compression units are read as a whole: move whole units only.
    const std::int64_t unit = std::max<std::int64_t>(1, na->compression_block_clusters);
    if (vcn % unit || ((vcn + count) % unit && vcn + count != total))
      return plat::STATUS_INVALID_PARAMETER;
  }
  return plat::STATUS_SUCCESS;
}

// Every target cluster inside the volume, free in $Bitmap and not one of
// the clusters being moved.
std::int32_t CheckTarget(ntfs_volume* vol, const MovePlan& plan) {
  const std::int64_t first = plan.Target, end = plan.Target + plan.Clusters;
  if (first < 0 || end > vol->nr_clusters) return plat::STATUS_INVALID_PARAMETER;
  for (const Run& p : plan.Pieces)
    if (p.Lcn < end && first < p.Lcn + p.Length) return plat::STATUS_ALREADY_COMMITTED;
  const s64 byte0 = first / 8, bytes = (end - 1) / 8 - byte0 + 1;
  std::vector<std::uint8_t> bits(static_cast<std::size_t>(bytes));
  if (ntfs_attr_pread(vol->lcnbmp_na, byte0, bytes, bits.data()) != bytes)
    return plat::STATUS_UNEXPECTED_IO_ERROR;
  for (std::int64_t lcn = first; lcn < end; ++lcn) {
    const std::int64_t bit = lcn - byte0 * 8;
    if (bits[static_cast<std::size_t>(bit / 8)] & (1u << (bit % 8)))
      return plat::STATUS_ALREADY_COMMITTED;
  }
  return plat::STATUS_SUCCESS;
}

// A libntfs-3g runlist (terminated, in a buffer whose size is a multiple of
// 4096 bytes as the library's reallocation expects). Free with free().
runlist_element* ToRunlist(const std::vector<Run>& runs) {
  const std::size_t bytes = ((runs.size() + 1) * sizeof(runlist_element) + 4095) & ~std::size_t{4095};
  auto* rl = static_cast<runlist_element*>(std::calloc(1, bytes));
  if (!rl) return nullptr;
  std::size_t i = 0;
  for (const Run& r : runs) rl[i++] = {r.Vcn, r.Lcn < 0 ? LCN{LCN_HOLE} : r.Lcn, r.Length};
  rl[i] = {VcnCount(runs), LCN{LCN_ENOENT}, 0};
  return rl;
}

// The unnamed $DATA record of `ni` in its base record (no attribute list).
bool FindDataRecord(ntfs_inode* ni, ntfs_attr_search_ctx*& ctx) {
  ctx = ntfs_attr_get_search_ctx(ni, nullptr);
  if (!ctx) return false;
  if (ntfs_attr_lookup(AT_DATA, AT_UNNAMED, 0, CASE_SENSITIVE, 0, nullptr, 0, ctx) == 0 &&
      ctx->ntfs_ino == ni && sle64_to_cpu(ctx->attr->lowest_vcn) == 0)
    return true;
  ntfs_attr_put_search_ctx(ctx);
  ctx = nullptr;
  return false;
}

// Whether the new runs' mapping pairs fit in the file record, so writing
// them never needs a second record.
bool RunsFitRecord(ntfs_inode* ni, const std::vector<Run>& runs) {
  runlist_element* rl = ToRunlist(runs);
  ntfs_attr_search_ctx* ctx = nullptr;
  bool fits = false;
  if (rl && FindDataRecord(ni, ctx)) {
    const int size = ntfs_get_size_for_mapping_pairs(ni->vol, rl, 0, INT_MAX);
    const ATTR_RECORD* a = ctx->attr;
    const std::int64_t have = le32_to_cpu(a->length) - le16_to_cpu(a->mapping_pairs_offset);
    const std::int64_t spare =
        le32_to_cpu(ctx->mrec->bytes_allocated) - le32_to_cpu(ctx->mrec->bytes_in_use);
    fits = size > 0 && ((size + 7) & ~7) <= have + spare;
    ntfs_attr_put_search_ctx(ctx);
  }
  std::free(rl);
  return fits;
}

std::int32_t MakePlan(ntfs_inode* ni, std::int64_t vcn, std::int64_t count, std::int64_t target,
                      MovePlan& plan) {
  ScopedData na(ni);
  if (!na) return errno == ENOENT ? plat::STATUS_INVALID_PARAMETER : plat::STATUS_UNEXPECTED_IO_ERROR;
  if (const auto s = CheckFile(ni, na.get())) return s;
  std::vector<Run> runs;
  if (!ReadRuns(na.get(), runs)) return plat::STATUS_UNEXPECTED_IO_ERROR;
  if (const auto s = CheckRange(na.get(), runs, vcn, count)) return s;
  plan.Pieces = AllocatedPieces(runs, vcn, count);
  plan.Target = target;
  for (const Run& p : plan.Pieces) plan.Clusters += p.Length;
  if (plan.Clusters == 0) return plat::STATUS_SUCCESS;
  if (const auto s = CheckTarget(ni->vol, plan)) return s;
  plan.NewRuns = SpliceRuns(runs, vcn, count, target);
  if (!RunsFitRecord(ni, plan.NewRuns)) return plat::STATUS_DISK_FULL;
  return plat::STATUS_SUCCESS;
}

bool CopyClusters(ntfs_volume* vol, const MovePlan& plan) {
  const std::int64_t chunk = std::max<std::int64_t>(1, (1 << 20) >> vol->cluster_size_bits);
  std::vector<std::uint8_t> buf(static_cast<std::size_t>(chunk) << vol->cluster_size_bits);
  std::int64_t to = plan.Target;
  for (const Run& p : plan.Pieces) {
    for (std::int64_t done = 0; done < p.Length;) {
      const std::int64_t n = std::min(chunk, p.Length - done);
      if (ntfs_cluster_read(vol, p.Lcn + done, n, buf.data()) != n ||
          ntfs_cluster_write(vol, to, n, buf.data()) != n)
        return false;
      done += n;
      to += n;
    }
  }
  return ntfs_device_sync(vol->dev) == 0;
}

// Writes the new mapping pairs into the file record and the record to the
// device (not flushed: see the order above).
bool WriteRuns(ntfs_inode* ni, const std::vector<Run>& runs) {
  runlist_element* rl = ToRunlist(runs);
  ntfs_attr_search_ctx* ctx = nullptr;
  bool ok = false;
  if (rl && FindDataRecord(ni, ctx)) {
    ATTR_RECORD* a = ctx->attr;
    const int size = ntfs_get_size_for_mapping_pairs(ni->vol, rl, 0, INT_MAX);
    const u16 mpo = le16_to_cpu(a->mapping_pairs_offset);
    ok = size > 0 &&
         (((size + 7) & ~7) == static_cast<int>(le32_to_cpu(a->length) - mpo) ||
          ntfs_attr_record_resize(ctx->mrec, a, mpo + static_cast<u32>(size)) == 0) &&
         ntfs_mapping_pairs_build(ni->vol, reinterpret_cast<u8*>(a) + mpo,
                                  le32_to_cpu(a->length) - mpo, rl, 0, nullptr) == 0;
    if (ok) ntfs_inode_mark_dirty(ni);
    ntfs_attr_put_search_ctx(ctx);
  }
  std::free(rl);
  return ok && ntfs_inode_sync(ni) == 0;
}

std::int32_t Execute(MountedVolume& volume, ntfs_inode* ni, const MovePlan& plan) {
  ntfs_volume* vol = volume.Vol();
  if (!volume.BeginChanges()) return plat::STATUS_UNEXPECTED_IO_ERROR;
  if (ntfs_bitmap_set_run(vol->lcnbmp_na, plan.Target, plan.Clusters) != 0) {
    volume.KeepDirty();
    return plat::STATUS_UNEXPECTED_IO_ERROR;
  }
  vol->free_clusters -= plan.Clusters;
  if (!CopyClusters(vol, plan)) {
    if (ntfs_bitmap_clear_run(vol->lcnbmp_na, plan.Target, plan.Clusters) == 0)
      vol->free_clusters += plan.Clusters;
    else
      volume.KeepDirty();
    return plat::STATUS_UNEXPECTED_IO_ERROR;
  }
  // The flush after the copy also put the earlier moves' records on the disk.
  volume.ReleaseDeferred();
  if (!WriteRuns(ni, plan.NewRuns)) {
    // The record may or may not have reached the disk: keep both copies.
    volume.KeepDirty();
    return plat::STATUS_UNEXPECTED_IO_ERROR;
  }
  volume.DeferRelease(plan.Pieces);
  return plat::STATUS_SUCCESS;
}

}  // namespace

std::int32_t MoveFileClusters(MountedVolume& volume, std::uint64_t mref, std::int64_t startVcn,
                              std::int64_t targetLcn, std::uint32_t clusterCount) {
  if (volume.WriteRefusal()) return plat::STATUS_ACCESS_DENIED;
  ScopedInode ni(volume.Vol(), mref);
  if (!ni) return plat::STATUS_INVALID_HANDLE;
  MovePlan plan;
  if (const auto s = MakePlan(ni.get(), startVcn, clusterCount, targetLcn, plan)) return s;
  if (plan.Clusters == 0) return plat::STATUS_SUCCESS;  // only virtual clusters
  return Execute(volume, ni.get(), plan);
}

}  // namespace ntfs
