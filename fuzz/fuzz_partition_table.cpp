// The partition-table reader: the bytes are the first sectors of a disk
// image; the first byte picks the partition number asked for (1-128, or 0
// and out-of-range numbers now and then), the rest is the disk. Reads past
// the end fail, as they would at the end of a real image.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "PartitionTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int number = data[0] < 130 ? data[0] : 130 - data[0];  // 0..129, then negative
  const std::uint8_t* disk = data + 1;
  const std::uint64_t diskSize = size - 1;
  const ntfs::ReadAt read = [&](std::uint64_t offset, void* buffer, std::size_t length) {
    if (offset > diskSize || length > diskSize - offset) return false;
    std::memcpy(buffer, disk + offset, length);
    return true;
  };
  ntfs::ByteRange range;
  std::string problem;
  if (ntfs::FindPartition(read, diskSize, number, range, problem)) {
    FUZZ_CHECK(number >= 1);
    FUZZ_CHECK(range.Length > 0);
    FUZZ_CHECK(range.Offset < diskSize && range.Length <= diskSize - range.Offset);
    FUZZ_CHECK(range.Offset % 512 == 0 && range.Length % 512 == 0);
  } else {
    FUZZ_CHECK(!problem.empty());
  }
  return 0;
}
