// The text description of a test image for contigra_mkimage, and the
// deterministic content its files get.
//
//   # comment
//   size 8M                 image size (suffix K or M; at least 1,049,088 bytes)
//   cluster 4096            cluster size
//   label CONTIGRA
//   dir Docs\Old            folder (parents created); attr=hsr possible
//   file Docs\a.bin size=20000 [frag=N] [attr=hsr]
//   sparse s.bin size=1048576 data=0+4096,524288+8192
//   compressed c.bin size=131072
//
// Paths are relative to the root, '\' or '/' separated, UTF-8, in double
// quotes when they hold spaces (runs of spaces become one). Files with
// frag=N are written interleaved with each other, chunk by chunk, each
// chunk in the first free run after the one before, with a free cluster
// kept after each chunk of a file, so each ends up in N pieces (more where
// a free run is shorter than a chunk). attr letters: h hidden, s system,
// r read-only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imagekit {

struct LayoutEntry {
  enum class Kind { Dir, File, Sparse, Compressed } Type = Kind::File;
  std::string Path;
  std::uint64_t Size = 0;
  int Fragments = 0;  // 0 or 1: written in one go
  std::uint32_t Attributes = 0;  // FILE_ATTRIBUTE_* to add
  std::vector<std::pair<std::uint64_t, std::uint64_t>> Data;  // sparse: offset, length
  int Line = 0;
};

struct Layout {
  std::uint64_t ImageSize = 8u << 20;
  std::uint32_t ClusterSize = 4096;
  std::string Label = "CONTIGRA";
  std::vector<LayoutEntry> Entries;
};

// Pure: parses a layout; false with "line N: reason" in `error`.
bool ParseLayout(const std::string& text, Layout& layout, std::string& error);

// The bytes [offset, offset + length) of the file at `path` (as written in
// the layout). Compressed files get alternating compressible and random
// 8 KiB stretches; other files are pseudo-random. Sparse files are zero
// outside their data ranges (the caller handles that).
void FileContent(const std::string& path, LayoutEntry::Kind kind, std::uint64_t offset,
                 std::uint8_t* out, std::size_t length);

// The whole expected content of a layout entry.
std::vector<std::uint8_t> ExpectedContent(const LayoutEntry& entry);

}  // namespace imagekit
