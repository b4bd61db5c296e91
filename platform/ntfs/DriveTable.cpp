#include "DriveTable.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace ntfs {
namespace {

std::string_view Trim(std::string_view s) {
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

// Splits a trailing ":N" (up to three digits) off `path`; returns N, or -1
// when the path has no such suffix.
int SplitPartition(std::string_view& path) {
  const auto colon = path.rfind(':');
  if (colon == std::string_view::npos || colon + 1 >= path.size() ||
      path.size() - colon - 1 > 3)
    return -1;
  int n = 0;
  for (char c : path.substr(colon + 1)) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  path = path.substr(0, colon);
  return n;
}

// Parses one entry; returns an empty string or the reason it is bad.
std::string ParseEntry(std::string_view entry, char& letter, DriveEntry& out) {
  const auto eq = entry.find('=');
  if (eq == std::string_view::npos) return "expected LETTER=PATH";
  const std::string_view key = Trim(entry.substr(0, eq));
  std::string_view path = Trim(entry.substr(eq + 1));
  if (key.size() != 1 || !((key[0] >= 'A' && key[0] <= 'Z') || (key[0] >= 'a' && key[0] <= 'z')))
    return "the drive must be one letter";
  letter = static_cast<char>(key[0] & ~0x20);
  out = {};
  const int partition = SplitPartition(path);
  if (path.empty() || path.front() != '/') return "the path must be absolute";
  if (path.find('\0') != std::string_view::npos) return "the path holds a NUL character";
  if (partition == 0 || partition > 128) return "partition number out of range (1-128)";
  out.Partition = partition < 0 ? 0 : partition;
  out.Path = std::string(path);
  return {};
}

}  // namespace

DriveTable ParseDriveTable(std::string_view text, char separator) {
  DriveTable table;
  std::size_t start = 0, lineNo = 0;
  while (start <= text.size()) {
    auto end = text.find(separator, start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view entry = Trim(text.substr(start, end - start));
    start = end + 1;
    ++lineNo;
    if (entry.empty() || entry.front() == '#') continue;
    char letter = 0;
    DriveEntry parsed;
    std::string problem = ParseEntry(entry, letter, parsed);
    if (problem.empty() && table.Drives.count(letter))
      problem = std::string("drive ") + letter + ": is already mapped";
    if (!problem.empty()) {
      std::ostringstream msg;
      msg << "entry " << lineNo << " \"" << entry << "\" ignored: " << problem;
      table.Problems.push_back(msg.str());
      continue;
    }
    table.Drives.emplace(letter, std::move(parsed));
  }
  return table;
}

std::string DriveTableFilePath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/contigra/drives";
  const char* home = std::getenv("HOME");
  return std::string(home && home[0] ? home : "") + "/.config/contigra/drives";
}

DriveTable LoadDriveTable() {
  DriveTable table;
  if (const char* env = std::getenv("CONTIGRA_DRIVES")) {
    table = ParseDriveTable(env, ';');
    for (auto& p : table.Problems) p = "CONTIGRA_DRIVES: " + p;
  } else {
    const std::string file = DriveTableFilePath();
    std::ifstream in(file);
    if (in) {
      std::stringstream buffer;
      buffer << in.rdbuf();
      table = ParseDriveTable(buffer.str(), '\n');
      for (auto& p : table.Problems) p = file + ": " + p;
    }
  }
  for (const auto& p : table.Problems) std::cerr << "contigra: drive table: " << p << '\n';
  return table;
}

}  // namespace ntfs
