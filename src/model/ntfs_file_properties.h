// CNTFSFileProperties: the properties of a file or folder found on an NTFS volume. NTFS keeps one
// time (the creation time of the standard information) and answers it for all three.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "model/properties_base.h"

namespace korvex {

class CNTFSFileProperties : public CFoundFileProperties {
 public:
  // Two u64 values per entry, kept and saved with the file for the NTFS analysis.
  using ExtraEntry = std::pair<std::uint64_t, std::uint64_t>;

  CNTFSFileProperties() = default;

  FileTime* GetCreationTime(FileTime* time) const override { return Put(time); }
  FileTime* GetModificationTime(FileTime* time) const override { return Put(time); }
  FileTime* GetAccessTime(FileTime* time) const override { return Put(time); }
  // NTFS stores no first two reserved values.
  void SetReserved1(std::uint32_t) override {}
  std::uint32_t GetReserved1() const override { return 0; }
  void SetReserved2(std::uint32_t) override {}
  std::uint32_t GetReserved2() const override { return 0; }
  std::uint64_t GetRecordSector() const override { return recordSector_; }
  std::uint32_t GetValidFields() const override { return 0xFF; }
  std::uint64_t GetVolumeBase() const override { return partitionBase_; }
  std::uint8_t GetSectorsPerCluster() const override { return sectorsPerCluster_; }
  // NTFS names are set by the analysis through AssignName.
  void SetName(const char*) override {}
  std::uint32_t Save(IByteStream& stream) const override;
  std::uint32_t GetKind() const override { return kNtfsProperties; }
  std::uint32_t Load(IByteStream& stream) override;

  void SetCreationTime(FileTime time) { creationTime_ = time; }
  // LBA of the file's FILE record.
  void SetRecordSector(std::uint64_t lba) { recordSector_ = lba; }
  // The partition's first LBA and its sectors per cluster.
  void SetVolumeGeometry(std::uint64_t partitionBase, std::uint8_t sectorsPerCluster) {
    partitionBase_ = partitionBase;
    sectorsPerCluster_ = sectorsPerCluster;
  }
  void AddExtraEntry(std::uint64_t first, std::uint64_t second) { extra_.emplace_back(first, second); }
  const std::vector<ExtraEntry>& ExtraEntries() const { return extra_; }

 private:
  FileTime* Put(FileTime* out) const {
    if (out)
      *out = creationTime_;
    return out;
  }

  FileTime creationTime_ = 0;
  std::uint64_t recordSector_ = 0;
  std::uint64_t partitionBase_ = 0;
  std::vector<ExtraEntry> extra_;
  std::uint8_t sectorsPerCluster_ = 0;
};

}  // namespace korvex
