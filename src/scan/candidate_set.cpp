#include "scan/candidate_set.h"

#include <algorithm>

#include "common/database.h"

namespace korvex {

namespace {
auto LowerBound(const std::vector<std::unique_ptr<CSearchedPartitionInfo>>& items, CCandidateSet::Key key) {
  return std::lower_bound(items.begin(), items.end(), key,
                          [](const auto& c, CCandidateSet::Key k) { return CCandidateSet::KeyOf(*c) < k; });
}
}  // namespace

CSearchedPartitionInfo* CCandidateSet::Find(Key key) const {
  auto it = LowerBound(items_, key);
  return it != items_.end() && KeyOf(**it) == key ? it->get() : nullptr;
}

std::pair<CSearchedPartitionInfo*, bool> CCandidateSet::Insert(
    std::unique_ptr<CSearchedPartitionInfo> candidate) {
  if (!candidate)
    return {nullptr, false};
  const Key key = KeyOf(*candidate);
  auto it = LowerBound(items_, key);
  if (it != items_.end() && KeyOf(**it) == key)
    return {it->get(), false};
  if (items_.size() >= kMaxCandidates)
    return {nullptr, false};
  CSearchedPartitionInfo* raw = candidate.get();
  items_.insert(it, std::move(candidate));
  return {raw, true};
}

void CCandidateSet::CopyTo(CandidateList& list) const {
  for (const auto& c : items_)
    list.push_back(c->Clone());
}

ProbeOutcome ProbeOutcome::FromDataBase() {
  const CDataBase& db = CDataBase::Instance();
  ProbeOutcome outcome;
  outcome.rootHasDirectories = db.rootHasDirectories.load() != 0;
  outcome.tried = db.probeTried.load() != 0;
  outcome.passed = db.probePassed.load() != 0;
  outcome.fileCount = db.probeFileCount.load();
  return outcome;
}

bool PassesProbe(const CSearchedPartitionInfo& candidate, const ProbeOutcome& outcome) {
  switch (candidate.type) {
    case 1:
    case 2:
    case 3: {
      if (outcome.rootHasDirectories || (outcome.tried && outcome.passed))
        return true;
      const auto* fat = dynamic_cast<const CFATSearchedPartitionInfo*>(&candidate);
      return fat && (fat->flags & (fat_evidence::kBootSectors | fat_evidence::kBothFatsSeen)) != 0;
    }
    case 4:
      return outcome.tried ? outcome.passed : outcome.fileCount > 0;
    default:
      return true;
  }
}

bool QualifiesForLostFiles(const CSearchedPartitionInfo& candidate) {
  return candidate.score >= 0.5 || candidate.matchCount != 0 || candidate.fileCount != 0;
}

}  // namespace korvex
