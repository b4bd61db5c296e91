// Reading compiled GNU gettext catalogues (.mo files) from a byte buffer.
//
// The reader trusts nothing in the buffer: a wrong magic number, a table or
// string outside the buffer, a missing terminator or a count that cannot
// fit are all answered with "no catalogue", never with a crash, and the
// work done is bounded by the buffer's size. Pure C++ with no Qt, so a
// fuzzer can feed it any bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>

// English text (message identifier) to translation, both UTF-8. Holds only
// entries with a translation: the header entry, untranslated entries and
// entries with a message context are left out. Of plural entries the
// singular identifier and the first form are kept.
using TMessageCatalogue = std::unordered_map<std::string, std::string>;

// The catalogue held in `bytes` (either byte order), or nothing when the
// buffer is not a well-formed catalogue.
std::optional<TMessageCatalogue> ParseMoCatalogue(std::span<const std::uint8_t> bytes);
