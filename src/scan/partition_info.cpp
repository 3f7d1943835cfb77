#include "scan/partition_info.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>

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

std::unique_ptr<CSearchedPartitionInfo> CSearchedPartitionInfo::Clone() const {
  return std::make_unique<CSearchedPartitionInfo>(*this);
}

void CFATSearchedPartitionInfo::Save(IByteStream& stream) const {
  CSearchedPartitionInfo::Save(stream);
  WriteU16(stream, reservedSectors);
  WriteU32(stream, fatSectors);
  WriteU32(stream, clusterCount);
  WriteU32(stream, root);
  WriteU32(stream, flags);
}

void CFATSearchedPartitionInfo::Load(IByteStream& stream) {
  CSearchedPartitionInfo::Load(stream);
  reservedSectors = ReadU16(stream);
  fatSectors = ReadU32(stream);
  clusterCount = ReadU32(stream);
  root = ReadU32(stream);
  flags = ReadU32(stream);
  fromBootSector = (flags & fat_evidence::kBootSectors) != 0 ? 1 : 0;
}

std::unique_ptr<CSearchedPartitionInfo> CFATSearchedPartitionInfo::Clone() const {
  return std::make_unique<CFATSearchedPartitionInfo>(*this);
}

void CSearchedNTFSPartitionInfo::Save(IByteStream& stream) const {
  CSearchedPartitionInfo::Save(stream);
  WriteU64(stream, volumeSerial);
  for (std::uint32_t v : {reservedA, evidenceFlags, mftKnown, reservedB})
    WriteU32(stream, v);
  for (std::uint64_t v : {clusterCount, logCount, attrDefCount, upCaseCount, mftPosition, logPosition,
                          attrDefPosition, upCasePosition, bitmapSectors})
    WriteU64(stream, v);
}

void CSearchedNTFSPartitionInfo::Load(IByteStream& stream) {
  CSearchedPartitionInfo::Load(stream);
  volumeSerial = ReadU64(stream);
  for (std::uint32_t* v : {&reservedA, &evidenceFlags, &mftKnown, &reservedB})
    *v = ReadU32(stream);
  for (std::uint64_t* v : {&clusterCount, &logCount, &attrDefCount, &upCaseCount, &mftPosition, &logPosition,
                           &attrDefPosition, &upCasePosition, &bitmapSectors})
    *v = ReadU64(stream);
}

std::unique_ptr<CSearchedPartitionInfo> CSearchedNTFSPartitionInfo::Clone() const {
  return std::make_unique<CSearchedNTFSPartitionInfo>(*this);
}

std::unique_ptr<CSearchedPartitionInfo> MakeCandidateOfKind(std::int32_t kind) {
  switch (kind) {
    case CSearchedPartitionInfo::kKindNtfs:
      return std::make_unique<CSearchedNTFSPartitionInfo>();
    case CSearchedPartitionInfo::kKindFat:
      return std::make_unique<CFATSearchedPartitionInfo>();
    case CSearchedPartitionInfo::kKindBase:
      return std::make_unique<CSearchedPartitionInfo>();
    default:
      return nullptr;
  }
}

void NameLoadedCandidates(CandidateList& candidates) {
  std::size_t number = 0;
  for (auto& c : candidates)
    c->name = (c->type == 8 ? "RAW" : "Partition") + std::to_string(++number);
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
