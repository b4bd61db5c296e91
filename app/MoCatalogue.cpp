#include "MoCatalogue.h"

#include <cstring>

namespace {

constexpr std::uint32_t MoMagic = 0x950412de;
constexpr std::size_t HeaderSize = 28;

class TMoReader {
 public:
  explicit TMoReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  // Settles the byte order from the magic number; false when it is neither.
  bool ReadMagic() {
    if (bytes_.size() < HeaderSize) return false;
    bigEndian_ = false;
    if (Word(0) == MoMagic) return true;
    bigEndian_ = true;
    return Word(0) == MoMagic;
  }

  // The 32-bit word at `offset`; the caller has checked that it is inside.
  std::uint32_t Word(std::size_t offset) const {
    const std::uint8_t* p = bytes_.data() + offset;
    if (bigEndian_)
      return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
             p[3];
    return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
  }

  // Whether a table of `count` (length, offset) pairs at `offset` lies
  // inside the buffer. 64-bit sums, so no count wraps around.
  bool TableFits(std::uint32_t offset, std::uint32_t count) const {
    return std::uint64_t{offset} + std::uint64_t{count} * 8 <= bytes_.size();
  }

  // The string described by the pair at `entry`, up to its first NUL (the
  // singular of a plural entry). Nothing when it leaves the buffer or lacks
  // its terminator.
  std::optional<std::string_view> String(std::size_t entry, std::uint64_t& budget) const {
    const std::uint32_t length = Word(entry);
    const std::uint32_t offset = Word(entry + 4);
    if (std::uint64_t{offset} + length >= bytes_.size()) return std::nullopt;
    if (bytes_[offset + length] != 0) return std::nullopt;
    // Pairs may share bytes, so a hostile file could name its whole body
    // thousands of times; legitimate strings never add up to more than
    // the buffer.
    if (length > budget) return std::nullopt;
    budget -= length;
    const char* text = reinterpret_cast<const char*>(bytes_.data() + offset);
    return std::string_view(text, ::strnlen(text, length));
  }

 private:
  std::span<const std::uint8_t> bytes_;
  bool bigEndian_ = false;
};

}  // namespace

std::optional<TMessageCatalogue> ParseMoCatalogue(std::span<const std::uint8_t> bytes) {
  TMoReader reader(bytes);
  if (!reader.ReadMagic()) return std::nullopt;
  // Major revisions 0 and 1 share this layout; later ones may not.
  if ((reader.Word(4) >> 16) > 1) return std::nullopt;
  const std::uint32_t count = reader.Word(8);
  const std::uint32_t originals = reader.Word(12);
  const std::uint32_t translations = reader.Word(16);
  if (!reader.TableFits(originals, count) || !reader.TableFits(translations, count))
    return std::nullopt;

  TMessageCatalogue catalogue;
  std::uint64_t budget = bytes.size();
  for (std::uint32_t i = 0; i < count; ++i) {
    const auto english = reader.String(originals + std::size_t{i} * 8, budget);
    const auto translated = reader.String(translations + std::size_t{i} * 8, budget);
    if (!english || !translated) return std::nullopt;
    if (english->empty() || translated->empty()) continue;
    if (english->find('\x04') != std::string_view::npos) continue;  // has a context
    catalogue.try_emplace(std::string(*english), std::string(*translated));
  }
  return catalogue;
}
