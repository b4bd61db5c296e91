#include "ProgramVersion.h"

#include "ContigraVersion.h"

TVersionNumbers GetVersionNumbers() {
  if (!kContigraHasVersion) return {};
  const auto part = [](unsigned n) { return static_cast<std::uint16_t>(n & 0xFFFFu); };
  return {part(kContigraVersionMajor), part(kContigraVersionMinor), part(kContigraVersionRelease),
          part(kContigraVersionBuild)};
}
