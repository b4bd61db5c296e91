#include "WinPath.h"

#include "Platform.h"

namespace ntfs {
namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsSep(char c) { return c == '\\' || c == '/'; }

bool BadNameChar(char c, bool allowWildcards) {
  const auto u = static_cast<unsigned char>(c);
  if (u < 0x20) return true;
  switch (c) {
    case '<': case '>': case ':': case '"': case '|': return true;
    case '*': case '?': return !allowWildcards;
    default: return false;
  }
}

// "C:\a\..\b" -> {"b"}; rejects names with characters Windows forbids.
bool SplitComponents(std::string_view rest, std::vector<std::string>& out, bool wildcardLast,
                     std::uint32_t& error) {
  std::vector<std::string> parts;
  std::size_t i = 0;
  while (i <= rest.size()) {
    std::size_t j = i;
    while (j < rest.size() && !IsSep(rest[j])) ++j;
    parts.emplace_back(rest.substr(i, j - i));
    i = j + 1;
  }
  for (std::size_t k = 0; k < parts.size(); ++k) {
    const std::string& p = parts[k];
    const bool last = k + 1 == parts.size();
    if (p.empty() || p == ".") continue;
    if (p == "..") {
      if (!out.empty()) out.pop_back();
      continue;
    }
    for (char c : p) {
      if (BadNameChar(c, wildcardLast && last)) {
        error = plat::ERROR_INVALID_NAME;
        return false;
      }
    }
    out.push_back(p);
  }
  return true;
}

bool ParseCommon(std::string_view name, WinPath& path, bool wildcardLast,
                 std::uint32_t& error) {
  path = {};
  if (name.size() == 6 && IsSep(name[0]) && IsSep(name[1]) && name[2] == '.' &&
      IsSep(name[3]) && IsLetter(name[4]) && name[5] == ':') {
    path.Drive = Upper(name[4]);
    path.IsVolume = true;
    return true;
  }
  if (name.size() < 2 || !IsLetter(name[0]) || name[1] != ':' ||
      (name.size() > 2 && !IsSep(name[2]))) {
    error = plat::ERROR_INVALID_NAME;
    return false;
  }
  path.Drive = Upper(name[0]);
  return SplitComponents(name.substr(name.size() > 2 ? 3 : 2), path.Components, wildcardLast,
                         error);
}

}  // namespace

bool ParseWinPath(std::string_view name, WinPath& path, std::uint32_t& error) {
  return ParseCommon(name, path, false, error);
}

bool ParseFindPattern(std::string_view pattern, WinPath& folder, std::string& mask,
                      std::uint32_t& error) {
  if (!ParseCommon(pattern, folder, true, error)) return false;
  if (folder.IsVolume || folder.Components.empty()) {
    error = folder.IsVolume ? plat::ERROR_INVALID_NAME : plat::ERROR_FILE_NOT_FOUND;
    return false;
  }
  mask = folder.Components.back();
  folder.Components.pop_back();
  return true;
}

char DriveOfRoot(std::string_view rootPath) {
  if (rootPath.size() < 2 || rootPath.size() > 3 || !IsLetter(rootPath[0]) || rootPath[1] != ':')
    return 0;
  if (rootPath.size() == 3 && !IsSep(rootPath[2])) return 0;
  return Upper(rootPath[0]);
}

bool WildcardMatch(std::u16string_view mask, std::u16string_view name) {
  if (mask == u"*" || mask == u"*.*") return true;
  // Iterative glob with one backtrack point for the last '*'.
  std::size_t m = 0, n = 0, starM = std::u16string_view::npos, starN = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == u'?' || mask[m] == name[n])) {
      ++m, ++n;
    } else if (m < mask.size() && mask[m] == u'*') {
      starM = m++, starN = n;
    } else if (starM != std::u16string_view::npos) {
      m = starM + 1, n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == u'*') ++m;
  return m == mask.size();
}

}  // namespace ntfs
