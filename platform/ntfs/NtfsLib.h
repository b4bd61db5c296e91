// The one place that includes libntfs-3g's C headers.
//
// The headers expect the configure-time HAVE_* macros of the library's own
// build, have no extern "C" guards and define min/max macros that would
// break the C++ standard library; this wrapper supplies the first two and
// removes the macros. Include it from .cpp files only.
#pragma once
#pragma GCC system_header

#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <sys/stat.h>
#include <sys/types.h>

#ifndef HAVE_STDINT_H
#define HAVE_STDINT_H 1
#endif
#define HAVE_STDIO_H 1
#define HAVE_STDARG_H 1
#define HAVE_STDDEF_H 1
#define HAVE_SYS_TYPES_H 1
#define HAVE_ENDIAN_H 1
#define HAVE_BYTESWAP_H 1
#define HAVE_TIME_H 1
#define HAVE_SYS_STAT_H 1
#define HAVE_SYS_PARAM_H 1
#define HAVE_FFS 1
#define HAVE_STRSEP 1
#define HAVE_DAEMON 1
#define HAVE_REALPATH 1
#define HAVE_CLOCK_GETTIME 1
#define HAVE_GETTIMEOFDAY 1

extern "C" {
#include <ntfs-3g/types.h>
#include <ntfs-3g/attrib.h>
#include <ntfs-3g/bitmap.h>
#include <ntfs-3g/device.h>
#include <ntfs-3g/dir.h>
#include <ntfs-3g/inode.h>
#include <ntfs-3g/layout.h>
#include <ntfs-3g/lcnalloc.h>
#include <ntfs-3g/logging.h>
#include <ntfs-3g/mft.h>
#include <ntfs-3g/runlist.h>
#include <ntfs-3g/unistr.h>
#include <ntfs-3g/volume.h>
}

#undef min
#undef max
