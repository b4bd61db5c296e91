// What the dialogs' file lists show of a file besides its path.
#pragma once

#include <cstdint>
#include <string>

struct TFileMeasure {
  std::int64_t Size = -1;       // bytes; -1 when it cannot be read
  std::int64_t Fragments = -1;  // -1 when the map cannot be read
};

// Opens `path` for reading with read sharing, as an existing file, and
// measures it. A folder, a missing file or a file that another program
// holds without read sharing cannot be opened: both stay -1.
TFileMeasure MeasureFile(const std::string& path);
