// Reading the volume bitmap request by request and finding free runs.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FreeRunScanner.h"
#include "FreeSpaceSearch.h"
#include "Records.h"
#include "RequestStatus.h"

using namespace plat;
namespace rec = plat::rec;

namespace {

// Outcome of one pass over the bitmap.
struct BitmapPass {
  bool Stopped = false;         // the judge asked to stop
  std::int32_t Failure = 0;     // the failing status, 0 when read to the end
};

// The request buffer, placed so that the bitmap bytes after its header
// start on a cache line. Every answer is copied into it, and how fast
// depends on where: glibc's memcpy of 128 KiB on AMD Zen takes twice as
// long when the destination is 8 to 24 bytes past the source's place in
// its cache line (measured with bench_free_space), which is where a plain
// heap buffer put it for the simulated volumes.
class RequestBuffer {
 public:
  RequestBuffer() : storage_(rec::kBitmapBufferSize + kLine) {
    const auto bits = reinterpret_cast<std::uintptr_t>(storage_.data()) + rec::kBitmapBitsOffset;
    start_ = storage_.data() + (kLine - bits % kLine) % kLine;
  }
  std::uint8_t* data() { return start_; }
  static constexpr std::size_t size() { return rec::kBitmapBufferSize; }

 private:
  static constexpr std::size_t kLine = 64;
  std::vector<std::uint8_t> storage_;
  std::uint8_t* start_;
};

// Reads the bitmap from LCN 0 in requests of up to 1,048,576 clusters and
// feeds each answer to the walker, which judges runs as they end. The one
// request buffer is the only copy of the bitmap held.
template <class Walker, class Judge>
BitmapPass WalkBitmap(HANDLE volume, Walker& walker, Judge&& judge) {
  RequestBuffer buffer;
  std::int64_t next = 0;
  for (;;) {
    std::uint8_t input[8];
    rec::StoreI64(input, 0, next);
    IO_STATUS_BLOCK iosb;
    const std::int32_t sent =
        NtFsControlFile(volume, iosb, FSCTL_GET_VOLUME_BITMAP, input, sizeof input,
                        buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    if (!engine_detail::IsMoreOrDone(sent) && sent != STATUS_PENDING) return {false, sent};
    const std::int32_t status = engine_detail::SettleRequest(sent, volume, iosb);
    if (!engine_detail::IsMoreOrDone(status)) return {false, -1};

    const std::int64_t base = rec::LoadI64(buffer.data(), rec::kBitmapStartingLcnOffset);
    // Every request starts on a byte boundary, so the answer must start
    // where it was asked to: any other start would walk clusters twice or
    // skip them, and one that stays put would loop forever.
    if (base != next) return {false, -1};
    std::int64_t bits = rec::LoadI64(buffer.data(), rec::kBitmapSizeOffset);
    if (bits > rec::kBitmapMaxClusters) bits = rec::kBitmapMaxClusters;
    if (bits < 0) bits = 0;
    if (walker.Walk(buffer.data() + rec::kBitmapBitsOffset, base, bits, judge)) return {true, 0};
    if (status == STATUS_SUCCESS) return {walker.Finish(judge), 0};
    if (bits == 0) return {false, -1};  // an answer that makes no progress would loop forever
    next = base + bits;
  }
}

template <class Walker>
std::int64_t FindFirst(HANDLE volume, std::int64_t needed, TFreeRegion& region) {
  Walker walker(needed);
  bool found = false;
  WalkBitmap(volume, walker, [&](std::int64_t lcn, std::int64_t length) {
    region = {lcn, length};
    found = true;
    return true;
  });
  return found ? region.Length : -1;
}

template <class Walker>
std::int32_t ListAll(HANDLE volume, TFreeRegionList& regions, std::int64_t needed) {
  Walker walker(needed);
  const BitmapPass pass = WalkBitmap(volume, walker, [&](std::int64_t lcn, std::int64_t length) {
    regions.push_back({lcn, length});
    return false;
  });
  return pass.Failure;
}

}  // namespace

std::int64_t FindFirstFreeRegionWith(TBitmapWalker walker, HANDLE volume, std::int64_t needed,
                                     TFreeRegion& region) {
  return walker == TBitmapWalker::Fast ? FindFirst<FastFreeRunScanner>(volume, needed, region)
                                       : FindFirst<ReferenceFreeRunWalk>(volume, needed, region);
}

std::int32_t ListFreeRegionsWith(TBitmapWalker walker, HANDLE volume, TFreeRegionList& regions,
                                 std::int64_t needed) {
  return walker == TBitmapWalker::Fast ? ListAll<FastFreeRunScanner>(volume, regions, needed)
                                       : ListAll<ReferenceFreeRunWalk>(volume, regions, needed);
}

std::int64_t FindFirstFreeRegion(HANDLE volume, std::int64_t needed, TFreeRegion& region) {
  return FindFirstFreeRegionWith(TBitmapWalker::Fast, volume, needed, region);
}

std::int32_t ListFreeRegions(HANDLE volume, TFreeRegionList& regions, std::int64_t needed) {
  return ListFreeRegionsWith(TBitmapWalker::Fast, volume, regions, needed);
}
