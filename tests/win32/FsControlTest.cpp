// The engine's MOVE_FILE_DATA (32-bit layout) against the 64-bit record the
// system reads, and requests reaching ntdll's NtFsControlFile.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ChildProcess.h"
#include "DefaultPlatform.h"
#include "EngineMoveRecord.h"
#include "Platform.h"
#include "Records.h"
#include "FsControl.h"
#include "WindowsHeaders.h"

namespace {

// The record MoveClusters sends for a real file handle reads back, in the
// system's own MOVE_FILE_DATA, as that handle and the same numbers.
TEST(FsControlTest, EngineMoveRecordIsTheSystemsRecord) {
  auto platform = plat::MakeDefaultPlatform();
  const std::string self = wintest::ProgramBeside("win32_tests.exe");
  const plat::HANDLE file = platform->CreateFileA(self, GENERIC_READ,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
  ASSERT_NE(file, -1);
  const std::vector<std::uint8_t> record =
      wintest::EngineMoveRecord(*platform, file, 0x123456789A, 0x7FFFFFFF01, 0xFFFFFFF0u);
  ASSERT_EQ(record.size(), sizeof(MOVE_FILE_DATA));
  const MOVE_FILE_DATA native = win32::NativeMoveFileData(record.data());
  EXPECT_EQ(native.FileHandle, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(file)));
  EXPECT_EQ(native.StartingVcn.QuadPart, 0x123456789A);
  EXPECT_EQ(native.StartingLcn.QuadPart, 0x7FFFFFFF01);
  EXPECT_EQ(native.ClusterCount, 0xFFFFFFF0u);
  platform->CloseHandle(file);
}

// A handle field of the 32-bit layout widens as Windows shares handles
// between 32- and 64-bit processes: sign-extended.
TEST(FsControlTest, HandleFieldWidensSignExtended) {
  struct Case { std::uint32_t field; INT_PTR expected; };
  for (const Case& c : {Case{0x4, 0x4}, Case{0x7FFFFFFC, 0x7FFFFFFC},
                        Case{0xFFFFFFFE, -2}, Case{0xFFFFFFFF, -1}}) {
    std::uint8_t record[plat::rec::kMoveDataSize] = {};
    plat::rec::StoreU32(record, plat::rec::kMoveFileHandleOffset, c.field);
    EXPECT_EQ(win32::NativeMoveFileData(record).FileHandle, reinterpret_cast<HANDLE>(c.expected))
        << std::hex << c.field;
  }
}

// The request reaches the system: the kernel refuses a null handle with
// STATUS_INVALID_HANDLE. (Not FSCTL_GET_RETRIEVAL_POINTERS: Wine answers
// that one with a fixed made-up extent whatever the handle.)
TEST(FsControlTest, RequestsReachNtdll) {
  auto platform = plat::MakeDefaultPlatform();
  std::vector<std::uint8_t> out(plat::rec::kBitmapBufferSize);
  std::uint8_t in[plat::rec::kMoveDataSize] = {};
  struct Case { DWORD code; std::uint32_t inLength; std::uint32_t outLength; };
  for (const Case& c : {Case{FSCTL_GET_VOLUME_BITMAP, 8, static_cast<std::uint32_t>(out.size())},
                        Case{FSCTL_MOVE_FILE, sizeof in, 0}}) {
    plat::IO_STATUS_BLOCK iosb;
    EXPECT_EQ(platform->NtFsControlFile(0, iosb, c.code, in, c.inLength, out.data(), c.outLength),
              static_cast<std::int32_t>(0xC0000008u))
        << std::hex << c.code;
  }
}

}  // namespace
