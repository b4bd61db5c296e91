// Finding files by Windows path and listing folders, with Windows' rules:
// names compare without case (an exact match wins when a case-sensitive
// volume holds both spellings), short (DOS) names are not listed, and the
// root folder hides the volume's metafiles and has no "." or "..".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "NtfsLib.h"

namespace ntfs {

// Resolves `components` from the root folder. On failure returns false
// with ERROR_FILE_NOT_FOUND (last component missing) or
// ERROR_PATH_NOT_FOUND (a folder on the way missing or not a folder), or
// ERROR_INVALID_NAME for a name that cannot be an NTFS name.
bool ResolvePath(ntfs_volume* vol, const std::vector<std::string>& components,
                 std::uint64_t& mref, std::uint32_t& error);

struct ListedEntry {
  std::u16string Name;  // as stored
  std::uint64_t Mref = 0;
};

// The entries of folder `dir` in index order, "." and ".." first unless it
// is the root. False when the index cannot be read.
bool ListFolder(ntfs_inode* dir, std::vector<ListedEntry>& entries);

// Upper-cases `name` with the volume's own table, as NTFS compares names.
std::u16string FoldCase(const ntfs_volume* vol, std::u16string name);

}  // namespace ntfs
