// The read-only side: fragment counts, the folder scan and its orders.
#include "DefragAPI.h"

using namespace plat;

std::int64_t GetFileFragmentCount(HANDLE file) {
  TFileMap map;
  const std::int32_t status = GetFileMap(file, map);
  if (map.BlockCount == 0) return 0;
  if (status != STATUS_SUCCESS) return -1;
  MergeFileMap(map);
  return map.BlockCount;
}

namespace {

// Fragments as the scan counts them: a map that failed part-way still
// counts the extents read, unmerged.
std::int64_t ScanFragments(HANDLE file) {
  TFileMap map;
  if (GetFileMap(file, map) == STATUS_SUCCESS) MergeFileMap(map);
  return map.BlockCount;
}

void MeasureFile(const std::string& path, std::int32_t minFragments, std::int64_t minSize,
                 TFileRegionList& list) {
  HANDLE file;
  if (OpenFileHandle(path, file) != 0) return;  // in use or denied: skipped silently
  const auto fragments = static_cast<std::int32_t>(ScanFragments(file));
  std::int64_t size = 0;
  Current().GetFileSizeEx(file, size);
  if (fragments >= minFragments && size >= minSize)
    list.push_back({false, path, fragments, size});
  CloseHandle(file);
}

}  // namespace

void ScanForFragmentedFiles(const std::string& folder, std::int32_t minFragments,
                            TFileRegionList& list, std::int64_t minSize,
                            const TScanProgressCallback& progress) {
  if (progress && progress(folder, static_cast<std::int32_t>(list.size()))) return;
  FindData entry;
  const HANDLE find = Current().FindFirstFileA(folder + "*.*", entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    // System entries are left out, folders and files alike.
    if (entry.Attributes & FILE_ATTRIBUTE_SYSTEM) continue;
    if (entry.Name == "." || entry.Name == "..") continue;
    if (entry.Attributes & FILE_ATTRIBUTE_DIRECTORY)
      ScanForFragmentedFiles(folder + entry.Name + "\\", minFragments, list, minSize, progress);
    else
      MeasureFile(folder + entry.Name, minFragments, minSize, list);
  } while (Current().FindNextFileA(find, entry));
  Current().FindClose(find);
}

namespace {

template <class T>
std::int32_t Order(T a, T b) {
  return a > b ? -1 : (a < b ? 1 : 0);
}

unsigned char FoldAz(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

}  // namespace

std::int32_t CompareByFragmentsDesc(const TFileRegionPair& a, const TFileRegionPair& b) {
  return Order(a.Fragments, b.Fragments);
}
std::int32_t CompareByFragmentsAsc(const TFileRegionPair& a, const TFileRegionPair& b) {
  return -CompareByFragmentsDesc(a, b);
}
std::int32_t CompareBySizeDesc(const TFileRegionPair& a, const TFileRegionPair& b) {
  return Order(a.Size, b.Size);
}
std::int32_t CompareBySizeAsc(const TFileRegionPair& a, const TFileRegionPair& b) {
  return -CompareBySizeDesc(a, b);
}

std::int32_t CompareByNameAsc(const TFileRegionPair& a, const TFileRegionPair& b) {
  const std::string& x = a.FileName;
  const std::string& y = b.FileName;
  const std::size_t n = std::min(x.size(), y.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int d = FoldAz(static_cast<unsigned char>(x[i])) - FoldAz(static_cast<unsigned char>(y[i]));
    if (d != 0) return d;
  }
  return Order(y.size(), x.size());  // the shorter goes first
}
std::int32_t CompareByNameDesc(const TFileRegionPair& a, const TFileRegionPair& b) {
  return -CompareByNameAsc(a, b);
}
