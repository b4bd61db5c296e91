#include "FsControl.h"

#include <cstddef>
#include <cstring>

#include "Records.h"

namespace win32 {
namespace {

namespace rec = plat::rec;

static_assert(sizeof(MOVE_FILE_DATA) == rec::kMoveDataSize);
static_assert(offsetof(MOVE_FILE_DATA, FileHandle) == rec::kMoveFileHandleOffset);
static_assert(offsetof(MOVE_FILE_DATA, StartingVcn) == rec::kMoveStartingVcnOffset);
static_assert(offsetof(MOVE_FILE_DATA, StartingLcn) == rec::kMoveStartingLcnOffset);
static_assert(offsetof(MOVE_FILE_DATA, ClusterCount) == rec::kMoveClusterCountOffset);
static_assert(offsetof(RETRIEVAL_POINTERS_BUFFER, ExtentCount) == rec::kMapExtentCountOffset);
static_assert(offsetof(RETRIEVAL_POINTERS_BUFFER, StartingVcn) == rec::kMapStartingVcnOffset);
static_assert(offsetof(RETRIEVAL_POINTERS_BUFFER, Extents) == rec::kMapExtentsOffset);
static_assert(sizeof(RETRIEVAL_POINTERS_BUFFER::Extents[0]) == rec::kMapExtentSize);
static_assert(offsetof(VOLUME_BITMAP_BUFFER, StartingLcn) == rec::kBitmapStartingLcnOffset);
static_assert(offsetof(VOLUME_BITMAP_BUFFER, BitmapSize) == rec::kBitmapSizeOffset);
static_assert(offsetof(VOLUME_BITMAP_BUFFER, Buffer) == rec::kBitmapBitsOffset);

// ntdll's IO_STATUS_BLOCK; winternl.h is not part of the lean headers.
struct NativeIoStatus {
  union {
    LONG Status;
    PVOID Pointer;
  };
  ULONG_PTR Information;
};

using NtFsControlFileFn = LONG(NTAPI*)(HANDLE file, HANDLE event, PVOID apcRoutine,
                                       PVOID apcContext, NativeIoStatus* iosb, ULONG code,
                                       PVOID input, ULONG inputLength, PVOID output,
                                       ULONG outputLength);

constexpr LONG kStatusNotImplemented = static_cast<LONG>(0xC0000002u);

NtFsControlFileFn ResolveNtFsControlFile() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const FARPROC proc = ntdll ? GetProcAddress(ntdll, "NtFsControlFile") : nullptr;
  // FARPROC is a generic function pointer; the detour through void(*)()
  // says the cast to the real signature is meant.
  return reinterpret_cast<NtFsControlFileFn>(reinterpret_cast<void (*)()>(proc));
}

}  // namespace

MOVE_FILE_DATA NativeMoveFileData(const void* record) {
  MOVE_FILE_DATA data{};
  const auto handle32 = static_cast<std::int32_t>(rec::LoadU32(record, rec::kMoveFileHandleOffset));
  data.FileHandle = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(handle32));
  data.StartingVcn.QuadPart = rec::LoadI64(record, rec::kMoveStartingVcnOffset);
  data.StartingLcn.QuadPart = rec::LoadI64(record, rec::kMoveStartingLcnOffset);
  data.ClusterCount = rec::LoadU32(record, rec::kMoveClusterCountOffset);
  return data;
}

std::int32_t SendFsControl(HANDLE handle, plat::IO_STATUS_BLOCK& iosb, std::uint32_t controlCode,
                           const void* input, std::uint32_t inputLength, void* output,
                           std::uint32_t outputLength) {
  static const NtFsControlFileFn ntFsControlFile = ResolveNtFsControlFile();
  if (!ntFsControlFile) {
    iosb.Status = kStatusNotImplemented;
    iosb.Information = 0;
    return kStatusNotImplemented;
  }

  // The engine's input records live in byte arrays on its stack. The file
  // system reads METHOD_NEITHER inputs in place and may insist on their
  // natural alignment, so small inputs travel in an aligned copy.
  MOVE_FILE_DATA move;
  alignas(8) std::uint8_t small[rec::kMoveDataSize];
  PVOID in = const_cast<void*>(input);
  if (controlCode == FSCTL_MOVE_FILE && input && inputLength == rec::kMoveDataSize) {
    move = NativeMoveFileData(input);
    in = &move;
  } else if (input && inputLength <= sizeof small) {
    std::memcpy(small, input, inputLength);
    in = small;
  }

  NativeIoStatus native{};
  LONG status = ntFsControlFile(handle, nullptr, nullptr, nullptr, &native, controlCode, in,
                                inputLength, output, outputLength);
  if (status == STATUS_PENDING) WaitForSingleObject(handle, INFINITE);
  iosb.Status = native.Status;
  iosb.Information = native.Information;
  return status;
}

}  // namespace win32
