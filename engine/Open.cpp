// Opening a file and the volume that holds it.
#include "DefragAPI.h"

using namespace plat;

namespace {

// Network and unknown drives are refused before anything is opened; every
// other type goes on to the open, which fails by itself where nothing is.
bool DriveIsSupported(const std::string& fileName) {
  const std::string root = fileName.substr(0, 2) + "\\";
  return (GetDriveTypeA(root) & 3) != 0;
}

}  // namespace

std::string VolumePathFor(const std::string& fileName) {
  std::string path = "\\\\.\\A:";
  if (!fileName.empty()) path[4] = fileName[0];
  return path;
}

std::int32_t OpenFileHandle(const std::string& fileName, HANDLE& file) {
  file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                     FILE_FLAG_NO_BUFFERING);
  return file == INVALID_HANDLE_VALUE ? static_cast<std::int32_t>(GetLastError()) : 0;
}

std::int32_t OpenVolumeHandle(const std::string& fileName, HANDLE& volume) {
  volume = INVALID_HANDLE_VALUE;
  if (!DriveIsSupported(fileName)) return DEFRAG_RESULT_UNSUPPORTED_DRIVE;
  volume = CreateFileA(VolumePathFor(fileName), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       OPEN_EXISTING, 0);
  return volume == INVALID_HANDLE_VALUE ? static_cast<std::int32_t>(GetLastError()) : 0;
}

std::int32_t OpenFileAndVolume(const std::string& fileName, HANDLE& file, HANDLE& volume) {
  file = INVALID_HANDLE_VALUE;
  volume = INVALID_HANDLE_VALUE;
  if (!DriveIsSupported(fileName)) return DEFRAG_RESULT_UNSUPPORTED_DRIVE;
  if (std::int32_t r = OpenFileHandle(fileName, file)) return r;
  volume = CreateFileA(VolumePathFor(fileName), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       OPEN_EXISTING, 0);
  return volume == INVALID_HANDLE_VALUE ? static_cast<std::int32_t>(GetLastError()) : 0;
}
