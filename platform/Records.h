// The byte records of the three file-system control requests, in the
// 32-bit Windows layout (little-endian, int64 fields 8-byte aligned).
// Both sides of the seam build and parse them byte by byte through these
// helpers, so nothing depends on the host's struct layout or byte order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat::rec {

// FSCTL_GET_RETRIEVAL_POINTERS: 8-byte STARTING_VCN_INPUT_BUFFER in,
// RETRIEVAL_POINTERS_BUFFER out.
inline constexpr std::size_t kMapBufferSize = 65552;  // header + 4,096 extents
inline constexpr std::size_t kMapMaxExtents = 4096;
inline constexpr std::size_t kMapExtentCountOffset = 0;  // uint32
inline constexpr std::size_t kMapStartingVcnOffset = 8;  // int64
inline constexpr std::size_t kMapExtentsOffset = 16;     // 16 bytes each
inline constexpr std::size_t kMapExtentSize = 16;        // NextVcn, Lcn

// FSCTL_GET_VOLUME_BITMAP: 8-byte STARTING_LCN_INPUT_BUFFER in,
// VOLUME_BITMAP_BUFFER out.
inline constexpr std::size_t kBitmapBufferSize = 131088;  // header + 131,072 bytes
inline constexpr std::int64_t kBitmapMaxClusters = 0x100000;
inline constexpr std::size_t kBitmapStartingLcnOffset = 0;  // int64
inline constexpr std::size_t kBitmapSizeOffset = 8;         // int64
inline constexpr std::size_t kBitmapBitsOffset = 16;

// FSCTL_MOVE_FILE: 32-byte MOVE_FILE_DATA in, no output.
inline constexpr std::size_t kMoveDataSize = 32;
inline constexpr std::size_t kMoveFileHandleOffset = 0;     // 4 bytes
inline constexpr std::size_t kMoveStartingVcnOffset = 8;    // int64
inline constexpr std::size_t kMoveStartingLcnOffset = 16;   // int64
inline constexpr std::size_t kMoveClusterCountOffset = 24;  // uint32

inline std::uint64_t LoadU64(const void* base, std::size_t offset) {
  const auto* p = static_cast<const std::uint8_t*>(base) + offset;
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}
inline std::uint32_t LoadU32(const void* base, std::size_t offset) {
  const auto* p = static_cast<const std::uint8_t*>(base) + offset;
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::int64_t LoadI64(const void* base, std::size_t offset) {
  return static_cast<std::int64_t>(LoadU64(base, offset));
}
inline void StoreU64(void* base, std::size_t offset, std::uint64_t v) {
  auto* p = static_cast<std::uint8_t*>(base) + offset;
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void StoreU32(void* base, std::size_t offset, std::uint32_t v) {
  auto* p = static_cast<std::uint8_t*>(base) + offset;
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void StoreI64(void* base, std::size_t offset, std::int64_t v) {
  StoreU64(base, offset, static_cast<std::uint64_t>(v));
}

}  // namespace plat::rec
