// VolumeEntry, the fixed 1469-byte record of one scannable volume that the volume list holds and
// recovery states store, and the naming rules for volumes: display name and size texts.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

namespace korvex {

static_assert(std::endian::native == std::endian::little,
              "records are kept in their little-endian file form");

#pragma pack(push, 1)
struct VolumeExtent {
  std::uint64_t startSector;
  std::uint64_t sectorCount;
  // The drive: its number + 1, so that 0 marks an unused slot. (A 32-bit build kept a pointer here;
  // a pointer does not fit in 4 bytes on a 64-bit system, and in a file it means nothing anyway.)
  std::uint32_t drive;
};

struct VolumeEntry {
  static constexpr std::size_t kExtentSlots = 32;
  static constexpr std::size_t kLabelSize = 100;
  static constexpr std::size_t kNameUnits = 100;
  static constexpr std::size_t kDriveTextSize = 50;

  // Meaningless outside the process that listed the volume: the device is held beside the entry
  // (ListedVolume), so this stays 0.
  std::uint32_t volumeDevice;
  std::uint32_t reserved;
  std::int32_t fsType;
  char driveLetter;  // Linux has no drive letters: 0
  char label[kLabelSize];
  std::uint8_t name[2 * kNameUnits];  // GPT partition name, UTF-16LE, NUL-terminated
  std::uint32_t isUsb;                // 1 for drives that count as removable (USB, card readers, images)
  VolumeExtent extents[kExtentSlots];
  char driveText[kDriveTextSize];
  std::uint8_t reserved2[462];
};
#pragma pack(pop)

static_assert(sizeof(VolumeExtent) == 20);
static_assert(sizeof(VolumeEntry) == 1469);
static_assert(offsetof(VolumeEntry, reserved) == 4);
static_assert(offsetof(VolumeEntry, fsType) == 8);
static_assert(offsetof(VolumeEntry, driveLetter) == 12);
static_assert(offsetof(VolumeEntry, label) == 13);
static_assert(offsetof(VolumeEntry, name) == 113);
static_assert(offsetof(VolumeEntry, isUsb) == 313);
static_assert(offsetof(VolumeEntry, extents) == 317);
static_assert(offsetof(VolumeEntry, driveText) == 957);
static_assert(offsetof(VolumeEntry, reserved2) == 1007);

// The number of leading extent slots that name a drive (at most 32).
std::size_t ExtentCount(const VolumeEntry& entry);

// The GPT name of an entry as UTF-8.
std::string EntryGptName(const VolumeEntry& entry);

// "(" file-system name ")" then the label (or the GPT name when there is none), then " (L:) " when a
// drive letter is set; "Partition" when all that is empty.
std::string VolumeDisplayName(const VolumeEntry& entry);

// A size with two decimals: "GB" above 2^30 bytes (divided by 1,048,576,000), "MB" above 2^20
// (divided by 1,024,000), "KB" above 2^10 (divided by 1000), else "B".
std::string SizeText(std::uint64_t bytes);
// SizeText of `sectors` sectors of the current sector size.
std::string SectorsSizeText(std::uint64_t sectors);
// SizeText of `sectors` sectors of `bytesPerSector` bytes, where the caller knows the drive.
std::string SectorsSizeText(std::uint64_t sectors, std::uint32_t bytesPerSector);

}  // namespace korvex
