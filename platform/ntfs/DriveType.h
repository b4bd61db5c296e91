// GetDriveTypeA for a mapped drive: an image on a network or user-space
// file system is reported as a remote drive, anything else as fixed.
#pragma once

#include <cstdint>
#include <string>

namespace ntfs {

// Pure: the drive type for a file system magic number from statfs.
std::uint32_t DriveTypeForFilesystem(unsigned long magic);

// The drive type of the image or device at `path`: DRIVE_NO_ROOT_DIR when
// it does not exist.
std::uint32_t DriveTypeOfPath(const std::string& path);

}  // namespace ntfs
