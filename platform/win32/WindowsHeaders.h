// The Windows SDK headers, for the files of the Windows backend.
//
// The SDK defines GENERIC_READ, INVALID_HANDLE_VALUE, WAIT_ABANDONED and
// many more as macros, and Platform.h declares constants of the same names
// in namespace plat. Include this header after every project header, and
// below it use the SDK's spelling only (the values are the same).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

#include <windows.h>
#include <winioctl.h>
