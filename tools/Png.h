// A minimal PNG writer (8-bit RGB, one zlib stream, no filtering).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// `rgb` holds width * height * 3 bytes, rows top to bottom.
bool WritePng(const std::string& path, std::uint32_t width, std::uint32_t height,
              const std::vector<std::uint8_t>& rgb);

}  // namespace tools
