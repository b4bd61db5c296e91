// Reading a file's retrieval-pointer map and merging it into blocks.
#include <algorithm>
#include <memory>
#include <vector>

#include "DefragAPI.h"
#include "Records.h"
#include "RequestStatus.h"

using namespace plat;
namespace rec = plat::rec;

namespace {

// An answer the file system cannot have meant: more extents than the
// buffer holds, or an extent that does not move forward.
constexpr std::int32_t kStatusFileCorrupt = static_cast<std::int32_t>(0xC0000102u);

// Appends the extents of one answer and moves `vcn` past them. Returns
// false when the answer is malformed; what came before it stays.
bool AppendExtents(const std::uint8_t* buffer, TFileMap& map, std::int64_t& vcn) {
  const std::uint32_t count = rec::LoadU32(buffer, rec::kMapExtentCountOffset);
  if (count > rec::kMapMaxExtents) return false;
  std::int64_t at = rec::LoadI64(buffer, rec::kMapStartingVcnOffset);
  if (at < 0 || (vcn > 0 && at != vcn)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t offset = rec::kMapExtentsOffset + i * rec::kMapExtentSize;
    const std::int64_t next = rec::LoadI64(buffer, offset);
    if (next <= at) return false;
    map.Blocks.push_back({at, rec::LoadI64(buffer, offset + 8), next - at, next - at});
    map.TotalClusters += next - at;
    ++map.BlockCount;
    at = next;
  }
  vcn = at;
  return true;
}

}  // namespace

std::int32_t GetFileMap(HANDLE file, TFileMap& map) {
  map.BlockCount = 0;
  map.TotalClusters = 0;
  // Not zero-filled: only the header is read before the file system has
  // written it, and the extents read are bounded by its count.
  const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(rec::kMapBufferSize);
  std::fill_n(buffer.get(), rec::kMapExtentsOffset, std::uint8_t{0});
  std::int64_t vcn = 0;
  for (;;) {
    std::uint8_t input[8];
    rec::StoreI64(input, 0, vcn);
    IO_STATUS_BLOCK iosb;
    const std::int32_t sent =
        NtFsControlFile(file, iosb, FSCTL_GET_RETRIEVAL_POINTERS, input, sizeof input,
                        buffer.get(), static_cast<std::uint32_t>(rec::kMapBufferSize));
    if (!engine_detail::IsMoreOrDone(sent) && sent != STATUS_PENDING) return sent;
    const std::int32_t status = engine_detail::SettleRequest(sent, file, iosb);
    if (!engine_detail::IsMoreOrDone(status)) return status;
    const std::int64_t before = vcn;
    if (!AppendExtents(buffer.get(), map, vcn)) return kStatusFileCorrupt;
    if (status == STATUS_SUCCESS) return STATUS_SUCCESS;
    if (vcn == before) return kStatusFileCorrupt;  // "more follows" that never moves on
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
    } else if (last.Lcn >= 0 && b.Lcn >= 0 && b.Lcn - last.Lcn == last.Clusters) {
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
