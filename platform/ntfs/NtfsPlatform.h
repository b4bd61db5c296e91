// The libntfs-3g backend: drive letters mapped to NTFS images, partitions
// of disk images, or block devices (see DriveTable.h), answered with the
// Windows semantics of plat::Platform.
#pragma once

#include <chrono>
#include <memory>

#include "DriveTable.h"
#include "Platform.h"

namespace ntfs {

struct NtfsOptions {
  // How long a volume stays mounted after its last use (0: unmounted when
  // its last handle closes). Meanwhile other processes wait for it as
  // for any mount; the platform's end unmounts everything at once.
  std::chrono::milliseconds KeepMounted{0};
};

// A backend over the drive table in force (environment or file), keeping
// volumes mounted CONTIGRA_NTFS_KEEP_MOUNTED_MS (default 500) after their
// last use: what the programs run on.
std::unique_ptr<plat::Platform> MakeNtfsPlatform();
// A backend over an explicit table.
std::unique_ptr<plat::Platform> MakeNtfsPlatform(DriveTable table, NtfsOptions options = {});
// CONTIGRA_NTFS_KEEP_MOUNTED_MS, default 500 ms.
std::chrono::milliseconds DefaultKeepMounted();

}  // namespace ntfs
