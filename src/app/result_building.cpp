#include "app/result_building.h"

#include <algorithm>

#include "common/database.h"
#include "model/file_node.h"
#include "scan/candidate_set.h"
#include "scan/search_machine.h"

namespace korvex {

namespace {
constexpr std::size_t kLostFileCandidates = 10;
constexpr std::size_t kProbedCandidates = 20;
constexpr std::size_t kListedPartitions = 10;
constexpr std::uint32_t kTypeRaw = 8;

void NameRoot(CFileSystemNode* root, const std::string& name) {
  if (root && root->properties)
    root->properties->SetName(name.c_str());
}
}  // namespace

std::uint64_t CountFiles(CFileSystemNode* node) {
  std::uint64_t files = 0;
  WalkTree(node, [&](CFileNode* n) { files += n->IsFile() ? 1 : 0; });
  return files;
}

std::vector<ResultRoot> BuildLostFileResults(CSearchMachine& machine, iSearch* sink) {
  CDataBase& db = CDataBase::Instance();
  std::vector<ResultRoot> roots;
  auto keep = [&](CFileSystemNode* tree, std::uint32_t type) {
    if (!tree)
      return;
    if (CountFiles(tree) == 0) {
      ReleaseTree(tree);
      return;
    }
    ResultRoot r{"Found Files(" + std::to_string(roots.size() + 1) + ")", tree, type};
    NameRoot(tree, r.name);
    roots.push_back(std::move(r));
  };

  CSearchedPartitionInfo raw;
  raw.type = kTypeRaw;
  raw.name = "Raw Files Folder";
  keep(machine.BuildResultTree(&raw, sink, 0), kTypeRaw);

  const CandidateList& candidates = machine.Candidates();
  const bool stopped = db.scanInterrupted.load() != 0;
  std::uint64_t share = 0;
  if (stopped) {
    const std::size_t first20 = std::min(candidates.size(), kProbedCandidates);
    const auto qualifying = static_cast<std::uint64_t>(
        std::count_if(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(first20),
                      [](const auto& c) { return QualifiesForLostFiles(*c); }));
    const std::uint64_t total = db.progressTotal.load(), at = db.resumeBlock.load();
    share = qualifying && total > at ? (total - at) / qualifying : 0;
  } else {
    const std::uint64_t n = std::min(candidates.size(), kLostFileCandidates);
    const std::uint64_t total = db.progressTotal.load(), blocks = db.totalBlocks.load();
    share = n && total > blocks ? (total - blocks) / n : 0;
  }

  db.analysisMode = 1;
  const std::size_t walked = std::min(candidates.size(), kLostFileCandidates);
  for (std::size_t i = 0; i < walked; ++i) {
    CSearchedPartitionInfo& c = *candidates[i];
    if (!QualifiesForLostFiles(c))
      continue;
    keep(machine.BuildResultTree(&c, stopped ? nullptr : sink, share), c.type);
  }
  db.analysisMode = 2;
  return roots;
}

CandidateList ProbeLostPartitions(CSearchMachine& machine, std::uint64_t deviceSectors, iSearch* /*sink*/) {
  CDataBase& db = CDataBase::Instance();
  const CandidateList& candidates = machine.Candidates();
  const std::size_t probed = std::min(candidates.size(), kProbedCandidates);
  const std::uint64_t share = probed ? db.totalBlocks.load() / 5 / probed : 0;
  CandidateList passing;
  db.analysisMode = 0;
  for (std::size_t i = 0; i < probed && passing.size() < kListedPartitions; ++i) {
    CSearchedPartitionInfo& c = *candidates[i];
    db.ResetProbe();
    if (CFileSystemNode* tree = machine.BuildResultTree(&c, nullptr, share))
      ReleaseTree(tree);
    if (!PassesProbe(c, ProbeOutcome::FromDataBase()))
      continue;
    auto copy = c.Clone();
    copy->name = "Partition" + std::to_string(passing.size() + 1);
    passing.push_back(std::move(copy));
  }
  db.ResetProbe();
  db.analysisMode = 2;
  auto raw = std::make_unique<CSearchedPartitionInfo>();
  raw->type = kTypeRaw;
  raw->name = "Raw Partition";
  raw->totalSectors = deviceSectors;
  passing.push_back(std::move(raw));
  return passing;
}

CFileSystemNode* BuildPartitionTree(CSearchMachine& machine, CSearchedPartitionInfo& partition,
                                    iSearch* sink) {
  CDataBase::Instance().analysisMode = 2;
  CFileSystemNode* tree = machine.BuildResultTree(&partition, sink, 0);
  NameRoot(tree, partition.name);
  return tree;
}

}  // namespace korvex
