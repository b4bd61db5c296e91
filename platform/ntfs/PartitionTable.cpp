#include "PartitionTable.h"

#include <array>
#include <vector>

#include "Records.h"

namespace ntfs {
namespace {

using plat::rec::LoadU32;
using plat::rec::LoadU64;

constexpr std::uint64_t kSector = 512;

bool IsExtended(std::uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

struct MbrEntry {
  std::uint8_t Type = 0;
  std::uint64_t Start = 0;  // sectors
  std::uint64_t Count = 0;
};

bool ReadMbr(const ReadAt& read, std::uint64_t at, std::array<MbrEntry, 4>& entries) {
  std::array<std::uint8_t, kSector> s{};
  if (!read(at, s.data(), s.size()) || s[510] != 0x55 || s[511] != 0xAA) return false;
  for (std::size_t i = 0; i < 4; ++i) {
    const std::uint8_t* e = s.data() + 446 + 16 * i;
    entries[i] = {e[4], LoadU32(e, 8), LoadU32(e, 12)};
  }
  return true;
}

bool Finish(std::uint64_t startSector, std::uint64_t sectors, std::uint64_t sectorSize,
            std::uint64_t diskSize, ByteRange& range, std::string& problem) {
  range = {startSector * sectorSize, sectors * sectorSize};
  if (range.Length == 0 || range.Offset >= diskSize || range.Length > diskSize - range.Offset) {
    problem = "the partition lies outside the disk image";
    return false;
  }
  return true;
}

// Logical partition `number` (5, 6, ...) in the chain of extended boot
// records that starts at sector `extStart`.
bool FindLogical(const ReadAt& read, std::uint64_t diskSize, std::uint64_t extStart, int number,
                 ByteRange& range, std::string& problem) {
  std::uint64_t ebr = extStart;
  for (int n = 5; n <= number && n < 5 + 256; ++n) {
    std::array<MbrEntry, 4> e;
    if (!ReadMbr(read, ebr * kSector, e)) break;
    if (n == number) {
      if (e[0].Type == 0) break;
      return Finish(ebr + e[0].Start, e[0].Count, kSector, diskSize, range, problem);
    }
    if (!IsExtended(e[1].Type) || e[1].Start == 0) break;
    ebr = extStart + e[1].Start;
  }
  problem = "no logical partition " + std::to_string(number);
  return false;
}

bool FindGpt(const ReadAt& read, std::uint64_t diskSize, int number, ByteRange& range,
             std::string& problem) {
  for (std::uint64_t sector : {std::uint64_t{512}, std::uint64_t{4096}}) {
    std::vector<std::uint8_t> h(sector);
    if (!read(sector, h.data(), h.size()) || std::string(h.begin(), h.begin() + 8) != "EFI PART")
      continue;
    const std::uint32_t headerSize = LoadU32(h.data(), 12);
    if (headerSize < 92 || headerSize > sector) continue;
    std::vector<std::uint8_t> hc(h.begin(), h.begin() + headerSize);
    plat::rec::StoreU32(hc.data(), 16, 0);
    if (Crc32(hc.data(), hc.size()) != LoadU32(h.data(), 16)) {
      problem = "the GPT header checksum is wrong";
      return false;
    }
    const std::uint64_t entriesLba = LoadU64(h.data(), 72);
    const std::uint32_t count = LoadU32(h.data(), 80), size = LoadU32(h.data(), 84);
    if (number > static_cast<int>(count) || size < 128 || size > 4096) break;
    std::vector<std::uint8_t> e(size);
    if (!read(entriesLba * sector + static_cast<std::uint64_t>(number - 1) * size, e.data(), size))
      break;
    const std::uint64_t first = LoadU64(e.data(), 32), last = LoadU64(e.data(), 40);
    if (LoadU64(e.data(), 0) == 0 && LoadU64(e.data(), 8) == 0) break;  // unused entry
    if (last < first) break;
    return Finish(first, last - first + 1, sector, diskSize, range, problem);
  }
  if (problem.empty()) problem = "no GPT partition " + std::to_string(number);
  return false;
}

}  // namespace

bool FindPartition(const ReadAt& read, std::uint64_t diskSize, int number, ByteRange& range,
                   std::string& problem) {
  problem.clear();
  std::array<MbrEntry, 4> mbr;
  if (number < 1 || !ReadMbr(read, 0, mbr)) {
    problem = "no partition table";
    return false;
  }
  for (const auto& e : mbr)
    if (e.Type == 0xEE) return FindGpt(read, diskSize, number, range, problem);
  if (number <= 4) {
    const MbrEntry& e = mbr[static_cast<std::size_t>(number - 1)];
    if (e.Type != 0 && !IsExtended(e.Type))
      return Finish(e.Start, e.Count, kSector, diskSize, range, problem);
    problem = "no primary partition " + std::to_string(number);
    return false;
  }
  for (const auto& e : mbr)
    if (IsExtended(e.Type)) return FindLogical(read, diskSize, e.Start, number, range, problem);
  problem = "no extended partition";
  return false;
}

}  // namespace ntfs
