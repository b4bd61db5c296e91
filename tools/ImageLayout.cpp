#include "ImageLayout.h"

#include <sstream>

namespace imagekit {
namespace {

std::uint64_t Fnv(const std::string& s) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  return h;
}

std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

bool ParseSize(const std::string& text, std::uint64_t& value) {
  if (text.empty()) return false;
  std::size_t used = 0;
  std::uint64_t v = 0;
  try {
    v = std::stoull(text, &used, 10);
  } catch (...) {
    return false;
  }
  const std::string suffix = text.substr(used);
  if (suffix == "K" || suffix == "k") v <<= 10;
  else if (suffix == "M" || suffix == "m") v <<= 20;
  else if (!suffix.empty()) return false;
  value = v;
  return true;
}

bool ParseAttributes(const std::string& text, std::uint32_t& attrs) {
  for (char c : text) {
    if (c == 'r') attrs |= 0x1;
    else if (c == 'h') attrs |= 0x2;
    else if (c == 's') attrs |= 0x4;
    else return false;
  }
  return true;
}

bool ParseRanges(const std::string& text, LayoutEntry& e) {
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    const auto plus = item.find('+');
    std::uint64_t off = 0, len = 0;
    if (plus == std::string::npos || !ParseSize(item.substr(0, plus), off) ||
        !ParseSize(item.substr(plus + 1), len) || len == 0)
      return false;
    e.Data.emplace_back(off, len);
  }
  return !e.Data.empty();
}

// A path, in double quotes when it holds spaces.
bool ReadPath(std::istringstream& words, std::string& path) {
  if (!(words >> path)) return false;
  if (path.front() != '"') return true;
  while (path.size() < 2 || path.back() != '"') {
    std::string more;
    if (!(words >> more)) return false;
    path += ' ' + more;
  }
  path = path.substr(1, path.size() - 2);
  return !path.empty();
}

// key=value options of an entry line.
std::string ParseOption(const std::string& opt, LayoutEntry& e) {
  const auto eq = opt.find('=');
  if (eq == std::string::npos) return "expected key=value, got '" + opt + "'";
  const std::string key = opt.substr(0, eq), value = opt.substr(eq + 1);
  std::uint64_t n = 0;
  if (key == "size" && ParseSize(value, e.Size)) return {};
  if (key == "frag" && ParseSize(value, n) && n >= 1 && n <= 100000) {
    e.Fragments = static_cast<int>(n);
    return {};
  }
  if (key == "attr" && ParseAttributes(value, e.Attributes)) return {};
  if (key == "data" && ParseRanges(value, e)) return {};
  return "bad option '" + opt + "'";
}

std::string ParseEntry(const std::string& kind, std::istringstream& words, LayoutEntry& e) {
  if (kind == "dir") e.Type = LayoutEntry::Kind::Dir;
  else if (kind == "file") e.Type = LayoutEntry::Kind::File;
  else if (kind == "sparse") e.Type = LayoutEntry::Kind::Sparse;
  else if (kind == "compressed") e.Type = LayoutEntry::Kind::Compressed;
  else return "unknown keyword '" + kind + "'";
  if (!ReadPath(words, e.Path)) return "missing path or unclosed quote";
  std::string opt;
  while (words >> opt)
    if (auto problem = ParseOption(opt, e); !problem.empty()) return problem;
  if (e.Type != LayoutEntry::Kind::Dir && e.Size == 0 && e.Type != LayoutEntry::Kind::File)
    return "size= is required";
  for (const auto& [off, len] : e.Data)
    if (off + len > e.Size) return "data range past the end of the file";
  return {};
}

}  // namespace

bool ParseLayout(const std::string& text, Layout& layout, std::string& error) {
  layout = {};
  std::istringstream lines(text);
  std::string line;
  for (int no = 1; std::getline(lines, line); ++no) {
    std::istringstream words(line);
    std::string kind;
    if (!(words >> kind) || kind[0] == '#') continue;
    std::string problem, value;
    if (kind == "size" || kind == "cluster") {
      std::uint64_t v = 0;
      if (!(words >> value) || !ParseSize(value, v)) problem = "bad number";
      else if (kind == "size") layout.ImageSize = v;
      else layout.ClusterSize = static_cast<std::uint32_t>(v);
    } else if (kind == "label") {
      if (!(words >> layout.Label)) problem = "missing label";
    } else {
      LayoutEntry e;
      e.Line = no;
      problem = ParseEntry(kind, words, e);
      layout.Entries.push_back(std::move(e));
    }
    if (!problem.empty()) {
      error = "line " + std::to_string(no) + ": " + problem;
      return false;
    }
  }
  if (layout.ImageSize < 1049088) {
    error = "size: an NTFS image needs at least 1,049,088 bytes";
    return false;
  }
  return true;
}

void FileContent(const std::string& path, LayoutEntry::Kind kind, std::uint64_t offset,
                 std::uint8_t* out, std::size_t length) {
  static const char kText[] = "contigra keeps files in one piece. ";
  const std::uint64_t seed = Fnv(path);
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint64_t at = offset + i;
    if (kind == LayoutEntry::Kind::Compressed && (at / 8192) % 2 == 0)
      out[i] = static_cast<std::uint8_t>(kText[at % (sizeof(kText) - 1)]);
    else
      out[i] = static_cast<std::uint8_t>(Mix(seed ^ (at / 8)) >> (8 * (at % 8)));
  }
}

std::vector<std::uint8_t> ExpectedContent(const LayoutEntry& e) {
  std::vector<std::uint8_t> data(e.Size, 0);
  if (e.Type == LayoutEntry::Kind::Sparse) {
    for (const auto& [off, len] : e.Data) FileContent(e.Path, e.Type, off, data.data() + off, len);
  } else if (e.Size) {
    FileContent(e.Path, e.Type, 0, data.data(), data.size());
  }
  return data;
}

}  // namespace imagekit
