// Locates partition N of a disk image: MBR primary (1-4) and logical (5+,
// through the extended-partition chain) entries, or GPT entries (N is the
// entry's index in the table, as Linux numbers them).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace ntfs {

struct ByteRange {
  std::uint64_t Offset = 0;
  std::uint64_t Length = 0;
};

// Reads `length` bytes at `offset`; false when they cannot all be read.
using ReadAt = std::function<bool(std::uint64_t offset, void* buffer, std::size_t length)>;

// Returns true with the partition's byte range, or false with a message in
// `problem`. The range is checked against `diskSize`.
bool FindPartition(const ReadAt& read, std::uint64_t diskSize, int number, ByteRange& range,
                   std::string& problem);

}  // namespace ntfs
