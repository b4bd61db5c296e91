// The Windows backend hands the engine's constants to the system unchanged
// (access masks, dispositions, control codes, wait results, drive types),
// so each must equal the SDK's value. Platform.h and the SDK spell them
// alike, so the seam's values are taken before the SDK's macros exist.
#include <cstdint>
#include <iterator>

#include "Platform.h"

namespace {

struct SeamValue {
  std::uint32_t Value;
};

constexpr SeamValue kSeam[] = {
    {plat::GENERIC_READ},          {plat::GENERIC_WRITE},
    {plat::FILE_SHARE_READ},       {plat::FILE_SHARE_WRITE},
    {plat::OPEN_EXISTING},         {plat::FILE_FLAG_NO_BUFFERING},
    {plat::FILE_ATTRIBUTE_DIRECTORY}, {plat::INVALID_FILE_ATTRIBUTES},
    {plat::DRIVE_NO_ROOT_DIR},     {plat::DRIVE_FIXED},
    {plat::DRIVE_REMOTE},          {plat::INFINITE},
    {plat::WAIT_OBJECT_0},         {plat::WAIT_ABANDONED},
    {plat::WAIT_TIMEOUT},          {plat::WAIT_FAILED},
    {plat::FSCTL_GET_VOLUME_BITMAP}, {plat::FSCTL_GET_RETRIEVAL_POINTERS},
    {plat::FSCTL_MOVE_FILE},       {plat::ERROR_FILE_NOT_FOUND},
    {plat::ERROR_PATH_NOT_FOUND},  {plat::ERROR_ACCESS_DENIED},
    {plat::ERROR_INVALID_HANDLE},  {plat::ERROR_SHARING_VIOLATION},
    {plat::ERROR_NOT_READY},       {plat::ERROR_INVALID_NAME},
    {static_cast<std::uint32_t>(plat::STATUS_PENDING)},
};
}  // namespace

#include "WindowsHeaders.h"

namespace {

constexpr std::uint32_t kSdk[] = {
    GENERIC_READ,          GENERIC_WRITE,
    FILE_SHARE_READ,       FILE_SHARE_WRITE,
    OPEN_EXISTING,         FILE_FLAG_NO_BUFFERING,
    FILE_ATTRIBUTE_DIRECTORY, INVALID_FILE_ATTRIBUTES,
    DRIVE_NO_ROOT_DIR,     DRIVE_FIXED,
    DRIVE_REMOTE,          INFINITE,
    WAIT_OBJECT_0,         WAIT_ABANDONED,
    WAIT_TIMEOUT,          WAIT_FAILED,
    FSCTL_GET_VOLUME_BITMAP, FSCTL_GET_RETRIEVAL_POINTERS,
    FSCTL_MOVE_FILE,       ERROR_FILE_NOT_FOUND,
    ERROR_PATH_NOT_FOUND,  ERROR_ACCESS_DENIED,
    ERROR_INVALID_HANDLE,  ERROR_SHARING_VIOLATION,
    ERROR_NOT_READY,       ERROR_INVALID_NAME,
    STATUS_PENDING,
};

constexpr bool AllMatch() {
  static_assert(std::size(kSeam) == std::size(kSdk));
  for (std::size_t i = 0; i < std::size(kSdk); ++i)
    if (kSeam[i].Value != kSdk[i]) return false;
  return true;
}
static_assert(AllMatch(), "a constant of Platform.h differs from the Windows SDK's");

}  // namespace
