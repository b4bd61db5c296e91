// Path helpers of the simulated backend: Windows paths, compared without
// regard to ASCII case.
#pragma once

#include <string>

namespace sim {

// Upper-cases ASCII letters; the key under which a path is stored.
inline std::string FoldKey(const std::string& path) {
  std::string key = path;
  for (char& c : key)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return key;
}

inline char FoldLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Splits "X:\dir\file" into the drive letter and "dir\file". Returns false
// when the name is not a drive path.
inline bool SplitDrivePath(const std::string& name, char& letter, std::string& rest) {
  if (name.size() < 3 || name[1] != ':' || name[2] != '\\') return false;
  letter = FoldLetter(name[0]);
  rest = name.substr(3);
  while (!rest.empty() && rest.back() == '\\') rest.pop_back();
  return true;
}

// "\\.\X:" -> X; 0 when the name is not a volume path.
inline char VolumeLetter(const std::string& name) {
  if (name.size() == 6 && name.compare(0, 4, "\\\\.\\") == 0 && name[5] == ':')
    return FoldLetter(name[4]);
  return 0;
}

}  // namespace sim
