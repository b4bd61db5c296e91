// Walkers over a volume bitmap that is fed in request-sized pieces.
//
// A walker keeps one open free run across pieces, so a run that crosses a
// request boundary is one run. A run is judged only when it ends (at a used
// cluster, or at the volume's end through Finish), so the judge always sees
// its whole length; the judge is called only for runs of at least `needed`
// clusters and returns true to stop the walk.
//
// Bitmaps are LSB-first: bit i is bit (i mod 8) of byte (i div 8); 1 means
// in use.
#pragma once

#include <cstdint>

// The plain one-cluster-at-a-time walk. It is the definition the fast
// scanner must match exactly; tests and benchmarks compare against it.
class ReferenceFreeRunWalk {
 public:
  explicit ReferenceFreeRunWalk(std::int64_t needed) : needed_(needed) {}

  // Walks `bits` clusters starting at cluster `base`. Returns true when the
  // judge asked to stop (the walk is then over).
  template <class Judge>
  bool Walk(const std::uint8_t* bitmap, std::int64_t base, std::int64_t bits, Judge&& judge) {
    for (std::int64_t i = 0; i < bits; ++i) {
      const bool used = (bitmap[i >> 3] >> (i & 7)) & 1;
      if (!used) {
        if (openLcn_ < 0) openLcn_ = base + i;
        ++openLen_;
      } else if (openLcn_ >= 0) {
        if (JudgeOpen(judge)) return true;
      }
    }
    return false;
  }

  // The volume ended: a run reaching the last cluster is judged here.
  template <class Judge>
  bool Finish(Judge&& judge) {
    return openLcn_ >= 0 && JudgeOpen(judge);
  }

 private:
  template <class Judge>
  bool JudgeOpen(Judge& judge) {
    const std::int64_t lcn = openLcn_, len = openLen_;
    openLcn_ = -1;
    openLen_ = 0;
    return len >= needed_ && judge(lcn, len);
  }

  std::int64_t needed_;
  std::int64_t openLcn_ = -1;
  std::int64_t openLen_ = 0;
};

// Same contract as ReferenceFreeRunWalk.
using FastFreeRunScanner = ReferenceFreeRunWalk;
