// Moves through FSCTL_MOVE_FILE on real images: the data stays the same
// (read back with ntfscat), the runs land where asked, the volume checks
// clean (ntfsresize), and refused requests change nothing at all.
#include <gtest/gtest.h>

#include "DefragAPI.h"
#include "NtfsTestSupport.h"

namespace {

using namespace ntfstest;

constexpr char kLayout[] = R"(
size 6M
file frag.bin size=65536 frag=8
file other.bin size=40000 frag=5
file plain.bin size=20000
sparse holes.bin size=1048576 data=0+4096,524288+8192
compressed packed.bin size=262144
file tiny.txt size=40
file "Ünïcødé\日本語.bin" size=30000 frag=3
)";

const char* const kFiles[] = {"frag.bin", "other.bin", "plain.bin", "holes.bin", "packed.bin",
                              "tiny.txt", "Ünïcødé/日本語.bin"};

class Moves : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildImage(kLayout, Image());
    for (const char* f : kFiles) before_[f] = Sha256Hex(NtfsCat(Image(), f));
  }
  std::string Image() const { return dir_ / "c.img"; }

  // Every file reads back as before and the volume checks clean.
  void ExpectIntact() {
    for (const char* f : kFiles) EXPECT_EQ(Sha256Hex(NtfsCat(Image(), f)), before_[f]) << f;
    int leaked = 0;
    std::string report;
    EXPECT_TRUE(VolumeCheck(Image(), leaked, &report).empty()) << report;
    EXPECT_EQ(leaked, 0) << report;
    std::string info;
    RunTool({"ntfsinfo", "-m", Image()}, info);
    EXPECT_NE(info.find("Volume Flags: 0x0000"), std::string::npos) << "left dirty:\n" << info;
  }

  TempDir dir_;
  std::map<std::string, std::string> before_;
};

struct Placed {
  std::vector<Extent> Map;
  std::int32_t Status;
};

// Moves [vcn, vcn+count) of `path` to the lowest free run that fits, with
// everything opened and closed around it.
Placed MoveToFree(const std::string& image, const std::string& path, std::int64_t vcn,
                  std::int64_t count, std::int64_t* target = nullptr) {
  ScopedNtfs ntfs("C=" + image);
  const plat::HANDLE v = OpenVolume('C'), f = OpenFile("C:\\" + path);
  const std::int64_t lcn = FindFree(ReadBitmap(v), count, 100);
  if (target) *target = lcn;
  Placed p;
  p.Status = Move(v, f, vcn, lcn, static_cast<std::uint32_t>(count));
  p.Map = ReadMap(f);
  plat::CloseHandle(f);
  plat::CloseHandle(v);
  return p;
}

std::int64_t Clusters(const std::vector<Extent>& map) {
  return map.empty() ? 0 : map.back().Vcn + map.back().Length;
}

TEST_F(Moves, WholeFragmentedFileBecomesOneRun) {
  std::int64_t target = 0;
  const auto p = MoveToFree(Image(), "frag.bin", 0, 16, &target);
  EXPECT_EQ(p.Status, plat::STATUS_SUCCESS);
  EXPECT_EQ(p.Map, (std::vector<Extent>{{0, target, 16}}));
  EXPECT_EQ(NtfsclusterRuns(Image(), "frag.bin"), (std::vector<ToolRun>{{0, target, 16}}));
  ExpectIntact();
}

TEST_F(Moves, PartOfAFileMovesAndTheRestStays) {
  std::vector<Extent> start;
  {
    ScopedNtfs ntfs("C=" + Image());
    const plat::HANDLE f = OpenFile("C:\\other.bin");
    start = ReadMap(f);
    plat::CloseHandle(f);
  }
  ASSERT_GE(start.size(), 3u);
  // The second and third runs, from their first VCN on.
  const std::int64_t vcn = start[1].Vcn, count = start[1].Length + start[2].Length;
  std::int64_t target = 0;
  const auto p = MoveToFree(Image(), "other.bin", vcn, count, &target);
  ASSERT_EQ(p.Status, plat::STATUS_SUCCESS);
  EXPECT_EQ(p.Map.front(), start.front());
  EXPECT_EQ(p.Map[1], (Extent{vcn, target, count}));
  EXPECT_EQ(Clusters(p.Map), Clusters(start));
  ExpectIntact();
}

TEST_F(Moves, HolesStayHoles) {
  const auto p = MoveToFree(Image(), "holes.bin", 0, 256);
  ASSERT_EQ(p.Status, plat::STATUS_SUCCESS);
  ASSERT_EQ(p.Map.size(), 4u);
  EXPECT_EQ(p.Map[1].Lcn, -1);
  EXPECT_EQ(p.Map[3].Lcn, -1);
  EXPECT_EQ(p.Map[2].Lcn, p.Map[0].Lcn + p.Map[0].Length) << "allocated clusters one after another";
  ExpectIntact();
}

TEST_F(Moves, CompressedUnitsMoveWhole) {
  const auto p = MoveToFree(Image(), "packed.bin", 16, 32);
  ASSERT_EQ(p.Status, plat::STATUS_SUCCESS);
  EXPECT_EQ(Clusters(p.Map), 64);
  ExpectIntact();
}

TEST_F(Moves, NonAsciiNamedFile) {
  const auto p = MoveToFree(Image(), "Ünïcødé\\日本語.bin", 0, 8);
  ASSERT_EQ(p.Status, plat::STATUS_SUCCESS);
  EXPECT_EQ(p.Map.size(), 1u);
  ExpectIntact();
}

TEST_F(Moves, EngineDefragmentsEveryFile) {
  {
    ScopedNtfs ntfs("C=" + Image());
    for (const char* f : kFiles) {
      std::string path = std::string("C:\\") + f;
      std::replace(path.begin(), path.end(), '/', '\\');
      const std::int32_t r = DefragmentFile(path);
      EXPECT_TRUE(r == DEFRAG_RESULT_OK || r == plat::STATUS_END_OF_FILE) << f << " -> " << r;
      const plat::HANDLE h = OpenFile(path);
      std::vector<Extent> real;
      for (const auto& e : ReadMap(h))
        if (e.Lcn >= 0) real.push_back(e);
      for (std::size_t i = 1; i < real.size(); ++i)
        EXPECT_EQ(real[i].Lcn, real[i - 1].Lcn + real[i - 1].Length) << f << " still fragmented";
      plat::CloseHandle(h);
    }
  }
  ExpectIntact();
}

TEST_F(Moves, RefusalsChangeNothing) {
  const std::string imageBefore = FileSha256(Image());
  {
    ScopedNtfs ntfs("C=" + Image());
    const plat::HANDLE v = OpenVolume('C');
    const plat::HANDLE frag = OpenFile("C:\\frag.bin"), plain = OpenFile("C:\\plain.bin");
    const plat::HANDLE mft = OpenFile("C:\\$MFT"), tiny = OpenFile("C:\\tiny.txt");
    const plat::HANDLE packed = OpenFile("C:\\packed.bin");
    ASSERT_NE(mft, plat::INVALID_HANDLE_VALUE);
    const auto used = ReadBitmap(v);
    const auto fragMap = ReadMap(frag), plainMap = ReadMap(plain);
    const std::int64_t free16 = FindFree(used, 16, 100), clusters = static_cast<std::int64_t>(used.size());
    struct Case {
      const char* what;
      plat::HANDLE file;
      std::int64_t vcn, lcn;
      std::uint32_t count;
      std::int32_t status;
    } cases[] = {
        {"target in use", frag, 0, plainMap[0].Lcn, 4, plat::STATUS_ALREADY_COMMITTED},
        {"target partly in use", frag, 0, plainMap[0].Lcn - 2, 4, plat::STATUS_ALREADY_COMMITTED},
        {"target overlaps the source", frag, 0, fragMap[0].Lcn + 1, 4, plat::STATUS_ALREADY_COMMITTED},
        {"range past the end", frag, 10, free16, 7, plat::STATUS_INVALID_PARAMETER},
        {"start past the end", frag, 16, free16, 1, plat::STATUS_INVALID_PARAMETER},
        {"negative start", frag, -1, free16, 2, plat::STATUS_INVALID_PARAMETER},
        {"no clusters", frag, 0, free16, 0, plat::STATUS_INVALID_PARAMETER},
        {"target past the volume", frag, 0, clusters - 2, 4, plat::STATUS_INVALID_PARAMETER},
        {"negative target", frag, 0, -5, 4, plat::STATUS_INVALID_PARAMETER},
        {"system file", mft, 0, free16, 1, plat::STATUS_ACCESS_DENIED},
        {"data in the record", tiny, 0, free16, 1, plat::STATUS_INVALID_PARAMETER},
        {"half a compression unit", packed, 8, free16, 8, plat::STATUS_INVALID_PARAMETER},
        {"unknown file handle", 0x7777, 0, free16, 1, plat::STATUS_INVALID_HANDLE},
        {"volume handle as file", v, 0, free16, 1, plat::STATUS_INVALID_HANDLE},
    };
    for (const auto& c : cases) EXPECT_EQ(Move(v, c.file, c.vcn, c.lcn, c.count), c.status) << c.what;
    EXPECT_EQ(ReadBitmap(v), used);
    for (plat::HANDLE h : {frag, plain, mft, tiny, packed, v}) plat::CloseHandle(h);
  }
  EXPECT_EQ(FileSha256(Image()), imageBefore) << "a refused move wrote to the image";
}

}  // namespace
