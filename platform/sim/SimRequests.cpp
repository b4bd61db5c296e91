// The file-system control requests of the simulated backend, answered with
// the records and statuses the Windows kernel gives.
#include <algorithm>
#include <cstring>

#include "Records.h"
#include "SimInternal.h"

namespace sim {
namespace rec = plat::rec;

std::int32_t SimRetrievalPointers(SimFile& file, const void* input, std::uint32_t inputLength,
                                  void* output, std::uint32_t outputLength) {
  if (inputLength < 8 || outputLength < rec::kMapExtentsOffset + rec::kMapExtentSize)
    return plat::STATUS_INVALID_PARAMETER;
  const std::int64_t wanted = rec::LoadI64(input, 0);
  if (file.Resident || file.Extents.empty()) return plat::STATUS_END_OF_FILE;
  if (wanted < 0) return plat::STATUS_INVALID_PARAMETER;

  // Find the extent that holds the wanted VCN; the answer starts there.
  std::size_t first = 0;
  std::int64_t vcn = 0;
  while (first < file.Extents.size() && vcn + file.Extents[first].Length <= wanted)
    vcn += file.Extents[first++].Length;
  if (first == file.Extents.size()) return plat::STATUS_END_OF_FILE;

  const std::size_t room = (outputLength - rec::kMapExtentsOffset) / rec::kMapExtentSize;
  const std::size_t count = std::min(room, file.Extents.size() - first);
  rec::StoreU32(output, rec::kMapExtentCountOffset, static_cast<std::uint32_t>(count));
  rec::StoreU32(output, 4, 0);
  rec::StoreI64(output, rec::kMapStartingVcnOffset, vcn);
  for (std::size_t i = 0; i < count; ++i) {
    const Extent& e = file.Extents[first + i];
    vcn += e.Length;
    const std::size_t at = rec::kMapExtentsOffset + i * rec::kMapExtentSize;
    rec::StoreI64(output, at, vcn);
    rec::StoreI64(output, at + 8, e.Lcn < 0 ? -1 : e.Lcn);
  }
  return first + count < file.Extents.size() ? plat::STATUS_BUFFER_OVERFLOW
                                              : plat::STATUS_SUCCESS;
}

std::int32_t SimVolumeBitmap(SimVolume& volume, const void* input, std::uint32_t inputLength,
                             void* output, std::uint32_t outputLength) {
  if (inputLength < 8 || outputLength < rec::kBitmapBitsOffset + 1)
    return plat::STATUS_INVALID_PARAMETER;
  std::int64_t start = rec::LoadI64(input, 0);
  if (start < 0 || start >= volume.ClusterCount()) return plat::STATUS_INVALID_PARAMETER;
  start &= ~std::int64_t{7};  // the kernel answers from a byte boundary
  const std::int64_t remaining = volume.ClusterCount() - start;
  const std::int64_t room = static_cast<std::int64_t>(outputLength - rec::kBitmapBitsOffset) * 8;
  const std::int64_t bits = std::min(remaining, room);
  rec::StoreI64(output, rec::kBitmapStartingLcnOffset, start);
  rec::StoreI64(output, rec::kBitmapSizeOffset, remaining);
  std::memcpy(static_cast<std::uint8_t*>(output) + rec::kBitmapBitsOffset,
              volume.Bitmap().data() + start / 8, static_cast<std::size_t>((bits + 7) / 8));
  return bits < remaining ? plat::STATUS_BUFFER_OVERFLOW : plat::STATUS_SUCCESS;
}

namespace {

// Splits the file's extents so that `vcn` starts an extent; returns its index.
std::size_t SplitAt(std::vector<Extent>& extents, std::int64_t vcn) {
  std::int64_t at = 0;
  for (std::size_t i = 0; i < extents.size(); ++i) {
    if (at == vcn) return i;
    if (vcn < at + extents[i].Length) {
      const std::int64_t head = vcn - at;
      Extent tail{extents[i].Lcn < 0 ? -1 : extents[i].Lcn + head, extents[i].Length - head};
      extents[i].Length = head;
      extents.insert(extents.begin() + static_cast<std::ptrdiff_t>(i) + 1, tail);
      return i + 1;
    }
    at += extents[i].Length;
  }
  return extents.size();
}

// Joins neighbours that are contiguous on the volume, and neighbouring
// holes, as the file system's run list would hold them.
void Coalesce(std::vector<Extent>& extents) {
  std::vector<Extent> out;
  for (const Extent& e : extents) {
    if (!out.empty()) {
      Extent& last = out.back();
      const bool bothHoles = last.Lcn < 0 && e.Lcn < 0;
      const bool adjacent = last.Lcn >= 0 && e.Lcn >= 0 && last.Lcn + last.Length == e.Lcn;
      if (bothHoles || adjacent) {
        last.Length += e.Length;
        continue;
      }
    }
    out.push_back(e);
  }
  extents = std::move(out);
}

}  // namespace

std::int32_t SimMoveFile(SimVolume& volume, SimFile& file, std::int64_t startVcn,
                         std::int64_t targetLcn, std::uint32_t clusterCount) {
  const std::int64_t endVcn = startVcn + clusterCount;
  if (file.Resident || startVcn < 0 || clusterCount == 0 || endVcn > file.VcnCount())
    return plat::STATUS_INVALID_PARAMETER;

  std::vector<Extent> extents = file.Extents;
  const std::size_t from = SplitAt(extents, startVcn);
  const std::size_t to = SplitAt(extents, endVcn);
  std::int64_t allocated = 0;
  for (std::size_t i = from; i < to; ++i)
    if (extents[i].Lcn >= 0) allocated += extents[i].Length;
  if (allocated == 0) return plat::STATUS_SUCCESS;  // only holes: nothing to place
  if (targetLcn < 0 || targetLcn + allocated > volume.ClusterCount())
    return plat::STATUS_INVALID_PARAMETER;
  for (std::int64_t c = targetLcn; c < targetLcn + allocated; ++c)
    if (volume.IsUsed(c)) return plat::STATUS_ALREADY_COMMITTED;

  std::int64_t cursor = targetLcn;
  for (std::size_t i = from; i < to; ++i) {
    Extent& e = extents[i];
    if (e.Lcn < 0) continue;
    volume.SetUsed(e.Lcn, e.Length, false);
    e.Lcn = cursor;
    cursor += e.Length;
  }
  volume.SetUsed(targetLcn, allocated, true);
  Coalesce(extents);
  file.Extents = std::move(extents);
  return plat::STATUS_SUCCESS;
}

}  // namespace sim
