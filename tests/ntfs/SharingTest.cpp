// Who may use a volume when: one mount shared by all handles of a process,
// other processes and the ntfs-3g tools kept out while it is mounted (and
// let in after a bounded wait otherwise failing with
// ERROR_SHARING_VIOLATION), and a hibernated volume never written.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

#include "NtfsTestSupport.h"

namespace {

using namespace ntfstest;
using Clock = std::chrono::steady_clock;

constexpr char kLayout[] = R"(
size 4M
file frag.bin size=40000 frag=4
file plain.bin size=9000
)";

class Sharing : public ::testing::Test {
 protected:
  void SetUp() override { BuildImage(kLayout, Image()); }
  void TearDown() override { unsetenv("CONTIGRA_NTFS_LOCK_WAIT_MS"); }
  std::string Image() const { return dir_ / "c.img"; }
  TempDir dir_;
};

// A child process that opens drive C's volume, says so on the pipe, holds
// it for `holdMs` and exits.
pid_t HoldVolumeInChild(const std::string& image, int holdMs) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    ScopedNtfs ntfs("C=" + image);
    const plat::HANDLE v = OpenVolume('C');
    const char ok = v != plat::INVALID_HANDLE_VALUE ? '1' : '0';
    if (write(fds[1], &ok, 1) != 1) _exit(3);
    usleep(static_cast<useconds_t>(holdMs) * 1000);
    plat::CloseHandle(v);
    _exit(0);
  }
  close(fds[1]);
  char ok = 0;
  const bool holding = read(fds[0], &ok, 1) == 1 && ok == '1';
  close(fds[0]);
  return holding ? pid : -1;
}

int WaitChild(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(Sharing, SecondProcessWaitsThenGivesUp) {
  const pid_t child = HoldVolumeInChild(Image(), 3000);
  ASSERT_GT(child, 0);
  setenv("CONTIGRA_NTFS_LOCK_WAIT_MS", "300", 1);
  {
    ScopedNtfs ntfs("C=" + Image());
    const auto t0 = Clock::now();
    EXPECT_EQ(OpenFile("C:\\plain.bin"), plat::INVALID_HANDLE_VALUE);
    EXPECT_EQ(plat::GetLastError(), plat::ERROR_SHARING_VIOLATION);
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    EXPECT_GE(waited, 300);
    EXPECT_LT(waited, 2500);
  }
  // The ntfs-3g tools are kept out too.
  std::string out;
  EXPECT_NE(RunTool({"ntfsinfo", "-m", Image()}, out), 0);
  EXPECT_EQ(WaitChild(child), 0);
}

TEST_F(Sharing, SecondProcessGetsItsTurn) {
  const pid_t child = HoldVolumeInChild(Image(), 700);
  ASSERT_GT(child, 0);
  setenv("CONTIGRA_NTFS_LOCK_WAIT_MS", "10000", 1);
  {
    ScopedNtfs ntfs("C=" + Image());
    const auto t0 = Clock::now();
    const plat::HANDLE h = OpenFile("C:\\plain.bin");
    EXPECT_NE(h, plat::INVALID_HANDLE_VALUE) << plat::GetLastError();
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count(), 300);
    plat::CloseHandle(h);
  }
  EXPECT_EQ(WaitChild(child), 0);
  // Released at the last close: the tools get in again.
  std::string out;
  EXPECT_EQ(RunTool({"ntfsinfo", "-m", Image()}, out), 0);
}

TEST_F(Sharing, TwoLettersOnOneImageShareOneMount) {
  setenv("CONTIGRA_NTFS_LOCK_WAIT_MS", "200", 1);
  const std::string before = Sha256Hex(NtfsCat(Image(), "frag.bin"));
  {
    ScopedNtfs ntfs("C=" + Image() + ";D=" + Image());
    const plat::HANDLE v = OpenVolume('C');
    const plat::HANDLE f = OpenFile("D:\\frag.bin");  // would time out on a second mount
    ASSERT_NE(f, plat::INVALID_HANDLE_VALUE) << plat::GetLastError();
    const std::int64_t lcn = FindFree(ReadBitmap(v), 10, 200);
    EXPECT_EQ(Move(v, f, 0, lcn, 10), plat::STATUS_SUCCESS);
    EXPECT_EQ(ReadMap(f), (std::vector<Extent>{{0, lcn, 10}}));
    plat::CloseHandle(f);
    plat::CloseHandle(v);
  }
  EXPECT_EQ(Sha256Hex(NtfsCat(Image(), "frag.bin")), before);
}

TEST_F(Sharing, HibernatedVolumeIsNeverWritten) {
  // A hiberfil.sys whose header says "hibr", copied in with ntfscp.
  const std::string hib = dir_ / "hiberfil.sys";
  {
    std::ofstream out(hib, std::ios::binary);
    std::string header(8192, '\0');
    header.replace(0, 4, "hibr");
    out << header;
  }
  std::string out;
  ASSERT_EQ(RunTool({"ntfscp", "-f", Image(), hib, "hiberfil.sys"}, out, true), 0) << out;
  const std::string imageBefore = FileSha256(Image());
  const auto runs = NtfsclusterRuns(Image(), "frag.bin");
  {
    ScopedNtfs ntfs("C=" + Image());
    EXPECT_EQ(OpenVolume('C'), plat::INVALID_HANDLE_VALUE);
    EXPECT_EQ(plat::GetLastError(), plat::ERROR_NOT_READY);
    // Reading still works; moving does not.
    const plat::HANDLE v = plat::CreateFileA("\\\\.\\C:", plat::GENERIC_READ, 3, plat::OPEN_EXISTING, 0);
    const plat::HANDLE f = OpenFile("C:\\frag.bin");
    ASSERT_NE(v, plat::INVALID_HANDLE_VALUE);
    ASSERT_NE(f, plat::INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadMap(f).size(), runs.size());
    EXPECT_EQ(Move(v, f, 0, FindFree(ReadBitmap(v), 10, 200), 10), plat::STATUS_ACCESS_DENIED);
    EXPECT_EQ(plat::CreateFileA("C:\\plain.bin", plat::GENERIC_READ | plat::GENERIC_WRITE, 3,
                                plat::OPEN_EXISTING, 0),
              plat::INVALID_HANDLE_VALUE);
    EXPECT_EQ(plat::GetLastError(), plat::ERROR_NOT_READY);
    plat::CloseHandle(f);
    plat::CloseHandle(v);
  }
  EXPECT_EQ(FileSha256(Image()), imageBefore);
}

}  // namespace
