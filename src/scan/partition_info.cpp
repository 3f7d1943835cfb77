#include "scan/partition_info.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "model/byte_stream.h"

namespace korvex {

void CSearchedPartitionInfo::Save(IByteStream& stream) const {
  WriteU32(stream, type);
  stream.WriteBytes(&sectorsPerCluster, 1);
  WriteU64(stream, clusterBase);
  WriteU64(stream, partitionStart);
  WriteU64(stream, static_cast<std::uint64_t>(fileCount));
  WriteU64(stream, static_cast<std::uint64_t>(matchCount));
  WriteU64(stream, reserved1);
  WriteU64(stream, reserved2);
  WriteU32(stream, reserved3);
  WriteU32(stream, static_cast<std::uint32_t>(totalSectors));
  WriteU64(stream, static_cast<std::uint64_t>(bootScore));
  WriteU64(stream, std::bit_cast<std::uint64_t>(score));
}

void CSearchedPartitionInfo::Load(IByteStream& stream) {
  type = ReadU32(stream);
  stream.ReadBytes(&sectorsPerCluster, 1);
  clusterBase = ReadU64(stream);
  partitionStart = ReadU64(stream);
  fileCount = static_cast<std::int64_t>(ReadU64(stream));
  matchCount = static_cast<std::int64_t>(ReadU64(stream));
  reserved1 = ReadU64(stream);
  reserved2 = ReadU64(stream);
  reserved3 = ReadU32(stream);
  totalSectors = ReadU32(stream);
  bootScore = static_cast<std::int64_t>(ReadU64(stream));
  score = std::bit_cast<double>(ReadU64(stream));
}

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
