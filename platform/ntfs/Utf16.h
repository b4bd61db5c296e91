// UTF-8 <-> UTF-16 conversion for NTFS names, independent of the process
// locale.
//
// NTFS names are sequences of 16-bit units that need not be valid UTF-16: an
// unpaired surrogate is a legal name character. Such a unit is encoded as
// its own three-byte sequence (the "generalised UTF-8" used by other
// systems for the same purpose), so every name read from a volume converts
// to a string that converts back to the same units.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ntfs {

std::string Utf16ToUtf8(const std::uint16_t* units, std::size_t count);
inline std::string Utf16ToUtf8(const std::u16string& s) {
  return Utf16ToUtf8(reinterpret_cast<const std::uint16_t*>(s.data()), s.size());
}

// Empty optional when `text` is not well-formed (overlong forms, code points
// above U+10FFFF, truncated sequences, a lone surrogate encoded as the
// first half of a pair followed by its second half).
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);

}  // namespace ntfs
