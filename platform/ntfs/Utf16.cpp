#include "Utf16.h"

namespace ntfs {
namespace {

bool IsHigh(std::uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(std::uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

void Append(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one sequence at text[i]; returns the code point and advances i,
// or returns nothing for a malformed sequence.
std::optional<std::uint32_t> Decode(std::string_view text, std::size_t& i) {
  const auto b0 = static_cast<std::uint8_t>(text[i]);
  int extra = 0;
  std::uint32_t cp = 0, min = 0;
  if (b0 < 0x80) {
    ++i;
    return b0;
  } else if ((b0 & 0xE0) == 0xC0) {
    extra = 1, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3, cp = b0 & 0x07, min = 0x10000;
  } else {
    return std::nullopt;
  }
  if (i + static_cast<std::size_t>(extra) >= text.size()) return std::nullopt;
  for (int k = 1; k <= extra; ++k) {
    const auto b = static_cast<std::uint8_t>(text[i + static_cast<std::size_t>(k)]);
    if ((b & 0xC0) != 0x80) return std::nullopt;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF) return std::nullopt;
  i += static_cast<std::size_t>(extra) + 1;
  return cp;
}

}  // namespace

std::string Utf16ToUtf8(const std::uint16_t* units, std::size_t count) {
  std::string out;
  out.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t u = units[i];
    if (IsHigh(u) && i + 1 < count && IsLow(units[i + 1])) {
      Append(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00u));
      ++i;
    } else {
      Append(out, u);  // lone surrogates included
    }
  }
  return out;
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  bool lastWasLoneHigh = false;
  for (std::size_t i = 0; i < text.size();) {
    const auto cp = Decode(text, i);
    if (!cp) return std::nullopt;
    // A high surrogate followed by a low one would read back as one
    // supplementary character: only the four-byte form may say that.
    if (lastWasLoneHigh && IsLow(*cp)) return std::nullopt;
    lastWasLoneHigh = IsHigh(*cp);
    if (*cp >= 0x10000) {
      const std::uint32_t v = *cp - 0x10000;
      out += static_cast<char16_t>(0xD800 + (v >> 10));
      out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
    } else {
      out += static_cast<char16_t>(*cp);
    }
  }
  return out;
}

}  // namespace ntfs
