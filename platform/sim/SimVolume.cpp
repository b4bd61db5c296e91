// The in-memory volume: bitmap, folder tree and files.
#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "SimPlatform.h"
#include "SimPaths.h"

namespace sim {

std::int64_t SimFile::VcnCount() const {
  std::int64_t n = 0;
  for (const Extent& e : Extents) n += e.Length;
  return n;
}

SimVolume::SimVolume(std::int64_t clusterCount, std::uint32_t bytesPerCluster)
    : clusters_(clusterCount),
      bytesPerCluster_(bytesPerCluster),
      bitmap_(static_cast<std::size_t>((clusterCount + 7) / 8), 0) {
  Node& root = nodes_[""];
  root.IsDir = true;
  root.Attributes = plat::FILE_ATTRIBUTE_DIRECTORY;
}

bool SimVolume::IsUsed(std::int64_t lcn) const {
  return (bitmap_[static_cast<std::size_t>(lcn >> 3)] >> (lcn & 7)) & 1;
}

void SimVolume::SetUsed(std::int64_t lcn, std::int64_t count, bool used) {
  if (lcn < 0 || count < 0 || lcn + count > clusters_)
    throw std::out_of_range("cluster range outside the volume");
  for (std::int64_t c = lcn; c < lcn + count; ++c) {
    auto& byte = bitmap_[static_cast<std::size_t>(c >> 3)];
    const auto mask = static_cast<std::uint8_t>(1u << (c & 7));
    byte = used ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
  }
}

std::int64_t SimVolume::UsedCount() const {
  std::int64_t n = 0;
  for (std::uint8_t b : bitmap_) n += std::popcount(b);
  return n;
}

SimVolume::Node* SimVolume::Lookup(const std::string& path) {
  auto it = nodes_.find(FoldKey(path));
  return it == nodes_.end() ? nullptr : &it->second;
}

SimVolume::Node& SimVolume::Ensure(const std::string& path, bool isDir,
                                   std::uint32_t attributes) {
  const std::string key = FoldKey(path);
  if (auto it = nodes_.find(key); it != nodes_.end()) {
    if (it->second.IsDir != isDir) throw std::invalid_argument("path exists with another kind");
    return it->second;
  }
  const auto slash = path.rfind('\\');
  const std::string parentPath = slash == std::string::npos ? "" : path.substr(0, slash);
  Node& parent = parentPath.empty() ? nodes_[""]
                                    : Ensure(parentPath, true, plat::FILE_ATTRIBUTE_DIRECTORY);
  parent.Children.push_back(key);
  Node& node = nodes_[key];
  node.Name = slash == std::string::npos ? path : path.substr(slash + 1);
  node.IsDir = isDir;
  node.Attributes = attributes | (isDir ? plat::FILE_ATTRIBUTE_DIRECTORY : 0);
  return node;
}

void SimVolume::AddFolder(const std::string& path, std::uint32_t attributes) {
  Ensure(path, true, attributes);
}

SimFile& SimVolume::AddFile(const std::string& path, std::vector<Extent> extents,
                            std::int64_t size, std::uint32_t attributes) {
  for (const Extent& e : extents) {
    if (e.Lcn < 0) continue;
    for (std::int64_t c = e.Lcn; c < e.Lcn + e.Length; ++c)
      if (IsUsed(c)) throw std::invalid_argument("file extent overlaps used clusters");
    SetUsed(e.Lcn, e.Length, true);
  }
  Node& node = Ensure(path, false, attributes);
  node.File = std::make_unique<SimFile>();
  node.File->Extents = std::move(extents);
  node.File->Size = size >= 0 ? size : node.File->VcnCount() * bytesPerCluster_;
  return *node.File;
}

SimFile& SimVolume::AddResidentFile(const std::string& path, std::int64_t size,
                                    std::uint32_t attributes) {
  Node& node = Ensure(path, false, attributes);
  node.File = std::make_unique<SimFile>();
  node.File->Size = size;
  node.File->Resident = true;
  return *node.File;
}

SimFile* SimVolume::FindFile(const std::string& path) {
  Node* node = Lookup(path);
  return node && !node->IsDir ? node->File.get() : nullptr;
}

std::vector<Extent> SimVolume::ExtentsOf(const std::string& path) {
  SimFile* f = FindFile(path);
  return f ? f->Extents : std::vector<Extent>{};
}

}  // namespace sim
