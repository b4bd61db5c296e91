// On POSIX builds the programs run on NTFS volumes mapped by the drive table.
#include "DefaultPlatform.h"
#include "NtfsPlatform.h"

namespace plat {
std::unique_ptr<Platform> MakeDefaultPlatform() { return ntfs::MakeNtfsPlatform(); }
}  // namespace plat
