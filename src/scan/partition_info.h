// A lost-partition candidate or a chosen partition: where its file system lies, and the evidence
// that ranks it. The FAT and NTFS kinds add what their traces tell; the factory by kind makes the
// right one when a list is read back from a recovery state.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace korvex {

class IByteStream;

class CSearchedPartitionInfo {
 public:
  // The kinds GetKind reports and the recovery state stores before each candidate.
  static constexpr std::int32_t kKindNtfs = 0;
  static constexpr std::int32_t kKindFat = 1;
  static constexpr std::int32_t kKindBase = 3;

  virtual ~CSearchedPartitionInfo() = default;
  // The saved form: the fields below in order except the name; total sectors as its low 32 bits.
  virtual void Save(IByteStream& stream) const;
  virtual void Load(IByteStream& stream);
  // 3 for the base kind, 1 for FAT, 0 for NTFS (stored in recovery states).
  virtual std::int32_t GetKind() const { return kKindBase; }
  // A copy of the same kind with every field. The search machine empties its list on every run, so
  // the controllers hand over copies and keep their own candidates for a resumed scan.
  virtual std::unique_ptr<CSearchedPartitionInfo> Clone() const;

  std::uint32_t type = 0;  // 1 FAT12, 2 FAT16, 3 FAT32, 4 NTFS, 8 RAW
  std::uint8_t sectorsPerCluster = 0;
  std::string name;               // display name; not saved
  std::uint64_t clusterBase = 0;  // LBA cluster numbers count from: FAT cluster 2, NTFS the start
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

// Evidence flags of a FAT candidate.
namespace fat_evidence {
constexpr std::uint32_t kFat12Boot = 0x01;
constexpr std::uint32_t kFat16Boot = 0x02;
constexpr std::uint32_t kFat32Boot = 0x04;
constexpr std::uint32_t kFat32Backup = 0x08;  // the backup boot sector, 6 sectors after the start
constexpr std::uint32_t kBootSectors = 0x0F;  // any of the four above
constexpr std::uint32_t kFromDirectory = 0x10;
constexpr std::uint32_t kFirstFatSeen = 0x40;
constexpr std::uint32_t kUseFirstFat = 0x80;  // always set with kFirstFatSeen
constexpr std::uint32_t kSecondFatSeen = 0x100;
constexpr std::uint32_t kUseSecondFat = 0x200;  // always set with kSecondFatSeen
constexpr std::uint32_t kBothFatsSeen = kFirstFatSeen | kSecondFatSeen;
}  // namespace fat_evidence

class CFATSearchedPartitionInfo : public CSearchedPartitionInfo {
 public:
  // Appends reserved sectors u16, FAT size u32, cluster count u32, root u32 and flags u32.
  void Save(IByteStream& stream) const override;
  // fromBootSector is not saved: it comes back from the boot-sector flags.
  void Load(IByteStream& stream) override;
  std::int32_t GetKind() const override { return kKindFat; }
  std::unique_ptr<CSearchedPartitionInfo> Clone() const override;

  // The LBAs of the two FAT copies the candidate puts its tables at.
  std::uint64_t FirstFatLba() const { return partitionStart + reservedSectors; }
  std::uint64_t SecondFatLba() const { return FirstFatLba() + fatSectors; }

  std::uint16_t reservedSectors = 0;
  std::uint32_t fatSectors = 0;
  std::uint32_t clusterCount = 0;
  std::uint32_t root = 0;            // FAT12/16 root-directory sectors, FAT32 root cluster
  std::uint32_t flags = 0;           // fat_evidence
  std::uint32_t fromBootSector = 0;  // 1 for a candidate built from a boot sector
};

class CSearchedNTFSPartitionInfo : public CSearchedPartitionInfo {
 public:
  static constexpr std::uint64_t kUnknown = ~std::uint64_t{0};

  CSearchedNTFSPartitionInfo() { type = 4; }
  // Appends the fields below in order: serial u64, four u32, nine u64.
  void Save(IByteStream& stream) const override;
  void Load(IByteStream& stream) override;
  std::int32_t GetKind() const override { return kKindNtfs; }
  std::unique_ptr<CSearchedPartitionInfo> Clone() const override;

  std::uint64_t volumeSerial = 0;  // u64 at 0x48 of the boot sector; 0 for candidates made otherwise
  std::uint32_t reservedA = 2;
  std::uint32_t evidenceFlags = 0;
  std::uint32_t mftKnown = 0;  // 1 when the $MFT position is known after the evaluation
  std::uint32_t reservedB = 0;
  // From here on all ones means unknown; the evaluation sets a count to 0 when its record is missing.
  std::uint64_t clusterCount = kUnknown;
  std::uint64_t logCount = kUnknown;      // log-file page sectors inside the candidate's $LogFile
  std::uint64_t attrDefCount = kUnknown;  // $AttrDef sectors inside its $AttrDef
  std::uint64_t upCaseCount = kUnknown;   // $UpCase sectors inside its $UpCase
  std::uint64_t mftPosition = kUnknown;   // LBA of the $MFT record that placed it
  std::uint64_t logPosition = kUnknown;
  std::uint64_t attrDefPosition = kUnknown;
  std::uint64_t upCasePosition = kUnknown;
  std::uint64_t bitmapSectors = kUnknown;  // sectors per cluster × the cluster count of $Bitmap
};

using CandidateList = std::vector<std::unique_ptr<CSearchedPartitionInfo>>;

// A new candidate of a stored kind (0 NTFS, 1 FAT, 3 base); null for any other kind.
std::unique_ptr<CSearchedPartitionInfo> MakeCandidateOfKind(std::int32_t kind);

// Names a list read back in load order: "RAW" plus the number for type 8, else "Partition" plus it.
void NameLoadedCandidates(CandidateList& candidates);

// Gives every candidate its score on a logarithmic scale where the best scores 1.0, then sorts them
// by descending score, keeping the order of equal scores.
void RankCandidates(CandidateList& candidates);

}  // namespace korvex
