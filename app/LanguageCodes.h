// The interface languages the program offers, in the order of the
// Language menu. The codes are stored exactly so ("ko_KO", not the usual
// Korean country code).
#pragma once

#include <array>
#include <string>
#include <string_view>

inline constexpr std::array<std::string_view, 8> LanguageCodes = {
    "en_US", "ru_RU", "de_DE", "it_IT", "ko_KO", "zh", "hu", "ro"};

// `language` when it is exactly (case-sensitively) one of LanguageCodes, otherwise "en_US".
std::string FixLanguage(const std::string& language);
