// The input record the engine's MoveClusters sends, captured on its way to
// a real platform. Kept apart from the tests that read it with the SDK's
// MOVE_FILE_DATA: the engine's header and windows.h both name HANDLE.
#pragma once

#include <cstdint>
#include <vector>

#include "Platform.h"

namespace wintest {

// Runs MoveClusters(volume = file, file, ...) on `platform` (a move on a
// file handle is refused, so nothing moves) and returns the bytes it sent.
std::vector<std::uint8_t> EngineMoveRecord(plat::Platform& platform, plat::HANDLE file,
                                           std::int64_t startVcn, std::int64_t targetLcn,
                                           std::uint32_t clusters);

}  // namespace wintest
