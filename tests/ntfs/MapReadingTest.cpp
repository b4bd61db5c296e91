// File maps and the volume bitmap as the backend reads them, compared with
// what the ntfs-3g tools report for the same image.
#include <gtest/gtest.h>

#include <sstream>

#include "FsControl.h"
#include "NtfsTestSupport.h"
#include "Records.h"

namespace {

using namespace ntfstest;
namespace rec = plat::rec;

// 1026 clusters: the last $Bitmap byte holds 2 clusters and 6 padding bits.
constexpr char kLayout[] = R"(
size 4206592
file plain.bin size=20000
file frag1.bin size=65536 frag=8
file frag2.bin size=40000 frag=5
sparse holes.bin size=1048576 data=0+4096,524288+8192
sparse tailhole.bin size=200000 data=0+5000
compressed packed.bin size=262144
file "Ünïcødé dir\日本語.bin" size=9000
file tiny.txt size=40
file empty.txt size=0
)";

class MapReading : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    BuildImage(kLayout, Image());
  }
  static void TearDownTestSuite() { delete dir_; }
  static std::string Image() { return *dir_ / "c.img"; }
  void SetUp() override { ntfs_ = std::make_unique<ScopedNtfs>("C=" + Image()); }

  static TempDir* dir_;
  std::unique_ptr<ScopedNtfs> ntfs_;
};
TempDir* MapReading::dir_ = nullptr;

TEST_F(MapReading, MapsMatchNtfscluster) {
  struct Case { const char* path; std::size_t minRuns; } cases[] = {
      {"plain.bin", 1},    {"frag1.bin", 5},   {"frag2.bin", 4},
      {"holes.bin", 4},    {"tailhole.bin", 2}, {"packed.bin", 8},
      {"Ünïcødé dir/日本語.bin", 1},
  };
  for (const auto& c : cases) {
    std::string win = std::string("C:\\") + c.path;
    std::replace(win.begin(), win.end(), '/', '\\');
    const plat::HANDLE h = OpenFile(win);
    ASSERT_NE(h, plat::INVALID_HANDLE_VALUE) << c.path;
    std::int32_t status = 0;
    const auto ours = ReadMap(h, &status);
    plat::CloseHandle(h);
    EXPECT_EQ(status, plat::STATUS_SUCCESS) << c.path;
    const auto theirs = NtfsclusterRuns(Image(), std::string("/") + c.path);
    ASSERT_EQ(ours.size(), theirs.size()) << c.path;
    EXPECT_GE(ours.size(), c.minRuns) << c.path << " is not laid out as the test needs";
    for (std::size_t i = 0; i < ours.size(); ++i)
      EXPECT_EQ((ToolRun{ours[i].Vcn, ours[i].Lcn, ours[i].Length}), theirs[i]) << c.path << " run " << i;
  }
}

TEST_F(MapReading, DataInTheFileRecordIsEndOfFile) {
  for (const char* path : {"C:\\tiny.txt", "C:\\empty.txt"}) {
    const plat::HANDLE h = OpenFile(path);
    std::int32_t status = 0;
    EXPECT_TRUE(ReadMap(h, &status).empty());
    EXPECT_EQ(status, plat::STATUS_END_OF_FILE) << path;
    plat::CloseHandle(h);
  }
}

// One RETRIEVAL_POINTERS request with an output buffer for `room` extents.
std::int32_t MapRequest(plat::HANDLE h, std::int64_t vcn, std::size_t room, std::vector<std::uint8_t>& out) {
  std::uint8_t in[8];
  rec::StoreI64(in, 0, vcn);
  out.assign(16 + 16 * room, 0xCC);
  plat::IO_STATUS_BLOCK iosb;
  return plat::NtFsControlFile(h, iosb, plat::FSCTL_GET_RETRIEVAL_POINTERS, in, 8, out.data(),
                               static_cast<std::uint32_t>(out.size()));
}

TEST_F(MapReading, StartingVcnAndShortBuffers) {
  const plat::HANDLE h = OpenFile("C:\\holes.bin");
  const auto all = ReadMap(h);
  ASSERT_GE(all.size(), 3u);
  std::vector<std::uint8_t> out;
  // A VCN inside the second run: the answer starts where that run starts.
  EXPECT_EQ(MapRequest(h, all[1].Vcn + 1, 64, out), plat::STATUS_SUCCESS);
  EXPECT_EQ(rec::LoadU32(out.data(), 0), all.size() - 1);
  EXPECT_EQ(rec::LoadI64(out.data(), 8), all[1].Vcn);
  EXPECT_EQ(rec::LoadI64(out.data(), 24), all[1].Lcn);
  // Room for one extent: that one, and "more follows".
  EXPECT_EQ(MapRequest(h, 0, 1, out), plat::STATUS_BUFFER_OVERFLOW);
  EXPECT_EQ(rec::LoadU32(out.data(), 0), 1u);
  EXPECT_EQ(rec::LoadI64(out.data(), 16), all[0].Vcn + all[0].Length);
  const std::int64_t end = all.back().Vcn + all.back().Length;
  struct Case { std::int64_t vcn; std::size_t room; std::int32_t status; } cases[] = {
      {end, 8, plat::STATUS_END_OF_FILE},
      {end + 100, 8, plat::STATUS_END_OF_FILE},
      {-1, 8, plat::STATUS_INVALID_PARAMETER},
      {0, 0, ntfs::kStatusBufferTooSmall},
  };
  for (const auto& c : cases) EXPECT_EQ(MapRequest(h, c.vcn, c.room, out), c.status) << c.vcn;
  plat::CloseHandle(h);
}

TEST_F(MapReading, RequestsOnTheWrongHandle) {
  const plat::HANDLE v = OpenVolume('C');
  const plat::HANDLE f = OpenFile("C:\\plain.bin");
  std::vector<std::uint8_t> out(1024);
  std::uint8_t in[8] = {};
  plat::IO_STATUS_BLOCK iosb;
  EXPECT_EQ(plat::NtFsControlFile(v, iosb, plat::FSCTL_GET_RETRIEVAL_POINTERS, in, 8, out.data(), 1024),
            plat::STATUS_INVALID_PARAMETER);
  EXPECT_EQ(plat::NtFsControlFile(f, iosb, plat::FSCTL_GET_VOLUME_BITMAP, in, 8, out.data(), 1024),
            plat::STATUS_INVALID_PARAMETER);
  EXPECT_EQ(plat::NtFsControlFile(f, iosb, 0x90000, in, 8, out.data(), 1024), plat::STATUS_INVALID_DEVICE_REQUEST);
  EXPECT_EQ(plat::NtFsControlFile(12345, iosb, plat::FSCTL_GET_VOLUME_BITMAP, in, 8, out.data(), 1024),
            plat::STATUS_INVALID_HANDLE);
  EXPECT_EQ(iosb.Status, plat::STATUS_INVALID_HANDLE);
  EXPECT_EQ(plat::WaitForSingleObject(v, plat::INFINITE), plat::WAIT_OBJECT_0);
  EXPECT_EQ(plat::WaitForSingleObject(12345, 0), plat::WAIT_FAILED);
  plat::CloseHandle(f);
  plat::CloseHandle(v);
}

std::int64_t ToolFreeClusters(const std::string& image) {
  std::string out;
  RunTool({"ntfsinfo", "-m", image}, out);
  const auto at = out.find("Free Clusters:");
  return at == std::string::npos ? -1 : std::stoll(out.substr(at + 14));
}

TEST_F(MapReading, BitmapMatchesTheVolumeAndHidesPadding) {
  // On disk, the bits past the last cluster are set.
  const auto raw = NtfsCat(Image(), "$Bitmap");
  ASSERT_GT(raw.size(), 129u);
  EXPECT_EQ(raw[128] & 0xFC, 0xFC);

  const std::int64_t toolFree = ToolFreeClusters(Image());  // before we lock the image

  const plat::HANDLE v = OpenVolume('C');
  const auto used = ReadBitmap(v);
  EXPECT_EQ(used.size(), 1026u);
  EXPECT_EQ(std::count(used.begin(), used.end(), false), toolFree);
  for (std::size_t i = 0; i < used.size(); ++i)
    ASSERT_EQ(used[i], ((raw[i / 8] >> (i % 8)) & 1) != 0) << "cluster " << i;

  // The request's answer itself: header, rounding, padding bits cleared.
  std::vector<std::uint8_t> out(16 + 200, 0xEE);
  std::uint8_t in[8];
  plat::IO_STATUS_BLOCK iosb;
  rec::StoreI64(in, 0, 1021);  // rounds down to 1016
  ASSERT_EQ(plat::NtFsControlFile(v, iosb, plat::FSCTL_GET_VOLUME_BITMAP, in, 8, out.data(), 216),
            plat::STATUS_SUCCESS);
  EXPECT_EQ(rec::LoadI64(out.data(), 0), 1016);
  EXPECT_EQ(rec::LoadI64(out.data(), 8), 10);
  EXPECT_EQ(iosb.Information, 16u + 2u);
  EXPECT_EQ(out[17] & 0xFC, 0) << "padding bits reported as clusters";
  EXPECT_EQ(out[18], 0xEE) << "wrote past the bits it reported";

  struct Case { std::int64_t lcn; std::uint32_t outLen; std::int32_t status; } cases[] = {
      {0, 16 + 8, plat::STATUS_BUFFER_OVERFLOW},  // 64 of 1026 clusters fit
      {1025, 216, plat::STATUS_SUCCESS},  // starts at 1024: two clusters
      {1026, 216, plat::STATUS_INVALID_PARAMETER},
      {-8, 216, plat::STATUS_INVALID_PARAMETER},
      {0, 8, ntfs::kStatusBufferTooSmall},
  };
  for (const auto& c : cases) {
    rec::StoreI64(in, 0, c.lcn);
    EXPECT_EQ(plat::NtFsControlFile(v, iosb, plat::FSCTL_GET_VOLUME_BITMAP, in, 8, out.data(), c.outLen), c.status)
        << c.lcn;
  }
  plat::CloseHandle(v);
}

}  // namespace
