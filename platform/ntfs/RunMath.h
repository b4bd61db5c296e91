// Pure arithmetic on a file's runs (VCN order, Lcn -1 for a virtual run):
// what a move of a VCN range takes and what the runs look like after it.
#pragma once

#include <cstdint>
#include <vector>

namespace ntfs {

struct Run {
  std::int64_t Vcn = 0;
  std::int64_t Lcn = 0;  // -1: virtual (sparse or compressed-away) clusters
  std::int64_t Length = 0;
  bool operator==(const Run&) const = default;
};

inline constexpr std::int64_t kVirtualLcn = -1;

// VCNs covered by `runs` (they start at VCN 0 and follow each other).
std::int64_t VcnCount(const std::vector<Run>& runs);

// The allocated pieces of [vcn, vcn + count): one Run per physical piece,
// Vcn being the piece's first VCN.
std::vector<Run> AllocatedPieces(const std::vector<Run>& runs, std::int64_t vcn,
                                 std::int64_t count);

// `runs` after the allocated clusters of [vcn, vcn + count) are placed one
// after another from `target`; virtual runs stay where they are. Runs that
// continue each other are joined.
std::vector<Run> SpliceRuns(const std::vector<Run>& runs, std::int64_t vcn, std::int64_t count,
                            std::int64_t target);

// Joins neighbours that continue each other (physically, or both virtual)
// and drops empty runs.
void JoinRuns(std::vector<Run>& runs);

}  // namespace ntfs
