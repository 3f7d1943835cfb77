// The candidates a FAT or NTFS controller collects during a scan, one per {cluster base, sectors per
// cluster}, and the rules by which the result building probes and keeps them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "scan/partition_info.h"

namespace korvex {

// Candidates kept sorted by their identity {cluster base, sectors per cluster}, at most kMaxCandidates
// (a crafted medium may hold traces of any number of volumes). Pointers stay valid until Clear.
class CCandidateSet {
 public:
  static constexpr std::size_t kMaxCandidates = 65536;

  struct Key {
    std::uint64_t clusterBase;
    std::uint8_t sectorsPerCluster;
    auto operator<=>(const Key&) const = default;
  };
  static Key KeyOf(const CSearchedPartitionInfo& c) { return {c.clusterBase, c.sectorsPerCluster}; }

  // The candidate with this identity, or null.
  CSearchedPartitionInfo* Find(Key key) const;
  // Inserts `candidate` unless one with its identity exists. Returns the candidate now in the set
  // with that identity and whether it is the new one; {null, false} when the set is full.
  std::pair<CSearchedPartitionInfo*, bool> Insert(std::unique_ptr<CSearchedPartitionInfo> candidate);
  // Removes the candidates for which `drop` is true.
  template <class Predicate>
  void EraseIf(Predicate drop) {
    std::erase_if(items_, [&](const std::unique_ptr<CSearchedPartitionInfo>& c) { return drop(*c); });
  }
  // Appends a copy of every candidate (Clone) to `list`, in identity order.
  void CopyTo(CandidateList& list) const;
  void Clear() { items_.clear(); }

  std::size_t Size() const { return items_.size(); }
  bool Empty() const { return items_.empty(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<std::unique_ptr<CSearchedPartitionInfo>> items_;  // sorted by KeyOf
};

// What a probe-mode analysis of one candidate found, taken from CDataBase right after it.
struct ProbeOutcome {
  bool rootHasDirectories = false;  // the FAT probe met a directory in the root
  bool tried = false;               // a file's content was checked
  bool passed = false;              // and it looked like its type
  std::uint64_t fileCount = 0;      // file entries the probe counted

  static ProbeOutcome FromDataBase();
};

// Whether a probed candidate is offered as a partition. FAT: its root holds a directory, or the
// content probe passed, or a boot sector or a FAT copy confirmed it (a candidate derived from
// directory traces parses no root). NTFS: the probe passed when it was tried, else it counted a file.
// Other types always pass.
bool PassesProbe(const CSearchedPartitionInfo& candidate, const ProbeOutcome& outcome);

// Whether a lost-file scan builds a candidate's tree: a score of at least 0.5, or any match or file.
bool QualifiesForLostFiles(const CSearchedPartitionInfo& candidate);

}  // namespace korvex
