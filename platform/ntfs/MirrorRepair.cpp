#include "MirrorRepair.h"

#include <unistd.h>

#include <cstring>
#include <vector>

namespace ntfs {
namespace {

constexpr int kVolumeRecord = 3;  // $Volume; records 0-2 come before it in both copies

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::int64_t Le64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return static_cast<std::int64_t>(v);
}

struct Geometry {
  std::uint64_t ClusterSize = 0, RecordSize = 0;
  std::int64_t MftLcn = 0, MirrorLcn = 0;
};

bool ReadGeometry(const std::uint8_t* boot, Geometry& g) {
  if (std::memcmp(boot + 3, "NTFS    ", 8) != 0) return false;
  const std::uint16_t sector = Le16(boot + 0x0B);
  const std::uint8_t spc = boot[0x0D];
  if (sector < 256 || sector > 4096 || (sector & (sector - 1))) return false;
  // Above 0x80 the count is written as a negative power of two.
  const std::uint64_t sectors = spc <= 0x80 ? spc : std::uint64_t{1} << (256 - spc);
  if (sectors == 0 || sectors > 4096) return false;
  g.ClusterSize = sector * sectors;
  const auto perRecord = static_cast<std::int8_t>(boot[0x40]);
  g.RecordSize = perRecord > 0 ? g.ClusterSize * static_cast<std::uint64_t>(perRecord)
                               : std::uint64_t{1} << -perRecord;
  if (perRecord == 0 || perRecord < -16 || g.RecordSize < 512 || g.RecordSize > 65536) return false;
  g.MftLcn = Le64(boot + 0x30);
  g.MirrorLcn = Le64(boot + 0x38);
  return g.MftLcn > 0 && g.MirrorLcn > 0 && g.MftLcn != g.MirrorLcn;
}

// A file record as a single write left it: the magic, in use, and the
// update sequence number at the end of every 512-byte sector.
bool WholeRecord(const std::uint8_t* r, std::uint64_t size) {
  if (std::memcmp(r, "FILE", 4) != 0 || !(Le16(r + 0x16) & 1)) return false;
  const std::uint16_t usaOfs = Le16(r + 4), usaCount = Le16(r + 6);
  if (usaCount != size / 512 + 1 || usaOfs + 2u * usaCount > size || usaOfs & 1) return false;
  const std::uint16_t usn = Le16(r + usaOfs);
  for (std::uint16_t i = 1; i < usaCount; ++i)
    if (Le16(r + i * 512 - 2) != usn) return false;
  return true;
}

bool ReadAll(int fd, std::uint8_t* buf, std::uint64_t len, std::uint64_t at) {
  return pread(fd, buf, len, static_cast<off_t>(at)) == static_cast<ssize_t>(len);
}

}  // namespace

MirrorRepair RepairVolumeRecordMirror(int fd, std::uint64_t offset, std::string& what) {
  std::uint8_t boot[512];
  Geometry g;
  if (!ReadAll(fd, boot, sizeof boot, offset)) return MirrorRepair::Failed;
  if (!ReadGeometry(boot, g)) return MirrorRepair::NotOurCase;
  const std::uint64_t span = g.RecordSize * (kVolumeRecord + 1);
  std::vector<std::uint8_t> mft(span), mirror(span);
  const std::uint64_t mftAt = offset + static_cast<std::uint64_t>(g.MftLcn) * g.ClusterSize;
  const std::uint64_t mirrorAt = offset + static_cast<std::uint64_t>(g.MirrorLcn) * g.ClusterSize;
  if (!ReadAll(fd, mft.data(), span, mftAt) || !ReadAll(fd, mirror.data(), span, mirrorAt))
    return MirrorRepair::Failed;
  const std::uint64_t volumeAt = g.RecordSize * kVolumeRecord;
  if (std::memcmp(mft.data(), mirror.data(), volumeAt) != 0) return MirrorRepair::NotOurCase;
  const std::uint8_t* inMft = mft.data() + volumeAt;
  const std::uint8_t* inMirror = mirror.data() + volumeAt;
  if (std::memcmp(inMft, inMirror, g.RecordSize) == 0) return MirrorRepair::InStep;
  // $MFT is written first, so its copy is the newer one unless that write
  // was torn.
  const bool fromMft = WholeRecord(inMft, g.RecordSize);
  if (!fromMft && !WholeRecord(inMirror, g.RecordSize)) return MirrorRepair::NotOurCase;
  const std::uint8_t* good = fromMft ? inMft : inMirror;
  const std::uint64_t to = (fromMft ? mirrorAt : mftAt) + volumeAt;
  if (pwrite(fd, good, g.RecordSize, static_cast<off_t>(to)) != static_cast<ssize_t>(g.RecordSize) ||
      fdatasync(fd) != 0)
    return MirrorRepair::Failed;
  what = fromMft ? "the copy of $Volume in $MFTMirr was rewritten from $MFT"
                 : "$Volume in $MFT was rewritten from its copy in $MFTMirr";
  return MirrorRepair::Repaired;
}

}  // namespace ntfs
