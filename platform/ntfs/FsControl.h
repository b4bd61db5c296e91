// The three file-system control requests on a mounted volume, with the
// byte records and NTSTATUS answers of Windows. Called with LibraryLock()
// held. `information` receives the byte count written to `output`.
#pragma once

#include <cstdint>

#include "NtfsLib.h"

namespace ntfs {

class MountedVolume;

// Beyond the shared status set: an output buffer too small for the header.
inline constexpr std::int32_t kStatusBufferTooSmall = static_cast<std::int32_t>(0xC0000023u);

// FSCTL_GET_RETRIEVAL_POINTERS for the file `mref`.
std::int32_t GetRetrievalPointers(ntfs_volume* vol, std::uint64_t mref, const void* input,
                                  std::uint32_t inputLength, void* output,
                                  std::uint32_t outputLength, std::uint64_t& information);

// FSCTL_GET_VOLUME_BITMAP.
std::int32_t GetVolumeBitmap(ntfs_volume* vol, const void* input, std::uint32_t inputLength,
                             void* output, std::uint32_t outputLength,
                             std::uint64_t& information);

// FSCTL_MOVE_FILE of the file `mref` (the handle in the record already
// resolved by the caller); see ClusterMove.cpp for the order of writes.
std::int32_t MoveFileClusters(MountedVolume& volume, std::uint64_t mref, std::int64_t startVcn,
                              std::int64_t targetLcn, std::uint32_t clusterCount);

}  // namespace ntfs
