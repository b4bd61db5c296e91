// What the options dialog's Drives page tells about a drive-table entry:
// the NTFS volume it holds, or why it cannot be used.
#pragma once

#include <cstdint>
#include <string>

#include "DriveTable.h"

enum class TDriveProblem {
  None,
  CannotOpen,       // the file or device cannot be opened for reading
  NotFileOrDevice,  // a folder, a socket...
  NoPartition,      // the partition table has no such partition
  NotNtfs,          // no NTFS volume where the entry points
  PartitionTable,   // a whole disk with a partition table: a partition must be chosen
  Unreadable,       // the volume's metadata cannot be read
};

enum class TDriveReadOnly {
  No,
  Hibernated,      // Windows hibernated with the volume in use
  FileReadOnly,    // the program may not write the file or device
};

struct TDriveCheck {
  TDriveProblem Problem = TDriveProblem::None;
  std::string Detail;              // the system's words for CannotOpen, NoPartition, Unreadable
  std::string Label;               // the volume's label; may be empty
  std::uint64_t Bytes = 0;         // clusters x cluster size
  std::uint32_t ClusterBytes = 0;
  TDriveReadOnly ReadOnly = TDriveReadOnly::No;
  bool Usable() const { return Problem == TDriveProblem::None; }
};

// Opens `entry`'s file or device read only, finds its partition and mounts
// the volume read only; nothing is written. Takes the NTFS library's lock
// while it mounts, so it is safe beside running defragmentation.
TDriveCheck CheckDriveEntry(const ntfs::DriveEntry& entry);
