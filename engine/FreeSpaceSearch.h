// The free-space search with a choice of bitmap walker. The engine uses the
// fast scanner; the plain walk is the reference that tests and benchmarks
// compare it with, through the same request path.
#pragma once

#include "DefragAPI.h"

enum class TBitmapWalker { Fast, Reference };

std::int64_t FindFirstFreeRegionWith(TBitmapWalker walker, HANDLE volume, std::int64_t needed,
                                     TFreeRegion& region);
std::int32_t ListFreeRegionsWith(TBitmapWalker walker, HANDLE volume, TFreeRegionList& regions,
                                 std::int64_t needed);
