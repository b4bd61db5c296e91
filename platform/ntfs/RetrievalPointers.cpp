// FSCTL_GET_RETRIEVAL_POINTERS: a file's runs from the one holding the
// requested VCN on, as many as the output buffer holds.
#include <vector>

#include "FsControl.h"
#include "Inode.h"
#include "Platform.h"
#include "Records.h"

namespace ntfs {

namespace rec = plat::rec;

std::int32_t GetRetrievalPointers(ntfs_volume* vol, std::uint64_t mref, const void* input,
                                  std::uint32_t inputLength, void* output,
                                  std::uint32_t outputLength, std::uint64_t& information) {
  information = 0;
  if (!input || inputLength < 8 || !output) return plat::STATUS_INVALID_PARAMETER;
  if (outputLength < rec::kMapExtentsOffset + rec::kMapExtentSize) return kStatusBufferTooSmall;
  const std::int64_t startVcn = rec::LoadI64(input, 0);
  if (startVcn < 0) return plat::STATUS_INVALID_PARAMETER;

  ScopedInode ni(vol, mref);
  if (!ni) return plat::STATUS_INVALID_HANDLE;
  ScopedData na(ni.get());
  std::vector<Run> runs;
  if (!na) return errno == ENOENT ? plat::STATUS_END_OF_FILE : plat::STATUS_UNEXPECTED_IO_ERROR;
  if (!ReadRuns(na.get(), runs)) return plat::STATUS_UNEXPECTED_IO_ERROR;
  // Resident data, no clusters at all, or a start past the end.
  if (startVcn >= VcnCount(runs)) return plat::STATUS_END_OF_FILE;

  std::size_t first = 0;
  while (runs[first].Vcn + runs[first].Length <= startVcn) ++first;
  const std::size_t room = (outputLength - rec::kMapExtentsOffset) / rec::kMapExtentSize;
  const std::size_t count = std::min(room, runs.size() - first);
  rec::StoreU32(output, rec::kMapExtentCountOffset, static_cast<std::uint32_t>(count));
  rec::StoreU32(output, 4, 0);
  rec::StoreI64(output, rec::kMapStartingVcnOffset, runs[first].Vcn);
  for (std::size_t i = 0; i < count; ++i) {
    const Run& r = runs[first + i];
    const std::size_t at = rec::kMapExtentsOffset + i * rec::kMapExtentSize;
    rec::StoreI64(output, at, r.Vcn + r.Length);
    rec::StoreI64(output, at + 8, r.Lcn);
  }
  information = rec::kMapExtentsOffset + count * rec::kMapExtentSize;
  return first + count < runs.size() ? plat::STATUS_BUFFER_OVERFLOW : plat::STATUS_SUCCESS;
}

}  // namespace ntfs
