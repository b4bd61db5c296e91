// Drive letters on partitions of disk images: MBR (primary and logical)
// and GPT tables written by sfdisk, and a disk image from the
// forensics-samples-ntfs package. The volume is read and moved in place;
// the rest of the disk image stays untouched.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "NtfsTestSupport.h"
#include "PartitionTable.h"

namespace {

using namespace ntfstest;

constexpr char kLayout[] = R"(
size 3M
file frag.bin size=40000 frag=4
file plain.bin size=9000
)";
constexpr std::uint64_t kSector = 512;

std::vector<std::uint8_t> ReadRange(const std::string& path, std::uint64_t off, std::uint64_t len) {
  std::vector<std::uint8_t> data(len);
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(off));
  in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(len));
  return data;
}

void WriteRange(const std::string& path, std::uint64_t off, const std::vector<std::uint8_t>& data) {
  std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
  out.seekp(static_cast<std::streamoff>(off));
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// A disk image partitioned by sfdisk with `script`, the NTFS image copied
// to `ntfsStart` (in sectors) and every other byte set to 0x5A.
void MakeDisk(const std::string& disk, const std::string& script, const std::string& ntfs,
              std::uint64_t ntfsStart, std::uint64_t diskSectors) {
  std::filesystem::remove(disk);
  WriteRange(disk, 0, {});
  { std::ofstream(disk, std::ios::binary) << std::string(diskSectors * kSector, '\x5A'); }
  const std::string scriptFile = disk + ".sfdisk";
  std::ofstream(scriptFile) << script;
  std::string out;
  ASSERT_EQ(RunTool({"sh", "-c", "sfdisk --no-reread --no-tell-kernel '" + disk + "' < '" + scriptFile + "'"}, out, true), 0)
      << out;
  const auto size = std::filesystem::file_size(ntfs);
  WriteRange(disk, ntfsStart * kSector, ReadRange(ntfs, 0, size));
}

class Partitions : public ::testing::Test {
 protected:
  void SetUp() override { BuildImage(kLayout, dir_ / "ntfs.img"); }
  std::string Ntfs() const { return dir_ / "ntfs.img"; }

  // Moves frag.bin on drive C (a partition), then checks the partition
  // with the tools and that bytes outside it were not touched.
  void MoveAndCheck(const std::string& disk, std::uint64_t start) {
    const auto size = std::filesystem::file_size(Ntfs());
    const std::string before = Sha256Hex(NtfsCat(Ntfs(), "frag.bin"));
    const auto head = ReadRange(disk, 0, start * kSector);
    const auto tailAt = start * kSector + size;
    const auto tail = ReadRange(disk, tailAt, std::filesystem::file_size(disk) - tailAt);
    {
      ScopedNtfs ntfs("C=" + disk + ":" + std::to_string(partition_));
      const plat::HANDLE v = OpenVolume('C'), f = OpenFile("C:\\frag.bin");
      ASSERT_NE(f, plat::INVALID_HANDLE_VALUE) << plat::GetLastError();
      const auto map = ReadMap(f);
      const auto theirs = NtfsclusterRuns(Ntfs(), "frag.bin");
      ASSERT_EQ(map.size(), theirs.size());
      for (std::size_t i = 0; i < map.size(); ++i) EXPECT_EQ((ToolRun{map[i].Vcn, map[i].Lcn, map[i].Length}), theirs[i]);
      const std::int64_t lcn = FindFree(ReadBitmap(v), 10, 100);
      EXPECT_EQ(Move(v, f, 0, lcn, 10), plat::STATUS_SUCCESS);
      plat::CloseHandle(f);
      plat::CloseHandle(v);
    }
    EXPECT_EQ(ReadRange(disk, 0, start * kSector), head);
    EXPECT_EQ(ReadRange(disk, tailAt, tail.size()), tail);
    const std::string part = dir_ / "extracted.img";
    { std::ofstream(part, std::ios::binary).write(reinterpret_cast<const char*>(ReadRange(disk, start * kSector, size).data()), static_cast<std::streamsize>(size)); }
    EXPECT_EQ(Sha256Hex(NtfsCat(part, "frag.bin")), before);
    EXPECT_EQ(NtfsclusterRuns(part, "frag.bin").size(), 1u);
    int leaked = 0;
    std::string report;
    EXPECT_TRUE(VolumeCheck(part, leaked, &report).empty()) << report;
    EXPECT_EQ(leaked, 0);
  }

  TempDir dir_;
  int partition_ = 0;
};

TEST_F(Partitions, MbrPrimary) {
  const std::uint64_t n = std::filesystem::file_size(Ntfs()) / kSector;
  MakeDisk(dir_ / "mbr.img", "label: dos\nstart=2048, size=2048, type=83\nstart=4096, size=" + std::to_string(n) + ", type=7\n",
           Ntfs(), 4096, 4096 + n + 2048);
  partition_ = 2;
  MoveAndCheck(dir_ / "mbr.img", 4096);
}

TEST_F(Partitions, MbrLogical) {
  const std::uint64_t n = std::filesystem::file_size(Ntfs()) / kSector;
  MakeDisk(dir_ / "ext.img",
           "label: dos\nstart=2048, size=2048, type=83\nstart=4096, size=" + std::to_string(n + 4096) +
               ", type=5\nstart=6144, size=" + std::to_string(n) + ", type=7\n",
           Ntfs(), 6144, 4096 + n + 8192);
  partition_ = 5;
  MoveAndCheck(dir_ / "ext.img", 6144);
}

TEST_F(Partitions, Gpt) {
  const std::uint64_t n = std::filesystem::file_size(Ntfs()) / kSector;
  MakeDisk(dir_ / "gpt.img",
           "label: gpt\nstart=2048, size=2048\nstart=4096, size=" + std::to_string(n) +
               ", type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7\n",
           Ntfs(), 4096, 4096 + n + 2048);
  partition_ = 2;
  MoveAndCheck(dir_ / "gpt.img", 4096);
}

TEST_F(Partitions, MissingPartitionsAndBadTables) {
  const std::uint64_t n = std::filesystem::file_size(Ntfs()) / kSector;
  const std::string gpt = dir_ / "gpt.img";
  MakeDisk(gpt, "label: gpt\nstart=2048, size=" + std::to_string(n) + "\n", Ntfs(), 2048, 2048 + n + 2048);
  ScopedNtfs ntfs("C=" + gpt + ":3;D=" + gpt + ";E=" + Ntfs() + ":1");
  struct Case { const char* name; std::uint32_t error; } cases[] = {
      {"C:\\plain.bin", plat::ERROR_PATH_NOT_FOUND},  // no third partition
      {"D:\\plain.bin", 1005},                        // the whole disk is no NTFS volume
      {"E:\\plain.bin", plat::ERROR_PATH_NOT_FOUND},  // no partition table at all
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OpenFile(c.name), plat::INVALID_HANDLE_VALUE) << c.name;
    EXPECT_EQ(plat::GetLastError(), c.error) << c.name;
  }
  // A GPT header whose checksum does not match is not trusted.
  auto header = ReadRange(gpt, kSector, kSector);
  header[40] ^= 1;
  WriteRange(gpt, kSector, header);
  const int fd = open(gpt.c_str(), O_RDONLY);
  const ntfs::ReadAt read = [fd](std::uint64_t off, void* buf, std::size_t len) {
    return pread(fd, buf, len, static_cast<off_t>(off)) == static_cast<ssize_t>(len);
  };
  ntfs::ByteRange range;
  std::string problem;
  EXPECT_FALSE(ntfs::FindPartition(read, std::filesystem::file_size(gpt), 1, range, problem));
  EXPECT_NE(problem.find("checksum"), std::string::npos) << problem;
  close(fd);
}

TEST(ForensicsSample, PartitionOfARealDiskImage) {
  const std::string sample = "/usr/share/forensics-samples/fs.ntfs.xz";
  if (!std::filesystem::exists(sample)) GTEST_SKIP() << "install forensics-samples-ntfs";
  TempDir dir;
  const std::string disk = dir / "fs.img", part = dir / "part.img";
  std::string out;
  ASSERT_EQ(RunTool({"sh", "-c", "xz -dc " + sample + " > '" + disk + "'"}, out, true), 0) << out;
  const std::uint64_t start = 1u << 20, size = std::filesystem::file_size(disk) - start;
  { std::ofstream(part, std::ios::binary).write(reinterpret_cast<const char*>(ReadRange(disk, start, size).data()), static_cast<std::streamsize>(size)); }
  const std::string path = "audio1/debian.wav";
  const std::string before = Sha256Hex(NtfsCat(part, path));
  const auto theirs = NtfsclusterRuns(part, path);
  ASSERT_FALSE(theirs.empty());
  {
    ScopedNtfs ntfs("C=" + disk + ":1");
    plat::FindData d;
    const plat::HANDLE find = plat::Current().FindFirstFileA("C:\\*.*", d);
    ASSERT_NE(find, plat::INVALID_HANDLE_VALUE) << plat::GetLastError();
    EXPECT_EQ(d.Name, "audio1");
    plat::Current().FindClose(find);
    const plat::HANDLE v = OpenVolume('C'), f = OpenFile("C:\\AUDIO1\\Debian.wav");
    const auto map = ReadMap(f);
    ASSERT_EQ(map.size(), theirs.size());
    for (std::size_t i = 0; i < map.size(); ++i) EXPECT_EQ((ToolRun{map[i].Vcn, map[i].Lcn, map[i].Length}), theirs[i]);
    const auto used = ReadBitmap(v);
    EXPECT_EQ(used.size(), 12543u);
    const std::int64_t n = map.back().Vcn + map.back().Length;
    const std::int64_t lcn = FindFree(used, n, 3000);
    EXPECT_EQ(Move(v, f, 0, lcn, static_cast<std::uint32_t>(n)), plat::STATUS_SUCCESS);
    plat::CloseHandle(f);
    plat::CloseHandle(v);
  }
  { std::ofstream(part, std::ios::binary).write(reinterpret_cast<const char*>(ReadRange(disk, start, size).data()), static_cast<std::streamsize>(size)); }
  EXPECT_EQ(Sha256Hex(NtfsCat(part, path)), before);
  int leaked = 0;
  std::string report;
  EXPECT_TRUE(VolumeCheck(part, leaked, &report).empty()) << report;
  EXPECT_EQ(leaked, 0) << report;
}

}  // namespace
