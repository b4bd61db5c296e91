// The libntfs-3g backend: drive letters mapped to NTFS images, partitions
// of disk images, or block devices (see DriveTable.h), answered with the
// Windows semantics of plat::Platform.
#pragma once

#include <memory>

#include "DriveTable.h"
#include "Platform.h"

namespace ntfs {

// A backend over the drive table in force (environment or file).
std::unique_ptr<plat::Platform> MakeNtfsPlatform();
// A backend over an explicit table.
std::unique_ptr<plat::Platform> MakeNtfsPlatform(DriveTable table);

}  // namespace ntfs
