// Finding files by Windows path and listing folders, with Windows' rules:
// names compare without case (an exact match wins when a case-sensitive
// volume holds both spellings), short (DOS) names are not listed, and the
// root folder hides the volume's metafiles and has no "." or "..".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "NtfsLib.h"

namespace ntfs {

struct ListedEntry {
  std::u16string Name;  // as stored
  std::uint64_t Mref = 0;
};

// The answers of one mount's name lookups: (folder, name as asked) -> the
// record found, from successful lookups and from folder listings. Folders
// do not change while a mount holds the volume (this backend never
// creates, renames or deletes, and the volume is locked against other
// writers), so an answer stays right for the mount's lifetime. Failed
// lookups are not kept. Bounded by kNames: full, it starts over.
class LookupCache {
 public:
  static constexpr std::size_t kNames = 16384;

  bool Find(std::uint64_t dir, const std::u16string& name, std::uint64_t& mref) const;
  void Add(std::uint64_t dir, const std::u16string& name, std::uint64_t mref);
  // The names of a listing of folder `dir` ("." and ".." left out).
  void AddListing(std::uint64_t dir, const std::vector<ListedEntry>& entries);

 private:
  struct Key {
    std::uint64_t Dir;
    std::u16string Name;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key& k) const;
  };
  void MakeRoom(std::size_t count);
  std::unordered_map<Key, std::uint64_t, KeyHash> names_;
};

// Resolves `components` from the root folder. On failure returns false
// with ERROR_FILE_NOT_FOUND (last component missing) or
// ERROR_PATH_NOT_FOUND (a folder on the way missing or not a folder), or
// ERROR_INVALID_NAME for a name that cannot be an NTFS name.
// With `cache`, each step is answered from it when it can and what the
// library finds is added to it.
bool ResolvePath(ntfs_volume* vol, const std::vector<std::string>& components,
                 std::uint64_t& mref, std::uint32_t& error, LookupCache* cache = nullptr);

// The entries of folder `dir` in index order, "." and ".." first unless it
// is the root. False when the index cannot be read.
bool ListFolder(ntfs_inode* dir, std::vector<ListedEntry>& entries);

// Upper-cases `name` with the volume's own table, as NTFS compares names.
std::u16string FoldCase(const ntfs_volume* vol, std::u16string name);

}  // namespace ntfs
