// Who makes the program and where to reach them: the one place for the
// about box's addresses, notice and credits.
#pragma once

inline constexpr const char* kProductHomePage = "https://www.contigra.example.org";
inline constexpr const char* kProductSupportMail = "support@contigra.example.org";
inline constexpr const char* kProductCopyright = "Copyright \u00A9 2026 The Contigra developers";
inline constexpr const char* kProductAuthors = "Written by the Contigra team";
// One line each in the about box's list of thanks.
inline constexpr const char* kProductThanks[] = {
    "The Qt Project, for Qt 6",
    "The ntfs-3g developers, for libntfs-3g",
    "The pugixml developers, for pugixml",
    "The GoogleTest developers, for GoogleTest",
    "Everyone who tried the betas and reported what broke",
};
