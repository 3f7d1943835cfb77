// A lost-partition candidate or a chosen partition: where its file system lies, and the evidence
// that ranks it. The FAT and NTFS kinds derive from it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace korvex {

class IByteStream;

class CSearchedPartitionInfo {
 public:
  virtual ~CSearchedPartitionInfo() = default;
  // The saved form: the fields below in order except the name; total sectors as its low 32 bits.
  virtual void Save(IByteStream& stream) const;
  virtual void Load(IByteStream& stream);
  // 3 for the base kind, 1 for FAT, 0 for NTFS (stored in recovery states).
  virtual std::int32_t GetKind() const { return 3; }

  std::uint32_t type = 0;  // 1 FAT12, 2 FAT16, 3 FAT32, 4 NTFS, 8 RAW
  std::uint8_t sectorsPerCluster = 0;
  std::string name;               // display name; not saved
  std::uint64_t clusterBase = 0;  // LBA cluster numbers count from
  std::uint64_t partitionStart = 0;
  std::int64_t fileCount = 0;   // carved files that agree with a directory entry of the candidate
  std::int64_t matchCount = 0;  // further structures that point at the candidate
  std::uint64_t reserved1 = 0;
  std::uint64_t reserved2 = 0;
  std::uint32_t reserved3 = 0;
  std::uint64_t totalSectors = 0;
  std::int64_t bootScore = 1;  // evidence from boot sectors, table copies and NTFS traces
  double score = 0;            // ranking score; 1.0 for the best candidate
};

using CandidateList = std::vector<std::unique_ptr<CSearchedPartitionInfo>>;

// Gives every candidate its score on a logarithmic scale where the best scores 1.0, then sorts them
// by descending score, keeping the order of equal scores.
void RankCandidates(CandidateList& candidates);

}  // namespace korvex
