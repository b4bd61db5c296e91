// Which image or device each drive letter stands for.
//
// Entries read "C=/path/c.img" (a whole NTFS image or block device) or
// "C=/vm/disk.img:2" (the second partition of a disk image with an MBR or
// GPT partition table). The environment variable CONTIGRA_DRIVES holds
// entries separated by ';' and, when set, replaces the file `drives` in
// the configuration folder ($XDG_CONFIG_HOME/contigra, by default
// ~/.config/contigra), which holds one entry per line ('#' starts a
// comment line). Bad entries are skipped with a message.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ntfs {

struct DriveEntry {
  std::string Path;   // absolute path of the image file or device
  int Partition = 0;  // 0: the whole file is the volume; else 1-based
  bool operator==(const DriveEntry&) const = default;
};

struct DriveTable {
  std::map<char, DriveEntry> Drives;  // upper-case letter -> entry
  std::vector<std::string> Problems;  // one message per skipped entry
};

// Pure: parses `text`, whose entries are separated by `separator` (';' for
// the environment, '\n' for the file).
DriveTable ParseDriveTable(std::string_view text, char separator);

// The table in force: the environment variable, else the file. Problems
// are also written to stderr.
DriveTable LoadDriveTable();

// Where LoadDriveTable looks for the file.
std::string DriveTableFilePath();

}  // namespace ntfs
