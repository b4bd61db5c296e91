#include "RunMath.h"

#include <algorithm>

namespace ntfs {

std::int64_t VcnCount(const std::vector<Run>& runs) {
  return runs.empty() ? 0 : runs.back().Vcn + runs.back().Length;
}

std::vector<Run> AllocatedPieces(const std::vector<Run>& runs, std::int64_t vcn,
                                 std::int64_t count) {
  std::vector<Run> pieces;
  const std::int64_t end = vcn + count;
  for (const Run& r : runs) {
    const std::int64_t from = std::max(vcn, r.Vcn), to = std::min(end, r.Vcn + r.Length);
    if (from >= to || r.Lcn < 0) continue;
    pieces.push_back({from, r.Lcn + (from - r.Vcn), to - from});
  }
  return pieces;
}

void JoinRuns(std::vector<Run>& runs) {
  std::vector<Run> out;
  for (const Run& r : runs) {
    if (r.Length <= 0) continue;
    if (!out.empty()) {
      Run& last = out.back();
      const bool bothVirtual = last.Lcn < 0 && r.Lcn < 0;
      const bool continues = last.Lcn >= 0 && r.Lcn == last.Lcn + last.Length;
      if (bothVirtual || continues) {
        last.Length += r.Length;
        continue;
      }
    }
    out.push_back(r);
  }
  runs.swap(out);
}

std::vector<Run> SpliceRuns(const std::vector<Run>& runs, std::int64_t vcn, std::int64_t count,
                            std::int64_t target) {
  const std::int64_t end = vcn + count;
  std::vector<Run> out;
  std::int64_t next = target;
  for (const Run& r : runs) {
    const std::int64_t rEnd = r.Vcn + r.Length;
    const std::int64_t from = std::max(vcn, r.Vcn), to = std::min(end, rEnd);
    if (from >= to || r.Lcn < 0) {
      out.push_back(r);
      continue;
    }
    if (r.Vcn < from) out.push_back({r.Vcn, r.Lcn, from - r.Vcn});
    out.push_back({from, next, to - from});
    next += to - from;
    if (to < rEnd) out.push_back({to, r.Lcn + (to - r.Vcn), rEnd - to});
  }
  JoinRuns(out);
  return out;
}

}  // namespace ntfs
