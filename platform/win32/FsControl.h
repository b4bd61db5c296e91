// File-system control requests through ntdll's NtFsControlFile.
//
// The engine builds the request records byte by byte in the 32-bit Windows
// layout (Records.h). The volume-bitmap and retrieval-pointer records are
// the same in a 64-bit process, so their buffers go to the system as they
// are. MOVE_FILE_DATA differs in one field: its first member is a HANDLE,
// 4 bytes plus 4 of padding in a 32-bit process, 8 bytes in a 64-bit one;
// every other offset (StartingVcn 8, StartingLcn 16, ClusterCount 24) and
// the size (32) are the same. Windows keeps kernel handle values within 32
// bits so that 32- and 64-bit processes can pass them to each other, the
// 64-bit value being the 32-bit one sign-extended; NativeMoveFileData
// widens the handle that way. (Real file handles are small positive
// numbers, so the engine's zero padding alone would already be right; the
// sign extension keeps pseudo-handles such as -2 intact too.)
#pragma once

#include <cstdint>

#include "Platform.h"
#include "WindowsHeaders.h"

namespace win32 {

// The native MOVE_FILE_DATA for a record in the engine's layout.
MOVE_FILE_DATA NativeMoveFileData(const void* record);

// Sends one request on `handle` and returns its NTSTATUS, with the final
// status and byte count in `iosb`. Our handles are opened for synchronous
// I/O, so the system completes the request before returning; should a
// request still come back STATUS_PENDING, it is waited for here, before
// the native status block goes out of scope, and STATUS_PENDING is
// returned so that the caller's own wait finds it done.
std::int32_t SendFsControl(HANDLE handle, plat::IO_STATUS_BLOCK& iosb, std::uint32_t controlCode,
                           const void* input, std::uint32_t inputLength, void* output,
                           std::uint32_t outputLength);

}  // namespace win32
