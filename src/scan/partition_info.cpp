#include "scan/partition_info.h"

#include <algorithm>
#include <cmath>

namespace korvex {

void RankCandidates(CandidateList& candidates) {
  auto evidence = [](const CSearchedPartitionInfo& c) {
    return static_cast<double>(50 * c.matchCount + c.bootScore + c.fileCount);
  };
  double best = 0;
  for (const auto& c : candidates)
    best = std::max(best, evidence(*c));
  const double n = best > 1 ? std::log(best) : 1.0;
  for (auto& c : candidates) {
    const double r = evidence(*c);
    c->score = r > 1 ? std::log(r) / n : r / n;
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const auto& a, const auto& b) { return a->score > b->score; });
}

}  // namespace korvex
