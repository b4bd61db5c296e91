// The simulated backend's own contract: what tests elsewhere rely on.
#include "Records.h"
#include "SimFixture.h"

using namespace plat;
using sim::Extent;

namespace {

std::vector<std::pair<std::string, std::uint32_t>> List(const std::string& pattern) {
  std::vector<std::pair<std::string, std::uint32_t>> out;
  FindData d;
  HANDLE h = Current().FindFirstFileA(pattern, d);
  if (h == INVALID_HANDLE_VALUE) return out;
  do out.emplace_back(d.Name, d.Attributes);
  while (Current().FindNextFileA(h, d));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  Current().FindClose(h);
  return out;
}

TEST_F(SimTest, EnumerationListsDotsOnlyBelowTheRoot) {
  sim::SimVolume& v = AddC();
  v.AddFolder("Mail");
  v.AddFile("Mail\\inbox.mbx", {{10, 4}}, -1, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);
  v.AddFolder("System Volume Information", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  using Entries = std::vector<std::pair<std::string, std::uint32_t>>;
  EXPECT_EQ(List("C:\\*.*"),
            (Entries{{"Mail", FILE_ATTRIBUTE_DIRECTORY},
                     {"System Volume Information",
                      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM}}));
  EXPECT_EQ(List("c:\\mail\\*.*"),
            (Entries{{".", FILE_ATTRIBUTE_DIRECTORY},
                     {"..", FILE_ATTRIBUTE_DIRECTORY},
                     {"inbox.mbx", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN}}));
  EXPECT_TRUE(List("C:\\Nowhere\\*.*").empty());
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(machine->OpenHandleCount(), 0);
}

TEST_F(SimTest, SizesAndAttributes) {
  sim::SimVolume& v = AddC();
  v.AddFile("big.dat", {{10, 4}}, 5'000'000'000LL);
  v.AddFile("plain.dat", {{20, 3}});
  HANDLE h;
  ASSERT_EQ(OpenFileHandle("C:\\BIG.DAT", h), 0);
  std::int64_t size = 0;
  EXPECT_TRUE(Current().GetFileSizeEx(h, size));
  EXPECT_EQ(size, 5'000'000'000LL);
  CloseHandle(h);
  ASSERT_EQ(OpenFileHandle("C:\\plain.dat", h), 0);
  EXPECT_TRUE(Current().GetFileSizeEx(h, size));
  EXPECT_EQ(size, 3 * 4096);
  CloseHandle(h);
  EXPECT_EQ(Current().GetFileAttributesA("C:\\"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(Current().GetFileAttributesA("C:\\nope"), INVALID_FILE_ATTRIBUTES);
}

std::int32_t Move(HANDLE volume, HANDLE file, std::int64_t vcn, std::int64_t lcn,
                  std::uint32_t count) {
  return MoveClusters(volume, file, vcn, lcn, count);
}

TEST_F(SimTest, MovesRelocateAllocatedClustersAndKeepHoles) {
  sim::SimVolume& v = AddC(1000);
  v.AddFile("a.dat", {{100, 4}, {-1, 8}, {200, 4}, {300, 2}});
  HANDLE file, volume;
  ASSERT_EQ(OpenFileAndVolume("C:\\a.dat", file, volume), 0);
  const std::int64_t usedBefore = v.UsedCount();

  struct Case { std::int64_t vcn, lcn; std::uint32_t count; std::int32_t status; };
  for (const Case& c : {Case{0, 500, 20, STATUS_INVALID_PARAMETER},   // past the file's end
                        Case{0, 998, 16, STATUS_INVALID_PARAMETER},   // past the volume's end
                        Case{0, 98, 16, STATUS_ALREADY_COMMITTED},    // overlaps its own clusters
                        Case{4, 600, 8, STATUS_SUCCESS}}) {           // holes only: nothing to do
    EXPECT_EQ(Move(volume, file, c.vcn, c.lcn, c.count), c.status);
    EXPECT_EQ(v.ExtentsOf("a.dat"), (std::vector<Extent>{{100, 4}, {-1, 8}, {200, 4}, {300, 2}}));
  }
  ASSERT_EQ(Move(volume, file, 2, 500, 12), STATUS_SUCCESS);  // VCNs 2..13: 2 + hole + 2
  EXPECT_EQ(v.ExtentsOf("a.dat"),
            (std::vector<Extent>{{100, 2}, {500, 2}, {-1, 8}, {502, 2}, {202, 2}, {300, 2}}));
  EXPECT_EQ(v.UsedCount(), usedBefore);
  EXPECT_TRUE(v.IsUsed(503) && !v.IsUsed(504) && !v.IsUsed(102) && !v.IsUsed(200));
  CloseHandle(file);
  CloseHandle(volume);
}

TEST_F(SimTest, BitmapAnswersFromAByteBoundaryWithTheRemainingSize) {
  AddC(3'000'001);
  HANDLE volume;
  ASSERT_EQ(OpenVolumeHandle("C:\\x", volume), 0);
  std::vector<std::uint8_t> out(rec::kBitmapBufferSize);
  std::uint8_t in[8];
  rec::StoreI64(in, 0, 2'097'155);
  IO_STATUS_BLOCK iosb;
  EXPECT_EQ(NtFsControlFile(volume, iosb, FSCTL_GET_VOLUME_BITMAP, in, 8, out.data(),
                            static_cast<std::uint32_t>(out.size())),
            STATUS_SUCCESS);
  EXPECT_EQ(rec::LoadI64(out.data(), 0), 2'097'152);
  EXPECT_EQ(rec::LoadI64(out.data(), 8), 3'000'001 - 2'097'152);
  rec::StoreI64(in, 0, 0);
  EXPECT_EQ(NtFsControlFile(volume, iosb, FSCTL_GET_VOLUME_BITMAP, in, 8, out.data(),
                            static_cast<std::uint32_t>(out.size())),
            STATUS_BUFFER_OVERFLOW);
  rec::StoreI64(in, 0, 3'000'001);
  EXPECT_EQ(NtFsControlFile(volume, iosb, FSCTL_GET_VOLUME_BITMAP, in, 8, out.data(),
                            static_cast<std::uint32_t>(out.size())),
            STATUS_INVALID_PARAMETER);
  CloseHandle(volume);
}

}  // namespace
