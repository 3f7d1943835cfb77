// FAT12/16/32 boot sectors and directory entries: recognising a boot sector, the geometry it
// implies, the entry tests, 8.3 names, and CFatVolumeAnalyze (type, size and label of a volume).
// FAT code works in 512-byte sectors throughout.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "common/byte_reader.h"
#include "model/fat_directory_entry.h"
#include "storage/device.h"
#include "storage/volume.h"

namespace korvex {

constexpr std::uint32_t kFatSectorSize = 512;
using SectorView = std::span<const std::uint8_t, kFatSectorSize>;

// Byte offsets of the boot-sector fields the analysis uses (little-endian).
namespace fat_boot {
constexpr std::size_t kSectorsPerCluster = 0x0D;  // u8
constexpr std::size_t kReservedSectors = 0x0E;    // u16: start of the first FAT
constexpr std::size_t kNumberOfFats = 0x10;       // u8
constexpr std::size_t kRootEntries = 0x11;        // u16: FAT12/16 root directory size
constexpr std::size_t kTotalSectors16 = 0x13;     // u16
constexpr std::size_t kFatSectors16 = 0x16;       // u16: sectors per FAT (FAT12/16)
constexpr std::size_t kTotalSectors32 = 0x20;     // u32
constexpr std::size_t kFatSectors32 = 0x24;       // u32: sectors per FAT (FAT32)
constexpr std::size_t kRootCluster = 0x2C;        // u32: FAT32 root directory cluster
constexpr std::size_t kTypeText16 = 0x36;         // 8 bytes: "FAT12   " / "FAT16   "
constexpr std::size_t kTypeText32 = 0x52;         // 8 bytes: "FAT32   "
constexpr std::size_t kSignature = 0x1FE;         // 0x55, 0xAA
}  // namespace fat_boot

bool IsFat12BootSector(SectorView sector);
bool IsFat16BootSector(SectorView sector);
bool IsFat32BootSector(SectorView sector);
// The first of the three tests that passes (1, 2, 3), or 0.
std::int32_t FatTypeOfBootSector(SectorView sector);

// The geometry a boot sector at LBA `bootLba` implies, in 512-byte sectors. All zero for type 0.
struct FatGeometry {
  std::int32_t type = 0;
  std::uint64_t bootLba = 0;
  std::uint32_t sectorsPerCluster = 0;
  std::uint32_t reservedSectors = 0;
  std::uint32_t numberOfFats = 0;
  std::uint32_t rootEntries = 0;
  std::uint32_t fatSectors = 0;  // F
  std::uint32_t rootCluster = 0;
  std::uint64_t totalSectors = 0;

  static FatGeometry FromBootSector(SectorView sector, std::uint64_t bootLba, std::int32_t type);

  std::uint64_t FirstFatLba() const { return bootLba + reservedSectors; }
  std::uint64_t SecondFatLba() const { return FirstFatLba() + fatSectors; }
  std::uint64_t RootDirSectors() const { return type == kFsFat32 ? 0 : rootEntries / 16; }
  std::uint64_t RootDirLba() const { return FirstFatLba() + std::uint64_t{numberOfFats} * fatSectors; }
  std::uint64_t DataLba() const { return RootDirLba() + RootDirSectors(); }
};

// LBA of cluster c (c >= 2): data area + (c - 2) × sectors per cluster; all ones for an unknown type.
std::uint64_t ClusterToLba(const FatGeometry& volume, std::uint64_t cluster);

// The strict test serves the label lookup and the directory-sector classifier; the lenient one the
// directory parser.
bool IsValidEntry(EntryView entry, bool strict);

// "NAME.EXT" of an 8.3 entry, or "NAMEEXT" in label form; trailing spaces cut, a leading 0xE5 shown as
// a space. Bytes outside ASCII become "_".
std::string FormatShortName(EntryView entry, bool labelForm);

class CFatVolumeAnalyze : public IVolume {
 public:
  // Reads the boot sector at `lba` (512-byte sectors) and, when it is FAT, the volume label.
  CFatVolumeAnalyze(IDevice* device, std::uint64_t lba);

  std::int32_t GetVolumeType() override { return geometry_.type; }
  std::uint64_t GetTotalSectors() override { return geometry_.totalSectors; }
  void GetVolumeLabel(char* buffer, std::size_t size) override;

  const FatGeometry& Geometry() const { return geometry_; }
  std::string Label() const { return std::string(label_.data()); }

 private:
  void FindLabel(IDevice* device);
  // Searches one chunk of directory entries; true when the search is over (label found or end met).
  bool SearchChunk(ByteSpan chunk);

  FatGeometry geometry_;
  std::array<char, kLabelSize> label_{};
};

}  // namespace korvex
