// The platform a program runs on, supplied by the backend CMake chose for
// this build (the NTFS backend on POSIX, the Windows one on Windows).
#pragma once

#include <memory>

#include "Platform.h"

namespace plat {
std::unique_ptr<Platform> MakeDefaultPlatform();
}
