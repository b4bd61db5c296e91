// The fast scanner against the plain walk, fed the way the engine feeds it:
// a volume bitmap cut into pieces, one open run carried between them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "FreeRunScanner.h"

namespace {

constexpr std::int64_t kHuge = std::numeric_limits<std::int64_t>::max();

// A run the judge saw, and which call saw it (the piece's index, or the
// piece count for Finish).
struct Judged {
  std::int64_t Lcn = 0;
  std::int64_t Length = 0;
  int Call = 0;
  bool operator==(const Judged&) const = default;
};
void PrintTo(const Judged& j, std::ostream* os) {
  *os << "{" << j.Lcn << ", " << j.Length << " @" << j.Call << "}";
}

struct Outcome {
  std::vector<Judged> Runs;
  int StoppedAt = -1;  // the call that returned true, -1 when none did
  bool operator==(const Outcome&) const = default;
};
void PrintTo(const Outcome& o, std::ostream* os) {
  *os << o.Runs.size() << " runs, stopped at " << o.StoppedAt << ":";
  for (const Judged& j : o.Runs) {
    *os << " ";
    PrintTo(j, os);
  }
}

// A volume bitmap (one bool per cluster, true = used) cut into pieces.
// Each piece sits in its own allocation of exactly its (bits+7)/8 bytes,
// 1 to 7 bytes into it so that words are unaligned (a read past its end
// trips the address sanitizer); the bits after the piece's last cluster in
// its last byte are junk, as they are inside a request.
struct Pieces {
  struct Piece {
    std::vector<std::uint8_t> Storage;
    std::size_t Skew = 0;
    std::int64_t Base = 0;
    std::int64_t Bits = 0;
    const std::uint8_t* Data() const { return Storage.data() + Skew; }
  };
  std::vector<Piece> List;

  Pieces(const std::vector<bool>& used, std::int64_t origin, const std::vector<std::int64_t>& sizes,
         std::mt19937_64& rng) {
    std::int64_t at = 0;
    for (std::int64_t bits : sizes) {
      Piece p;
      p.Skew = 1 + rng() % 7;
      p.Base = origin + at;
      p.Bits = bits;
      const auto bytes = static_cast<std::size_t>((bits + 7) / 8);
      p.Storage.resize(p.Skew + bytes);
      for (std::size_t b = 0; b < bytes; ++b)
        p.Storage[p.Skew + b] = static_cast<std::uint8_t>(rng());
      for (std::int64_t i = 0; i < bits; ++i) {
        std::uint8_t& byte = p.Storage[p.Skew + static_cast<std::size_t>(i / 8)];
        const auto mask = static_cast<std::uint8_t>(1u << (i % 8));
        byte = static_cast<std::uint8_t>(used[static_cast<std::size_t>(at + i)] ? byte | mask
                                                                                 : byte & ~mask);
      }
      List.push_back(std::move(p));
      at += bits;
    }
  }
};

// Feeds every piece then Finish, as the request loop does; the judge stops
// at the stopAt-th qualifying run (never when 0).
template <class Walker>
Outcome Feed(const Pieces& pieces, std::int64_t needed, std::size_t stopAt = 0) {
  Walker walker(needed);
  Outcome out;
  int call = 0;
  auto judge = [&](std::int64_t lcn, std::int64_t length) {
    out.Runs.push_back({lcn, length, call});
    return out.Runs.size() == stopAt;
  };
  for (const Pieces::Piece& p : pieces.List) {
    if (walker.Walk(p.Data(), p.Base, p.Bits, judge)) {
      out.StoppedAt = call;
      return out;
    }
    ++call;
  }
  if (walker.Finish(judge)) out.StoppedAt = call;
  return out;
}

// Piece sizes summing to `clusters`, mixing empty pieces, single clusters,
// a few bits, sizes around one and two words, and long pieces; most end
// mid-word.
std::vector<std::int64_t> RandomCuts(std::int64_t clusters, std::mt19937_64& rng) {
  std::vector<std::int64_t> sizes;
  for (std::int64_t left = clusters; left > 0;) {
    std::int64_t bits = 0;
    switch (rng() % 7) {
      case 0: bits = 1; break;
      case 1: bits = 1 + static_cast<std::int64_t>(rng() % 9); break;
      case 2:  // 62 .. 66 or 126 .. 130
        bits = 64 * (1 + static_cast<std::int64_t>(rng() % 2)) - 2 +
               static_cast<std::int64_t>(rng() % 5);
        break;
      case 3: bits = 1 + static_cast<std::int64_t>(rng() % 400); break;
      case 4: bits = 0; break;
      default: bits = 1 + static_cast<std::int64_t>(rng() % 6000); break;
    }
    bits = std::min(bits, left);
    sizes.push_back(bits);
    left -= bits;
  }
  return sizes;
}

// Bitmaps of every density and grain: each cluster used with a fixed
// probability, or alternating used and free runs of random lengths. Either
// kind may get free holes of random length now and then, so that long
// stretches with no fitting run end in one that may fit.
struct Shape {
  const char* Name;
  double UsedChance;  // per cluster; < 0 for alternating runs
  std::int64_t MeanUsed = 0, MeanFree = 0;
  std::int64_t MaxClusters = 40000;
  std::int64_t HoleEvery = 0, HoleMax = 0;  // mean spacing and longest hole; 0: none
};
constexpr Shape kShapes[] = {
    {"AllFree", 0.0},
    {"Used1in64", 1.0 / 64},
    {"Used25", 0.25},
    {"Used50", 0.5},
    {"Used75", 0.75},
    {"Free1in64", 63.0 / 64},
    {"AllUsed", 1.0},
    {"ShortRuns", -1, 3, 3},
    {"WordRuns", -1, 70, 70},
    {"LongFree", -1, 40, 900},
    {"LongUsedShortFree", -1, 2000, 120},
    {"Huge", -1, 3000, 9000},
    {"NoiseWithHoles", 0.5, 0, 0, 300000, 30000, 300},
    {"UsedWithRareHoles", 1.0, 0, 0, 300000, 40000, 5000},
};

std::vector<bool> MakeBitmap(const Shape& s, std::mt19937_64& rng) {
  const auto clusters = static_cast<std::size_t>(1 + rng() % s.MaxClusters);
  std::vector<bool> used(clusters);
  if (s.UsedChance >= 0) {
    std::bernoulli_distribution coin(s.UsedChance);
    for (std::size_t i = 0; i < clusters; ++i) used[i] = coin(rng);
  } else {
    bool u = rng() & 1;
    for (std::size_t i = 0; i < clusters;) {
      const std::int64_t mean = u ? s.MeanUsed : s.MeanFree;
      auto len = static_cast<std::size_t>(1 + rng() % static_cast<std::uint64_t>(2 * mean));
      for (; len > 0 && i < clusters; --len) used[i++] = u;
      u = !u;
    }
  }
  for (std::size_t i = 0; s.HoleEvery > 0;) {
    i += static_cast<std::size_t>(1 + rng() % (2 * s.HoleEvery));
    if (i >= clusters) break;
    const auto len = static_cast<std::size_t>(1 + rng() % s.HoleMax);
    for (std::size_t j = i; j < i + len && j < clusters; ++j) used[j] = false;
  }
  return used;
}

const std::vector<std::int64_t> kNeeded = {0,   1,   2,   3,   7,   62,  63,   64,   65,
                                           127, 128, 129, 191, 254, 255, 256, 1000, 4096,
                                           kHuge};

// Every run the judge sees, and where it sees it, is the reference walk's,
// for every `needed`, on bitmaps of each shape cut at random places.
TEST(FreeRunScannerTest, JudgesTheSameRunsAsTheReferenceWalk) {
  std::mt19937_64 rng(7);
  for (const Shape& shape : kShapes) {
    for (int round = 0; round < 4; ++round) {
      const std::vector<bool> used = MakeBitmap(shape, rng);
      const auto clusters = static_cast<std::int64_t>(used.size());
      const std::int64_t origin = static_cast<std::int64_t>(rng() % 100000);
      // Random cuts, and the whole volume in one piece.
      for (const auto& cuts : {RandomCuts(clusters, rng), std::vector<std::int64_t>{clusters}}) {
        const Pieces pieces(used, origin, cuts, rng);
        for (std::int64_t needed : kNeeded) {
          const Outcome ref = Feed<ReferenceFreeRunWalk>(pieces, needed);
          ASSERT_EQ(Feed<FastFreeRunScanner>(pieces, needed), ref)
              << shape.Name << " round " << round << " clusters " << clusters << " pieces "
              << cuts.size() << " needed " << needed;
        }
      }
    }
  }
}

// A judge that stops at the k-th run stops both walkers at the same run and
// in the same call, whether the run ends inside a piece or at Finish.
TEST(FreeRunScannerTest, StopsAtTheSameRunAsTheReferenceWalk) {
  std::mt19937_64 rng(11);
  for (const Shape& shape : kShapes) {
    const std::vector<bool> used = MakeBitmap(shape, rng);
    const auto clusters = static_cast<std::int64_t>(used.size());
    const auto origin = static_cast<std::int64_t>(rng() % 1000);
    const Pieces pieces(used, origin, RandomCuts(clusters, rng), rng);
    for (std::int64_t needed : kNeeded) {
      const std::size_t total = Feed<ReferenceFreeRunWalk>(pieces, needed).Runs.size();
      for (std::size_t k : {std::size_t{1}, std::size_t{2}, total / 2, total}) {
        if (k == 0 || k > total) continue;
        const Outcome ref = Feed<ReferenceFreeRunWalk>(pieces, needed, k);
        ASSERT_EQ(ref.Runs.size(), k);
        ASSERT_GE(ref.StoppedAt, 0);
        ASSERT_EQ(Feed<FastFreeRunScanner>(pieces, needed, k), ref)
            << shape.Name << " needed " << needed << " stop at " << k << " of " << total;
      }
    }
  }
}

// The searches that skip stretches of words (with no free 32-bit half, all
// free, all used, not free at every stride-th word), with and without SSE2
// where it applies (the build uses one of them), find what a word-by-word
// search finds.
TEST(FreeRunScannerTest, WordSearchesFindTheFirstWordOfInterest) {
  constexpr std::uint64_t kAllUsed = ~std::uint64_t{0};
  std::mt19937_64 rng(5);
  for (int round = 0; round < 300; ++round) {
    const auto words = static_cast<std::size_t>(rng() % 100);
    // Mostly one kind of word, so that searches cross whole blocks.
    const int kind = round % 3;
    std::vector<std::uint64_t> w(words);
    for (std::uint64_t& x : w) {
      x = kind == 0 ? rng() | 0x0000000100000001 : kind == 1 ? 0 : kAllUsed;
      switch (rng() % 24) {
        case 0: x = rng() & 0xFFFFFFFF00000000; break;  // low half free
        case 1: x = rng() & 0x00000000FFFFFFFF; break;  // high half free
        case 2: x = 0; break;
        case 3: x = kAllUsed; break;
        case 4: x = rng(); break;
        default: break;
      }
    }
    std::vector<std::uint8_t> bytes(words * 8);  // exactly the words: no slack to read
    if (words > 0) std::memcpy(bytes.data(), w.data(), bytes.size());
    const std::uint8_t* data = bytes.data();
    const auto end = static_cast<std::int64_t>(words);
    auto firstWhere = [&](std::int64_t from, auto pred) {
      while (from < end && !pred(w[static_cast<std::size_t>(from)])) ++from;
      return from;
    };
    for (std::int64_t from = 0; from <= end; ++from) {
      const std::int64_t freeHalf = firstWhere(from, [](std::uint64_t x) {
        return (x & 0xFFFFFFFF) == 0 || (x >> 32) == 0;
      });
      const std::int64_t notFree = firstWhere(from, [](std::uint64_t x) { return x != 0; });
      const std::int64_t notUsed = firstWhere(from, [](std::uint64_t x) { return x != kAllUsed; });
      for (std::int64_t stride : {1, 3, 7, 40}) {
        std::int64_t expected = from + stride;
        while (expected < end && w[static_cast<std::size_t>(expected)] != 0) expected += stride;
        ASSERT_EQ(free_run_detail::FirstFreeAtStride(data, from, end, stride),
                  std::min(expected, end));
      }
      ASSERT_EQ(free_run_detail::FirstWithFreeHalf<false>(data, from, end), freeHalf);
      ASSERT_EQ(free_run_detail::FirstOtherThan<false>(data, from, end, 0), notFree);
      ASSERT_EQ(free_run_detail::FirstOtherThan<false>(data, from, end, kAllUsed), notUsed);
      if constexpr (free_run_detail::kVectorScan) {
        ASSERT_EQ(free_run_detail::FirstWithFreeHalf<true>(data, from, end), freeHalf);
        ASSERT_EQ(free_run_detail::FirstOtherThan<true>(data, from, end, 0), notFree);
        ASSERT_EQ(free_run_detail::FirstOtherThan<true>(data, from, end, kAllUsed), notUsed);
      }
    }
  }
}

// Small layouts with the answer written out, for both walkers.
struct HandCase {
  const char* Name;
  std::vector<std::int64_t> UsedFree;  // alternating lengths, used first
  std::vector<std::int64_t> Cuts;      // piece sizes
  std::int64_t Origin;
  std::int64_t Needed;
  std::vector<Judged> Expected;        // all judged runs; none stops
};
void PrintTo(const HandCase& c, std::ostream* os) { *os << c.Name; }

class FreeRunScannerHandTest : public ::testing::TestWithParam<HandCase> {};

TEST_P(FreeRunScannerHandTest, JudgesExactlyTheseRuns) {
  const HandCase& c = GetParam();
  std::vector<bool> used;
  bool u = true;
  for (std::int64_t len : c.UsedFree) {
    used.insert(used.end(), static_cast<std::size_t>(len), u);
    u = !u;
  }
  std::mt19937_64 rng(3);
  const Pieces pieces(used, c.Origin, c.Cuts, rng);
  const Outcome expected{c.Expected, -1};
  EXPECT_EQ(Feed<ReferenceFreeRunWalk>(pieces, c.Needed), expected);
  EXPECT_EQ(Feed<FastFreeRunScanner>(pieces, c.Needed), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FreeRunScannerHandTest,
    ::testing::Values(
        HandCase{"AllUsed", {5000}, {1000, 4000}, 0, 1, {}},
        HandCase{"AllFreeIsJudgedAtFinish", {0, 5000}, {1000, 1, 3999}, 64, 5000, {{64, 5000, 3}}},
        HandCase{"AllFreeTooShort", {0, 5000}, {5000}, 0, 5001, {}},
        // Free 64..127 is word 1 exactly; bit 128 ends it inside the piece.
        HandCase{"RunEndsAtWordEdge", {64, 64, 64}, {192}, 0, 64, {{64, 64, 0}}},
        HandCase{"RunOfOneWordShortOfNeeded", {64, 64, 64}, {192}, 0, 65, {}},
        // The run fills the first piece to its end; the second piece's first
        // cluster ends it, so that piece's call judges it.
        HandCase{"RunEndsAtPieceEdge", {10, 118, 10}, {128, 10}, 5, 100, {{15, 118, 1}}},
        // Free from the last cluster of piece 0 through piece 1 and into 2.
        HandCase{"RunSpansThreePieces", {99, 1 + 64 + 7, 30}, {100, 64, 37}, 0, 72, {{99, 72, 2}}},
        // Short runs across odd pieces: the first ends in the second piece,
        // and the 63-cluster run fills piece 2 exactly, so piece 3 ends it.
        HandCase{"OddPiecesAndShortRuns",
                 {1, 2, 1, 3, 57, 63, 1, 1, 1},
                 {3, 61, 63, 2, 1},
                 1000,
                 2,
                 {{1001, 2, 1}, {1004, 3, 1}, {1064, 63, 3}}},
        // 69 free up to a word's end, then 31 more and a used cluster in a
        // word with no free 32-bit half: exactly 100.
        HandCase{"ExactFitEndsInAWordWithNoFreeHalf", {59, 100, 97}, {256}, 0, 100,
                 {{59, 100, 0}}},
        HandCase{"OneShortEndsInAWordWithNoFreeHalf", {59, 100, 97}, {256}, 0, 101, {}},
        // The shortest runs that fit, from the second cluster of word 3:
        // 254 covers only words 4 and 5 whole; 255 covers 4, 5 and 6.
        HandCase{"ExactFitCoveringTwoWholeWords", {193, 254, 577}, {1024}, 0, 254,
                 {{193, 254, 0}}},
        HandCase{"ExactFitCoveringThreeWholeWords", {193, 255, 576}, {1024}, 0, 255,
                 {{193, 255, 0}}},
        HandCase{"NeededZeroJudgesEveryRun", {1, 1, 1, 1, 1}, {5}, 0, 0,
                 {{1, 1, 0}, {3, 1, 0}}},
        HandCase{"NothingNeededOfHugeLength", {0, 200000}, {65536, 134464}, 0, kHuge, {}}),
    [](const auto& p) { return std::string(p.param.Name); });

}  // namespace
