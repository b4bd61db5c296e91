#include "LanguageCodes.h"

#include <algorithm>

std::string FixLanguage(const std::string& language) {
  const bool known = std::find(LanguageCodes.begin(), LanguageCodes.end(),
                               std::string_view(language)) != LanguageCodes.end();
  return known ? language : std::string("en_US");
}
