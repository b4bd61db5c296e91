// FSCTL_GET_VOLUME_BITMAP: $Bitmap's bits from a byte-aligned cluster on,
// as many as fit. $Bitmap pads its last byte (and more) with set bits past
// the last cluster; those are cleared here and never counted as clusters.
#include "FsControl.h"
#include "Platform.h"
#include "Records.h"

namespace ntfs {

namespace rec = plat::rec;

std::int32_t GetVolumeBitmap(ntfs_volume* vol, const void* input, std::uint32_t inputLength,
                             void* output, std::uint32_t outputLength,
                             std::uint64_t& information) {
  information = 0;
  if (!input || inputLength < 8 || !output) return plat::STATUS_INVALID_PARAMETER;
  if (outputLength < rec::kBitmapBitsOffset) return kStatusBufferTooSmall;
  const std::int64_t requested = rec::LoadI64(input, 0);
  const std::int64_t clusters = vol->nr_clusters;
  if (requested < 0 || requested >= clusters) return plat::STATUS_INVALID_PARAMETER;
  const std::int64_t start = requested & ~std::int64_t{7};

  const std::int64_t remaining = clusters - start;
  const std::int64_t roomBits = static_cast<std::int64_t>(outputLength - rec::kBitmapBitsOffset) * 8;
  const std::int64_t bits = std::min(remaining, roomBits);
  const std::int64_t bytes = (bits + 7) / 8;
  auto* out = static_cast<std::uint8_t*>(output) + rec::kBitmapBitsOffset;
  if (bytes > 0 && ntfs_attr_pread(vol->lcnbmp_na, start / 8, bytes, out) != bytes)
    return plat::STATUS_UNEXPECTED_IO_ERROR;
  if (bits % 8) out[bytes - 1] &= static_cast<std::uint8_t>((1u << (bits % 8)) - 1);

  rec::StoreI64(output, rec::kBitmapStartingLcnOffset, start);
  rec::StoreI64(output, rec::kBitmapSizeOffset, remaining);
  information = rec::kBitmapBitsOffset + static_cast<std::uint64_t>(bytes);
  return bits < remaining ? plat::STATUS_BUFFER_OVERFLOW : plat::STATUS_SUCCESS;
}

}  // namespace ntfs
