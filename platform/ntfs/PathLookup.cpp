#include "PathLookup.h"

#include <algorithm>

#include "Inode.h"
#include "Platform.h"
#include "Utf16.h"

namespace ntfs {
namespace {

const ntfschar* AsNtfs(const std::u16string& s) {
  return reinterpret_cast<const ntfschar*>(s.data());
}

// Little-endian on-disk units from host-order text.
std::u16string ToDisk(const std::u16string& s) {
  std::u16string out(s);
  for (auto& c : out) c = static_cast<char16_t>(cpu_to_le16(static_cast<u16>(c)));
  return out;
}

// The child `name` of folder `dir`: an exact match first, then one that
// differs only in case.
bool LookupChild(ntfs_inode* dir, const std::u16string& name, std::uint64_t& mref) {
  const std::u16string disk = ToDisk(name);
  const int len = static_cast<int>(disk.size());
  ntfs_volume* vol = dir->vol;
  u64 r = ntfs_inode_lookup_by_name(dir, AsNtfs(disk), len);
  if (r == static_cast<u64>(-1) && errno == ENOENT) {
    // The library compares without case only while the volume is flagged
    // case-insensitive; that flag also makes it lower-case listed names,
    // so it is set for this one lookup only (under the library lock).
    NVolClearCaseSensitive(vol);
    r = ntfs_inode_lookup_by_name(dir, AsNtfs(disk), len);
    NVolSetCaseSensitive(vol);
  }
  if (r == static_cast<u64>(-1)) return false;
  mref = r;
  return true;
}

struct FillContext {
  std::vector<ListedEntry>* Out;
  bool IsRoot;
};

int Fill(void* dirent, const ntfschar* name, const int nameLen, const int nameType,
         const s64 /*pos*/, const MFT_REF mref, const unsigned /*dtType*/) {
  auto* ctx = static_cast<FillContext*>(dirent);
  if (nameType == FILE_NAME_DOS) return 0;
  std::u16string n(static_cast<std::size_t>(nameLen), u'\0');
  for (int i = 0; i < nameLen; ++i) n[static_cast<std::size_t>(i)] = static_cast<char16_t>(le16_to_cpu(name[i]));
  const bool dots = n == u"." || n == u"..";
  if (ctx->IsRoot && (dots || MREF(mref) < FILE_first_user)) return 0;
  ctx->Out->push_back({std::move(n), mref});
  return 0;
}

}  // namespace

std::u16string FoldCase(const ntfs_volume* vol, std::u16string name) {
  for (auto& c : name) {
    const auto u = static_cast<u16>(c);
    if (u < vol->upcase_len) c = static_cast<char16_t>(le16_to_cpu(vol->upcase[u]));
  }
  return name;
}

std::size_t LookupCache::KeyHash::operator()(const Key& k) const {
  return std::hash<std::u16string>()(k.Name) ^ (k.Dir * 0x9E3779B97F4A7C15ull);
}

bool LookupCache::Find(std::uint64_t dir, const std::u16string& name, std::uint64_t& mref) const {
  const auto it = names_.find(Key{dir, name});
  if (it == names_.end()) return false;
  mref = it->second;
  return true;
}

void LookupCache::MakeRoom(std::size_t count) {
  if (names_.size() + count > kNames) names_.clear();
}

void LookupCache::Add(std::uint64_t dir, const std::u16string& name, std::uint64_t mref) {
  MakeRoom(1);
  names_[Key{dir, name}] = mref;
}

void LookupCache::AddListing(std::uint64_t dir, const std::vector<ListedEntry>& entries) {
  // Of a folder larger than the cache, the names listed first.
  const std::size_t count = std::min(entries.size(), kNames);
  MakeRoom(count);
  for (std::size_t i = 0; i < count; ++i)
    if (entries[i].Name != u"." && entries[i].Name != u"..") names_[Key{dir, entries[i].Name}] = entries[i].Mref;
}

bool ResolvePath(ntfs_volume* vol, const std::vector<std::string>& components,
                 std::uint64_t& mref, std::uint32_t& error, LookupCache* cache) {
  mref = MK_MREF(FILE_root, 0);
  for (std::size_t i = 0; i < components.size(); ++i) {
    const bool last = i + 1 == components.size();
    const auto name = Utf8ToUtf16(components[i]);
    if (!name || name->empty() || name->size() > 255) {
      error = plat::ERROR_INVALID_NAME;
      return false;
    }
    // Only folders have entries in the cache, so a hit also says that
    // `mref` is a folder.
    if (cache && cache->Find(mref, *name, mref)) continue;
    const std::uint64_t parent = mref;
    ScopedInode dir(vol, mref);
    if (!dir || !IsDirectory(dir.get()) || !LookupChild(dir.get(), *name, mref)) {
      error = last && dir && IsDirectory(dir.get()) ? plat::ERROR_FILE_NOT_FOUND
                                                    : plat::ERROR_PATH_NOT_FOUND;
      return false;
    }
    if (cache) cache->Add(parent, *name, mref);
  }
  return true;
}

bool ListFolder(ntfs_inode* dir, std::vector<ListedEntry>& entries) {
  FillContext ctx{&entries, dir->mft_no == FILE_root};
  s64 pos = 0;
  return ntfs_readdir(dir, &pos, &ctx, Fill) == 0;
}

}  // namespace ntfs
