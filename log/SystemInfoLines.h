// The lines of the system-information block.
#pragma once

#include <optional>
#include <string>

#include "SystemInfo.h"

inline const std::string kSystemInfoTopLine =
    std::string(33, '=') + "  System info  " + std::string(35, '=');
inline const std::string kSystemInfoBottomLine = std::string(83, '=');

// " Contigra 0.1.0 build 7", or " Contigra" when the build carries no version.
std::string ProductLine();
// " NAME (SERVICE PACK) Version MAJOR.MINOR build BUILD"; empty when the
// version could not be read. Windows names come from the version numbers.
std::optional<std::string> SystemLine(const plat::OsVersion& os);
std::string WindowsSystemName(const plat::OsVersion& os);
