// How long a volume stays mounted, and what reaches the disk by when:
// with NtfsOptions::KeepMounted the mount outlives its last handle for that
// time (other processes and tools wait their turn meanwhile), and ends at
// once with the platform; the old clusters of a move are released only
// after the next flush, yet the bitmap read out after a move and the volume
// after its unmount show them free.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "NtfsTestSupport.h"

namespace {

using namespace ntfstest;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr char kLayout[] = R"(
size 4M
file frag.bin size=40000 frag=4
file plain.bin size=9000
)";

long long MsSince(Clock::time_point t0) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

// Whether the ntfs-3g tools can open the image now (our lock keeps them out).
bool ToolGetsIn(const std::string& image) {
  std::string out;
  return RunTool({"ntfsinfo", "-m", image}, out) == 0;
}

class MountLifetime : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildImage(kLayout, Image());
    before_ = Sha256Hex(NtfsCat(Image(), "frag.bin"));
  }
  void TearDown() override { unsetenv("CONTIGRA_NTFS_LOCK_WAIT_MS"); }
  std::string Image() const { return dir_ / "c.img"; }

  // A platform that keeps volumes mounted for `keep`, current while alive.
  struct Kept {
    Kept(const std::string& image, std::chrono::milliseconds keep)
        : platform(ntfs::MakeNtfsPlatform(ntfs::ParseDriveTable("C=" + image, ';'), {keep})),
          previous(plat::SetCurrent(platform.get())) {}
    ~Kept() {
      plat::SetCurrent(previous);
      platform.reset();
    }
    std::unique_ptr<plat::Platform> platform;
    plat::Platform* previous;
  };

  // Moves frag.bin whole to the lowest free run; returns the old runs.
  std::vector<Extent> MoveFrag() {
    const plat::HANDLE v = OpenVolume('C'), f = OpenFile("C:\\frag.bin");
    EXPECT_NE(v, plat::INVALID_HANDLE_VALUE);
    EXPECT_NE(f, plat::INVALID_HANDLE_VALUE);
    const auto old = ReadMap(f);
    const std::int64_t clusters = old.back().Vcn + old.back().Length;
    EXPECT_EQ(Move(v, f, 0, FindFree(ReadBitmap(v), clusters, 100), static_cast<std::uint32_t>(clusters)),
              plat::STATUS_SUCCESS);
    plat::CloseHandle(f);
    plat::CloseHandle(v);
    return old;
  }

  void ExpectCleanAndIntact() {
    EXPECT_EQ(Sha256Hex(NtfsCat(Image(), "frag.bin")), before_);
    int leaked = 0;
    std::string report;
    EXPECT_TRUE(VolumeCheck(Image(), leaked, &report).empty()) << report;
    EXPECT_EQ(leaked, 0) << report;
    std::string info;
    RunTool({"ntfsinfo", "-m", Image()}, info);
    EXPECT_NE(info.find("Volume Flags: 0x0000"), std::string::npos) << "left dirty:\n" << info;
  }

  TempDir dir_;
  std::string before_;
};

TEST_F(MountLifetime, KeptMountEndsOnItsOwnAfterTheTimeGiven) {
  Kept kept(Image(), 600ms);
  const auto oldRuns = MoveFrag();
  ASSERT_GT(oldRuns.size(), 1u);
  const auto closed = Clock::now();
  EXPECT_FALSE(ToolGetsIn(Image())) << "unmounted with the last handle";
  while (!ToolGetsIn(Image()) && MsSince(closed) < 10000) std::this_thread::sleep_for(20ms);
  EXPECT_GE(MsSince(closed), 550);
  EXPECT_LT(MsSince(closed), 5000) << "never unmounted";
  // Unmounted by the reaper: the releases and the cleared dirty mark landed.
  ExpectCleanAndIntact();
}

TEST_F(MountLifetime, PlatformEndUnmountsAtOnce) {
  {
    Kept kept(Image(), 60s);
    MoveFrag();
    EXPECT_FALSE(ToolGetsIn(Image()));
  }
  EXPECT_TRUE(ToolGetsIn(Image()));
  ExpectCleanAndIntact();
}

// Another process waits for a kept volume as for one in use: it gets it
// when the time is up, or gives up with ERROR_SHARING_VIOLATION first.
TEST_F(MountLifetime, OtherProcessWaitsForAKeptVolume) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    {
      Kept kept(Image(), 800ms);
      const plat::HANDLE f = OpenFile("C:\\plain.bin");
      plat::CloseHandle(f);
      const char ok = f != plat::INVALID_HANDLE_VALUE ? '1' : '0';
      if (write(fds[1], &ok, 1) != 1) _exit(3);
      std::this_thread::sleep_for(4s);  // alive, but the volume is let go after 800 ms
    }
    _exit(0);
  }
  close(fds[1]);
  char ok = 0;
  ASSERT_EQ(read(fds[0], &ok, 1), 1);
  close(fds[0]);
  ASSERT_EQ(ok, '1');
  const auto t0 = Clock::now();
  {
    setenv("CONTIGRA_NTFS_LOCK_WAIT_MS", "100", 1);
    ScopedNtfs ntfs("C=" + Image());
    EXPECT_EQ(OpenFile("C:\\plain.bin"), plat::INVALID_HANDLE_VALUE);
    EXPECT_EQ(plat::GetLastError(), plat::ERROR_SHARING_VIOLATION);
  }
  {
    setenv("CONTIGRA_NTFS_LOCK_WAIT_MS", "10000", 1);
    ScopedNtfs ntfs("C=" + Image());
    const plat::HANDLE f = OpenFile("C:\\plain.bin");
    EXPECT_NE(f, plat::INVALID_HANDLE_VALUE) << plat::GetLastError();
    EXPECT_LT(MsSince(t0), 3000) << "waited for the process, not for the kept mount";
    plat::CloseHandle(f);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// The old clusters are released after the next flush; reading the bitmap
// out is one such point, so the engine sees them free right after a move.
TEST_F(MountLifetime, BitmapAfterAMoveShowsTheOldClustersFree) {
  ScopedNtfs ntfs("C=" + Image());
  const plat::HANDLE v = OpenVolume('C'), f = OpenFile("C:\\frag.bin");
  const auto old = ReadMap(f);
  ASSERT_GT(old.size(), 1u);
  const std::int64_t clusters = old.back().Vcn + old.back().Length;
  const std::int64_t target = FindFree(ReadBitmap(v), clusters, 100);
  ASSERT_EQ(Move(v, f, 0, target, static_cast<std::uint32_t>(clusters)), plat::STATUS_SUCCESS);
  const auto used = ReadBitmap(v);
  for (const Extent& e : old)
    for (std::int64_t lcn = e.Lcn; lcn < e.Lcn + e.Length; ++lcn)
      EXPECT_FALSE(used[static_cast<std::size_t>(lcn)]) << "old cluster " << lcn << " still used";
  for (std::int64_t lcn = target; lcn < target + clusters; ++lcn)
    EXPECT_TRUE(used[static_cast<std::size_t>(lcn)]) << "new cluster " << lcn << " free";
  plat::CloseHandle(f);
  plat::CloseHandle(v);
}

}  // namespace
