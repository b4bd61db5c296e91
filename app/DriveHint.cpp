#include "DriveHint.h"

#include <string>

#include "Log.h"
#include "Platform.h"

bool AnyDriveMapped() {
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string root = std::string(1, letter) + ":\\";
    if (plat::Current().GetDriveTypeA(root) != plat::DRIVE_NO_ROOT_DIR) return true;
  }
  return false;
}

void LogDriveHintIfNeeded() {
  if (AnyDriveMapped()) return;
  Logger.AddLine("No drive is mapped yet. To defragment files, map an NTFS disk image or "
                 "partition to a drive letter in Options > Drives.");
}
