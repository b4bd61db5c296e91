// Reading a file's retrieval-pointer map and merging it into blocks.
#include <vector>

#include "DefragAPI.h"
#include "Records.h"
#include "RequestStatus.h"

using namespace plat;
namespace rec = plat::rec;

namespace {

// Appends the extents of one answer; returns the running VCN after them.
std::int64_t AppendExtents(const std::uint8_t* buffer, TFileMap& map) {
  const std::uint32_t count = rec::LoadU32(buffer, rec::kMapExtentCountOffset);
  std::int64_t vcn = rec::LoadI64(buffer, rec::kMapStartingVcnOffset);
  map.BlockCount += count;
  for (std::uint32_t i = 0; i < count && i < rec::kMapMaxExtents; ++i) {
    const std::size_t at = rec::kMapExtentsOffset + i * rec::kMapExtentSize;
    const std::int64_t next = rec::LoadI64(buffer, at);
    const std::int64_t length = next - vcn;
    map.Blocks.push_back({vcn, rec::LoadI64(buffer, at + 8), length, length});
    map.TotalClusters += length;
    vcn = next;
  }
  return vcn;
}

}  // namespace

std::int32_t GetFileMap(HANDLE file, TFileMap& map) {
  map.BlockCount = 0;
  map.TotalClusters = 0;
  std::vector<std::uint8_t> buffer(rec::kMapBufferSize);
  std::int64_t vcn = 0;
  for (;;) {
    std::uint8_t input[8];
    rec::StoreI64(input, 0, vcn);
    IO_STATUS_BLOCK iosb;
    const std::int32_t sent =
        NtFsControlFile(file, iosb, FSCTL_GET_RETRIEVAL_POINTERS, input, sizeof input,
                        buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    if (!engine_detail::IsMoreOrDone(sent) && sent != STATUS_PENDING) return sent;
    const std::int32_t status = engine_detail::SettleRequest(sent, file, iosb);
    if (!engine_detail::IsMoreOrDone(status)) return status;
    vcn = AppendExtents(buffer.data(), map);
    if (status == STATUS_SUCCESS) return STATUS_SUCCESS;
  }
}

void MergeFileMap(TFileMap& map) {
  auto& blocks = map.Blocks;
  std::size_t kept = 0;  // blocks[0..kept] is the merged prefix
  for (std::size_t next = 1; next < blocks.size(); ++next) {
    TFileBlock& last = blocks[kept];
    const TFileBlock& b = blocks[next];
    if (b.Lcn == -1) {
      last.VcnSpan += b.Clusters;
    } else if (last.Lcn >= 0 && last.Lcn + last.Clusters == b.Lcn) {
      // A leading virtual run has no place on the volume: nothing is
      // adjacent to it, whatever its length.
      last.Clusters += b.Clusters;
      last.VcnSpan += b.VcnSpan;
    } else {
      blocks[++kept] = b;
      continue;
    }
    --map.BlockCount;
  }
  if (!blocks.empty()) blocks.resize(kept + 1);
}

void FreeFileMap(TFileMap& map) {
  map.Blocks.clear();
  map.Blocks.shrink_to_fit();
}
