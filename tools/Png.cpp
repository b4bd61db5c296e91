#include "Png.h"

#include <zlib.h>

#include <fstream>

namespace tools {
namespace {

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
}

void Chunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
  PutU32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  const auto crc = crc32(0, out.data() + start, static_cast<uInt>(out.size() - start));
  PutU32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

bool WritePng(const std::string& path, std::uint32_t width, std::uint32_t height,
              const std::vector<std::uint8_t>& rgb) {
  if (rgb.size() != std::size_t{width} * height * 3) return false;
  std::vector<std::uint8_t> raw;
  raw.reserve((std::size_t{width} * 3 + 1) * height);
  for (std::uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    const auto row = rgb.begin() + static_cast<long>(std::size_t{y} * width * 3);
    raw.insert(raw.end(), row, row + static_cast<long>(width) * 3);
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<std::uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK)
    return false;
  packed.resize(packedSize);

  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> ihdr;
  PutU32(ihdr, width);
  PutU32(ihdr, height);
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8-bit, RGB, deflate, no filter, no interlace
  Chunk(png, "IHDR", ihdr);
  Chunk(png, "IDAT", packed);
  Chunk(png, "IEND", {});
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(out);
}

}  // namespace tools
