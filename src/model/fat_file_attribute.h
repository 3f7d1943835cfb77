// CFATFileAttribute: the properties of a file or folder found on a FAT volume, of the synthetic
// folders the FAT analysis makes up, and of the folders of the category and search views.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "model/properties_base.h"

namespace korvex {

class CFATFileAttribute : public CFoundFileProperties {
 public:
  static constexpr std::uint32_t kNoParentCluster = 0xFFFFFFFF;  // parent cluster of a volume root

  CFATFileAttribute() = default;

  // Size, attributes, the three times (no local-time shift; a date or time that cannot be gives 0,
  // the access time has no time of day) and the state (1 when the entry starts with 0xE5) of a 32-byte
  // directory entry. The name comes separately, through SetName.
  static std::unique_ptr<CFATFileAttribute> FromDirectoryEntry(std::span<const std::uint8_t, 32> entry);
  // A folder the analysis makes up ("Normal Files", "Unnormal Files", a lost folder, the volume root):
  // the name, directory attribute, times and size 0, and the given state (9 for made-up folders, 0
  // for the volume root and the category folders).
  static std::unique_ptr<CFATFileAttribute> MakeSyntheticFolder(std::string_view name, std::uint8_t state);

  FileTime* GetCreationTime(FileTime* time) const override { return Put(time, creationTime_); }
  FileTime* GetModificationTime(FileTime* time) const override { return Put(time, modificationTime_); }
  FileTime* GetAccessTime(FileTime* time) const override { return Put(time, accessTime_); }
  std::uint64_t GetRecordSector() const override { return 0; }
  std::uint32_t GetValidFields() const override { return 0xFF; }
  // FAT keeps the mark but always answers 1.
  std::uint32_t SetMark(std::uint8_t mark) override {
    mark_ = mark;
    return 1;
  }
  std::uint64_t GetVolumeBase() const override { return dataAreaBase_; }
  std::uint8_t GetSectorsPerCluster() const override { return sectorsPerCluster_; }
  void SetName(const char* name) override { AssignName(name ? std::string_view(name) : std::string_view()); }
  std::uint32_t Save(IByteStream& stream) const override;
  std::uint32_t GetKind() const override { return kFatProperties; }
  std::uint32_t Load(IByteStream& stream) override;

  void SetTimes(FileTime creation, FileTime modification, FileTime access) {
    creationTime_ = creation;
    modificationTime_ = modification;
    accessTime_ = access;
  }
  // First cluster of the entry and of its parent directory (kNoParentCluster for a volume root).
  void SetClusters(std::uint32_t first, std::uint32_t parent) {
    firstCluster_ = first;
    parentCluster_ = parent;
  }
  std::uint32_t GetFirstCluster() const { return firstCluster_; }
  std::uint32_t GetParentCluster() const { return parentCluster_; }
  // The LBA of cluster 2 (first sector of the data area) and the volume's sectors per cluster.
  void SetVolumeGeometry(std::uint64_t dataAreaBase, std::uint8_t sectorsPerCluster) {
    dataAreaBase_ = dataAreaBase;
    sectorsPerCluster_ = sectorsPerCluster;
  }

 private:
  static FileTime* Put(FileTime* out, FileTime value) {
    if (out)
      *out = value;
    return out;
  }

  FileTime creationTime_ = 0;
  FileTime modificationTime_ = 0;
  FileTime accessTime_ = 0;
  std::uint64_t dataAreaBase_ = 0;
  std::uint32_t firstCluster_ = 0;
  std::uint32_t parentCluster_ = 0;
  std::uint8_t sectorsPerCluster_ = 0;
};

}  // namespace korvex
