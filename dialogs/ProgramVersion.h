// The running program's version numbers, as the build stamped them.
#pragma once

#include <cstdint>

struct TVersionNumbers {
  std::uint16_t Major = 0;
  std::uint16_t Minor = 0;
  std::uint16_t Release = 0;
  std::uint16_t Build = 0;
};

// All four are 0 when the build carries no version.
TVersionNumbers GetVersionNumbers();
