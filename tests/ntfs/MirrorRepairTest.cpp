// The backend's mount mends $MFT and $MFTMirr when they differ only in the
// $Volume record (a change of the volume's flags cut off between the two
// copies) and leaves every other difference alone. Each case damages one
// copy of one record of a fresh image in place, as a cut-off or torn write
// would, then mounts it through the backend.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "NtfsTestSupport.h"

namespace {

using namespace ntfstest;

struct Geometry {
  std::uint64_t Mft = 0, Mirror = 0, Record = 0;  // byte offsets, record size
};

std::vector<char> ReadBytes(const std::string& image, std::uint64_t at, std::size_t n) {
  std::vector<char> b(n);
  std::ifstream in(image, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(at));
  in.read(b.data(), static_cast<std::streamsize>(n));
  return b;
}

Geometry ReadGeometry(const std::string& image) {
  const auto boot = ReadBytes(image, 0, 512);
  const auto u8 = [&](int i) { return static_cast<std::uint8_t>(boot[static_cast<std::size_t>(i)]); };
  const std::uint64_t cluster = (u8(0x0B) | u8(0x0C) << 8) * std::uint64_t{u8(0x0D)};
  std::uint64_t mftLcn = 0, mirrorLcn = 0;
  for (int i = 7; i >= 0; --i) {
    mftLcn = mftLcn << 8 | u8(0x30 + i);
    mirrorLcn = mirrorLcn << 8 | u8(0x38 + i);
  }
  const auto perRecord = static_cast<std::int8_t>(u8(0x40));
  return {mftLcn * cluster, mirrorLcn * cluster,
          perRecord > 0 ? cluster * static_cast<std::uint64_t>(perRecord) : std::uint64_t{1} << -perRecord};
}

void FlipByte(const std::string& image, std::uint64_t at) {
  std::fstream f(image, std::ios::binary | std::ios::in | std::ios::out);
  f.seekg(static_cast<std::streamoff>(at));
  const char c = static_cast<char>(f.get() ^ 0x5A);
  f.seekp(static_cast<std::streamoff>(at));
  f.put(c);
}

struct Case {
  const char* Name;
  bool InMirror;       // which copy is damaged
  int Record;          // 0 $MFT, 1 $MFTMirr, 3 $Volume
  int Offset;          // inside the record: 8 is the header's LSN, 510 an update-sequence slot
  bool MendedByMount;  // else the mount refuses and the image is left as it is
  int AlsoRecord = -1; // a second record of the same copy differs too (at its LSN)
};

TEST(MirrorRepair, OnlyACutOffVolumeRecordIsMended) {
  const Case cases[] = {
      {"mirror's $Volume behind $MFT's", true, 3, 8, true},
      {"$MFT's $Volume torn, the mirror's whole", false, 3, 510, true},
      {"mirror's own record differs", true, 1, 8, false},
      {"$MFT's record of $MFT differs", false, 0, 8, false},
      {"mirror's $Volume behind, and its record of $MFT differs", true, 3, 8, false, 0},
  };
  TempDir dir;
  const std::string pristine = dir / "pristine.img", image = dir / "c.img";
  BuildImage("size 8M\nfile a.bin size=50000 frag=3\n", pristine);
  const Geometry g = ReadGeometry(pristine);
  ASSERT_GT(g.Mft, 0u);
  ASSERT_GE(g.Record, 1024u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    std::filesystem::copy_file(pristine, image, std::filesystem::copy_options::overwrite_existing);
    const std::uint64_t copy = c.InMirror ? g.Mirror : g.Mft;
    FlipByte(image, copy + g.Record * static_cast<std::uint64_t>(c.Record) + static_cast<std::uint64_t>(c.Offset));
    if (c.AlsoRecord >= 0) FlipByte(image, copy + g.Record * static_cast<std::uint64_t>(c.AlsoRecord) + 8);
    const std::string damaged = FileSha256(image);
    ASSERT_EQ(VolumeFlags(image), -1) << "the library should refuse the damaged image";
    plat::HANDLE volume;
    {
      ScopedNtfs ntfs("C=" + image);
      volume = OpenVolume('C');
      plat::CloseHandle(volume);
    }
    if (c.MendedByMount) {
      EXPECT_NE(volume, plat::INVALID_HANDLE_VALUE);
      EXPECT_GE(VolumeFlags(image), 0) << "the library still refuses it";
      EXPECT_EQ(ReadBytes(image, g.Mft + 3 * g.Record, g.Record), ReadBytes(image, g.Mirror + 3 * g.Record, g.Record));
      EXPECT_EQ(NtfsCat(image, "/a.bin"), NtfsCat(pristine, "/a.bin"));
    } else {
      EXPECT_EQ(volume, plat::INVALID_HANDLE_VALUE);
      EXPECT_EQ(FileSha256(image), damaged) << "a difference it does not know was written over";
    }
  }
}

}  // namespace
