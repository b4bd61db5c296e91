// Windows path syntax as the backend accepts it: "C:\dir\file.dat"
// (forward slashes allowed), "\\.\C:" for a volume, and find patterns
// "C:\dir\*.*". Pure string handling; names stay UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ntfs {

struct WinPath {
  char Drive = 0;          // upper-case letter
  bool IsVolume = false;   // "\\.\C:"
  std::vector<std::string> Components;  // empty: the root folder
};

// Parses `name`; on failure returns false with the Windows error code in
// `error` (ERROR_INVALID_NAME for bad syntax or characters).
bool ParseWinPath(std::string_view name, WinPath& path, std::uint32_t& error);

// Splits a find pattern into its folder and its last component, which may
// hold '*' and '?'. The folder part follows ParseWinPath's rules.
bool ParseFindPattern(std::string_view pattern, WinPath& folder, std::string& mask,
                      std::uint32_t& error);

// The drive letter of a root path "C:\", "C:" or "c:/", or 0.
char DriveOfRoot(std::string_view rootPath);

// Windows wildcard match on already case-folded UTF-16 text: '*' any run,
// '?' one unit; "*.*" and "*" match every name.
bool WildcardMatch(std::u16string_view mask, std::u16string_view name);

}  // namespace ntfs
