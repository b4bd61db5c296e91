// The translation catalogue reader: the bytes are a .mo file. Besides not
// crashing, what it returns must be what it promises to keep: no header
// entry, no untranslated entry, nothing with a message context.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzCheck.h"
#include "MoCatalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto catalogue = ParseMoCatalogue(std::span<const std::uint8_t>(data, size));
  if (!catalogue) return 0;
  for (const auto& [english, translation] : *catalogue) {
    FUZZ_CHECK(!english.empty());
    FUZZ_CHECK(!translation.empty());
    FUZZ_CHECK(english.find('\x04') == std::string::npos);
  }
  return 0;
}
