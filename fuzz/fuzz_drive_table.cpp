// The drive table: bytes as the `drives` file (one entry a line) or as
// CONTIGRA_DRIVES (entries separated by ';'), chosen by the first byte.
//
// Besides not crashing, every accepted entry must be well formed, and
// writing the table back out and reading it again must give the same
// table: what the parser accepts it can also read back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "DriveTable.h"
#include "FuzzCheck.h"

namespace {

std::string Write(const ntfs::DriveTable& table, char separator) {
  std::string text;
  for (const auto& [letter, entry] : table.Drives) {
    text += letter;
    text += '=';
    text += entry.Path;
    if (entry.Partition != 0) text += ':' + std::to_string(entry.Partition);
    text += separator;
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const char separator = (data[0] & 1) ? ';' : '\n';
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const ntfs::DriveTable table = ntfs::ParseDriveTable(text, separator);

  std::size_t entries = 1;
  for (char c : text) entries += c == separator;
  FUZZ_CHECK(table.Drives.size() + table.Problems.size() <= entries);
  for (const auto& [letter, entry] : table.Drives) {
    FUZZ_CHECK(letter >= 'A' && letter <= 'Z');
    FUZZ_CHECK(!entry.Path.empty() && entry.Path.front() == '/');
    FUZZ_CHECK(entry.Path.find('\0') == std::string::npos);
    FUZZ_CHECK(entry.Path.find(separator) == std::string::npos);
    FUZZ_CHECK(entry.Partition >= 0 && entry.Partition <= 128);
  }

  const ntfs::DriveTable again = ntfs::ParseDriveTable(Write(table, separator), separator);
  FUZZ_CHECK(again.Problems.empty());
  FUZZ_CHECK(again.Drives == table.Drives);
  return 0;
}
