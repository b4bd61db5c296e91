#include "DriveType.h"

#include <sys/stat.h>
#include <sys/vfs.h>

#include "Platform.h"

namespace ntfs {

std::uint32_t DriveTypeForFilesystem(unsigned long magic) {
  switch (magic) {
    case 0x6969:      // NFS
    case 0x517B:      // SMB
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x65735546:  // FUSE (sshfs, rclone, ...)
    case 0x73757245:  // Coda
    case 0x5346414F:  // AFS
    case 0x6B414653:  // kAFS
    case 0x01021997:  // 9P
    case 0x00C36400:  // Ceph
    case 0x564C:      // NCP
    case 0x47504653:  // GPFS
    case 0x0BD00BD0:  // Lustre
      return plat::DRIVE_REMOTE;
    default:
      return plat::DRIVE_FIXED;
  }
}

std::uint32_t DriveTypeOfPath(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return plat::DRIVE_NO_ROOT_DIR;
  // A device node lives on devtmpfs: its own medium is local.
  if (S_ISBLK(st.st_mode)) return plat::DRIVE_FIXED;
  struct statfs fs {};
  if (statfs(path.c_str(), &fs) != 0) return plat::DRIVE_NO_ROOT_DIR;
  return DriveTypeForFilesystem(static_cast<unsigned long>(fs.f_type) & 0xFFFFFFFFul);
}

}  // namespace ntfs
