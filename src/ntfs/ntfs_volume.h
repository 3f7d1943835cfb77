// NTFS boot sectors and CNtfsVolumeAnalyze, the NTFS member of the volume analysers: type, size and
// the label held in the $Volume record. NTFS code follows the device's sector size (512 or 4096).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/byte_reader.h"
#include "storage/device.h"
#include "storage/volume.h"

namespace korvex {

// Byte offsets of the boot-sector fields used (little-endian).
namespace ntfs_boot {
constexpr std::size_t kOemId = 0x03;              // 8 bytes "NTFS    "
constexpr std::size_t kBytesPerSector = 0x0B;     // u16
constexpr std::size_t kSectorsPerCluster = 0x0D;  // u8
constexpr std::size_t kTotalSectors = 0x28;       // u64
constexpr std::size_t kMftCluster = 0x30;         // u64
constexpr std::size_t kMftMirrorCluster = 0x38;   // u64
constexpr std::size_t kClustersPerRecord = 0x40;  // i8: negative = 2^-c bytes
constexpr std::size_t kClustersPerIndex = 0x44;   // i8
constexpr std::size_t kSignature = 0x1FE;         // 0x55, 0xAA
}  // namespace ntfs_boot

// The boot-sector test for a device of `bytesPerSector`-byte sectors.
bool IsNtfsBootSector(ByteSpan sector, std::uint32_t bytesPerSector);

// What a boot sector says of its volume.
struct NtfsGeometry {
  std::uint32_t bytesPerSector = 0;
  std::uint32_t sectorsPerCluster = 0;
  std::uint64_t totalSectors = 0;  // all 64 bits
  std::uint64_t mftCluster = 0;
  std::uint32_t recordSize = 0;  // bytes of a FILE record; 0 when the field is implausible

  static NtfsGeometry FromBootSector(ByteSpan sector);
};

class CNtfsVolumeAnalyze : public IVolume {
 public:
  // Reads the boot sector at `lba` with the current sector size (CDataBase) and, when it is NTFS, the
  // label from the $Volume record.
  CNtfsVolumeAnalyze(IDevice* device, std::uint64_t lba);
  CNtfsVolumeAnalyze(IDevice* device, std::uint64_t lba, std::uint32_t bytesPerSector);

  std::int32_t GetVolumeType() override { return type_; }
  std::uint64_t GetTotalSectors() override { return geometry_.totalSectors; }
  void GetVolumeLabel(char* buffer, std::size_t size) override;

  const NtfsGeometry& Geometry() const { return geometry_; }
  std::string Label() const { return std::string(label_.data()); }

 private:
  void FindLabel(IDevice* device, std::uint64_t lba);

  std::int32_t type_ = kFsUnknown;
  NtfsGeometry geometry_;
  std::array<char, kLabelSize> label_{};
};

}  // namespace korvex
