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

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define CONTIGRA_SCAN_SSE2 1
#else
#define CONTIGRA_SCAN_SSE2 0
#endif

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

static_assert(std::endian::native == std::endian::little,
              "bitmap words are read as little-endian integers");

namespace free_run_detail {

inline std::uint64_t LoadWord(const std::uint8_t* bitmap, std::int64_t word) {
  std::uint64_t w;
  std::memcpy(&w, bitmap + word * 8, sizeof w);
  return w;
}

// Nonzero when some 32-bit half of w is zero (all free).
inline std::uint64_t FreeHalves(std::uint64_t w) {
  constexpr std::uint64_t kLow = 0x0000000100000001, kHigh = 0x8000000080000000;
  return (w - kLow) & ~w & kHigh;
}

#if CONTIGRA_SCAN_SSE2
inline constexpr bool kVectorScan = true;
#else
inline constexpr bool kVectorScan = false;
#endif

// The first word in [from, end) with a free 32-bit half, or end. A few
// words are tried one by one, as stretches are often short; then blocks of
// 16 words are tested at once (with SSE2 when kVector), and the word is
// found one by one in the block that has it.
template <bool kVector = kVectorScan>
std::int64_t FirstWithFreeHalf(const std::uint8_t* bitmap, std::int64_t from, std::int64_t end) {
  std::int64_t k = from;
  for (const std::int64_t first = std::min(end, from + 4); k < first; ++k)
    if (FreeHalves(LoadWord(bitmap, k)) != 0) return k;
  for (; end - k >= 16; k += 16) {
    const std::uint8_t* p = bitmap + k * 8;
    bool any = false;
    if constexpr (kVector) {
#if CONTIGRA_SCAN_SSE2
      const __m128i zero = _mm_setzero_si128();
      __m128i halves = _mm_setzero_si128();
      for (int i = 0; i < 8; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        halves = _mm_or_si128(halves, _mm_cmpeq_epi32(v, zero));
      }
      any = _mm_movemask_epi8(halves) != 0;
#endif
    } else {
      std::uint64_t w[16];
      std::memcpy(w, p, sizeof w);
      std::uint64_t halves = 0;
      for (std::uint64_t x : w) halves |= FreeHalves(x);
      any = halves != 0;
    }
    if (any) break;
  }
  while (k < end && FreeHalves(LoadWord(bitmap, k)) == 0) ++k;
  return k;
}

// The first word in [from, end) that is not `pattern` (all free or all
// used), or end; searched the same way.
template <bool kVector = kVectorScan>
std::int64_t FirstOtherThan(const std::uint8_t* bitmap, std::int64_t from, std::int64_t end,
                            std::uint64_t pattern) {
  std::int64_t k = from;
  for (const std::int64_t first = std::min(end, from + 4); k < first; ++k)
    if (LoadWord(bitmap, k) != pattern) return k;
  for (; end - k >= 16; k += 16) {
    const std::uint8_t* p = bitmap + k * 8;
    bool other = false;
    if constexpr (kVector) {
#if CONTIGRA_SCAN_SSE2
      const __m128i same = _mm_set1_epi64x(static_cast<long long>(pattern));
      __m128i all = _mm_cmpeq_epi32(same, same);
      for (int i = 0; i < 8; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        all = _mm_and_si128(all, _mm_cmpeq_epi32(v, same));
      }
      other = _mm_movemask_epi8(all) != 0xFFFF;
#endif
    } else {
      std::uint64_t w[16];
      std::memcpy(w, p, sizeof w);
      std::uint64_t diff = 0;
      for (std::uint64_t x : w) diff |= x ^ pattern;
      other = diff != 0;
    }
    if (other) break;
  }
  while (k < end && LoadWord(bitmap, k) == pattern) ++k;
  return k;
}

// The first of the words from + stride, from + 2 stride, ... before end
// that is all free, or end.
inline std::int64_t FirstFreeAtStride(const std::uint8_t* bitmap, std::int64_t from,
                                      std::int64_t end, std::int64_t stride) {
  std::int64_t k = from + stride;
  for (; end - k > 3 * stride; k += 4 * stride) {
    const std::uint64_t least =
        std::min({LoadWord(bitmap, k), LoadWord(bitmap, k + stride),
                  LoadWord(bitmap, k + 2 * stride), LoadWord(bitmap, k + 3 * stride)});
    if (least == 0) break;
  }
  for (; k < end; k += stride)
    if (LoadWord(bitmap, k) == 0) return k;
  return end;
}

}  // namespace free_run_detail

// Same contract and results as ReferenceFreeRunWalk, 64 clusters at a time.
//
// Words are read with memcpy (no alignment assumed, nothing read past the
// piece's last byte) and taken apart with bit counts: a word with no used
// bit extends the open run by 64; otherwise the open run ends at the word's
// lowest used bit, the free runs between its used bits are complete, and
// its free high bits open the next run.
//
// A run between two used bits of one word is at most 62 long, so from
// `needed` >= 63 on those runs are never looked at. A run of 63 or more
// covers a whole aligned 32-bit half of some word, so a stretch of words
// with no free half holds no run that fits, unless the run carried into it
// is already within 31 of `needed`. Such stretches are skipped with a test
// of 16 words at a time, and only the last skipped word matters: its free
// high bits open the next run. Random and finely fragmented bitmaps then
// cost little more than reading them. Longer runs cover whole free words:
// one of 64 m + 63 clusters or more covers m of them in a row, so when m is
// 3 or more only every m-th word is looked at until one is free, and only
// the last stride before it is walked.
//
// Below 63 the free bits between a word's used bits are narrowed with
// shifts to the starts of runs long enough, so the word costs one step per
// run that fits rather than one per run.
//
// Cluster numbers (`base`) are taken to be non-negative, as LCNs are.
class FastFreeRunScanner {
 public:
  explicit FastFreeRunScanner(std::int64_t needed)
      : needed_(needed), stride_(needed >= 63 ? (needed - 63) / 64 : 0) {}

  template <class Judge>
  bool Walk(const std::uint8_t* bitmap, std::int64_t base, std::int64_t bits, Judge&& judge) {
    if (bits <= 0) return false;
    const std::int64_t words = bits >> 6;
    const bool stopped = needed_ >= kNoInnerRuns ? WalkLong(bitmap, base, words, judge)
                                                 : WalkShort(bitmap, base, words, judge);
    if (stopped) return true;
    const int tail = static_cast<int>(bits & 63);
    if (tail == 0) return false;
    // The last partial word: the clusters past the piece read as free, so a
    // run reaching the piece's end stays open, and are then taken back off.
    std::uint64_t w = 0;
    std::memcpy(&w, bitmap + words * 8, static_cast<std::size_t>((tail + 7) / 8));
    w &= (std::uint64_t{1} << tail) - 1;
    const bool stop = needed_ >= kNoInnerRuns ? Step<false>(w, base + words * 64, judge)
                                              : Step<true>(w, base + words * 64, judge);
    if (stop) return true;
    openLen_ -= 64 - tail;
    return false;
  }

  // The volume ended: a run reaching the last cluster is judged here.
  template <class Judge>
  bool Finish(Judge&& judge) {
    return openLen_ > 0 && CloseOpen(openLcn_, 0, judge);
  }

 private:
  // From this length on no run inside a single word can qualify.
  static constexpr std::int64_t kNoInnerRuns = 63;

  static std::uint64_t Load(const std::uint8_t* bitmap, std::int64_t word) {
    return free_run_detail::LoadWord(bitmap, word);
  }

  // Ends the open run, which has grown by `more` clusters and starts at
  // `lcn` when nothing was open; true when the judge stops. Callers make
  // sure the run is not empty.
  template <class Judge>
  bool CloseOpen(std::int64_t lcn, std::int64_t more, Judge& judge) {
    const std::int64_t len = openLen_ + more;
    if (openLen_ > 0) lcn = openLcn_;
    openLen_ = 0;
    return len >= needed_ && judge(lcn, len);
  }

  // One word at cluster `at`.
  template <bool kInner, class Judge>
  bool Step(std::uint64_t w, std::int64_t at, Judge& judge) {
    if (w == 0) {
      if (openLen_ == 0) openLcn_ = at;
      openLen_ += 64;
      return false;
    }
    const int low = std::countr_zero(w);
    if ((openLen_ | low) != 0 && CloseOpen(at, low, judge)) return true;
    const int high = std::countl_zero(w);
    if constexpr (kInner) {
      if (InnerRuns(w, low, high, at, judge)) return true;
    }
    if (high > 0) {
      openLcn_ = at + 64 - high;
      openLen_ = high;
    }
    return false;
  }

  // Judges the free runs strictly between w's lowest and highest used bits.
  template <class Judge>
  bool InnerRuns(std::uint64_t w, int low, int high, std::int64_t at, Judge& judge) {
    // Free bits above the lowest used bit and below the highest one.
    const std::uint64_t freeBits =
        ~w & ~((std::uint64_t{2} << low) - 1) & (~std::uint64_t{0} >> high);
    // Bit i stays set in `fits` when clusters i .. i+needed-1 are all free.
    std::uint64_t fits = freeBits;
    for (std::int64_t have = 1; have < needed_;) {
      const std::int64_t shift = std::min(have, needed_ - have);
      fits &= fits >> shift;
      have += shift;
    }
    // One bit per qualifying run, at its start.
    std::uint64_t starts = fits & ~(fits << 1);
    while (starts != 0) {
      const int start = std::countr_zero(starts);
      const int end = std::countr_zero(~freeBits & (~std::uint64_t{0} << start));
      if (judge(at + start, std::int64_t{end - start})) return true;
      starts &= starts - 1;
    }
    return false;
  }

  // Stretches of free words join the open run in one go.
  void AddFreeWords(const std::uint8_t* bitmap, std::int64_t base, std::int64_t& k,
                    std::int64_t words) {
    const std::int64_t next = free_run_detail::FirstOtherThan(bitmap, k + 1, words, 0);
    if (openLen_ == 0) openLcn_ = base + k * 64;
    openLen_ += (next - k) * 64;
    k = next;
  }

  template <class Judge>
  bool WalkShort(const std::uint8_t* bitmap, std::int64_t base, std::int64_t words,
                 Judge& judge) {
    for (std::int64_t k = 0; k < words;) {
      const std::uint64_t w = Load(bitmap, k);
      if (w == 0) {
        AddFreeWords(bitmap, base, k, words);
      } else if (w == ~std::uint64_t{0} && openLen_ == 0) {
        k = free_run_detail::FirstOtherThan(bitmap, k + 1, words, ~std::uint64_t{0});
      } else {
        if (Step<true>(w, base + k * 64, judge)) return true;
        ++k;
      }
    }
    return false;
  }

  // Opens the run of the free high bits of word k.
  void OpenAfter(std::uint64_t w, std::int64_t base, std::int64_t k) {
    const int high = std::countl_zero(w);
    openLcn_ = base + (k + 1) * 64 - high;
    openLen_ = high;
  }

  template <class Judge>
  bool WalkLong(const std::uint8_t* bitmap, std::int64_t base, std::int64_t words,
                Judge& judge) {
    std::int64_t strideFrom = 0;  // the first word that may start a stride skip
    for (std::int64_t k = 0; k < words;) {
      const std::uint64_t w = Load(bitmap, k);
      if (w == 0) {
        AddFreeWords(bitmap, base, k, words);
        continue;
      }
      if (free_run_detail::FreeHalves(w) != 0 || openLen_ >= needed_ - 31) {
        if (Step<false>(w, base + k * 64, judge)) return true;
        ++k;
        continue;
      }
      // With the open run this short, word k (no free half) ends it short
      // of `needed`.
      if (stride_ >= kMinStride && k >= strideFrom) {
        // A run of `needed` covers stride_ whole free words, so one of the
        // words k + stride_, k + 2 stride_, ... is free if a run that fits
        // ends after word k. Up to the word one stride before the first such
        // word nothing fits; the words after that are walked.
        const std::int64_t c =
            free_run_detail::FirstFreeAtStride(bitmap, k, words, stride_);
        if (c < words) {
          OpenAfter(Load(bitmap, c - stride_), base, c - stride_);
          k = c - stride_ + 1;
          strideFrom = c + 1;
          continue;
        }
        // No such word up to the piece's end: what follows the last one
        // looked at is too short to fit, and the open run is the piece's
        // trailing free clusters.
        std::int64_t last = words - 1;
        while (Load(bitmap, last) == 0) --last;  // stops at word k at the latest
        openLen_ = std::countl_zero(Load(bitmap, last)) + (words - 1 - last) * 64;
        openLcn_ = base + words * 64 - openLen_;
        return false;
      }
      // Otherwise, nor can the next word with no free half, as the open run
      // it inherits is under 32. So up to the next word with a free half,
      // nothing is judged, and the last word's free high bits are the open
      // run.
      k = free_run_detail::FirstWithFreeHalf(bitmap, k + 1, words);
      OpenAfter(Load(bitmap, k - 1), base, k - 1);
    }
    return false;
  }

  // From this stride on, looking at every stride-th word beats testing
  // every word for a free half.
  static constexpr std::int64_t kMinStride = 3;

  std::int64_t needed_;
  std::int64_t stride_;  // whole free words that every run of `needed` covers
  std::int64_t openLcn_ = 0;
  std::int64_t openLen_ = 0;  // 0: no run open
};
