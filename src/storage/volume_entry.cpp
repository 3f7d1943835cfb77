#include "storage/volume_entry.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/database.h"
#include "common/text.h"
#include "storage/volume.h"

namespace korvex {

std::size_t ExtentCount(const VolumeEntry& entry) {
  std::size_t n = 0;
  while (n < VolumeEntry::kExtentSlots && entry.extents[n].drive != 0)
    ++n;
  return n;
}

std::string EntryGptName(const VolumeEntry& entry) {
  std::u16string units;
  for (std::size_t k = 0; k < VolumeEntry::kNameUnits; ++k) {
    const auto unit = static_cast<char16_t>(entry.name[2 * k] | (entry.name[2 * k + 1] << 8));
    if (unit == 0)
      break;
    units += unit;
  }
  return Utf16ToUtf8(units);
}

std::string VolumeDisplayName(const VolumeEntry& entry) {
  std::string text;
  if (entry.fsType != kFsUnknown && entry.fsType != kFsRaw) {
    const std::string name = FileSystemName(entry.fsType);
    if (!name.empty())
      text += "(" + name + ")";
  }
  const std::string_view label(entry.label, strnlen(entry.label, sizeof entry.label));
  text += label.empty() ? EntryGptName(entry) : std::string(label);
  if (entry.driveLetter != 0)
    text += std::string(" (") + entry.driveLetter + ":) ";
  return text.empty() ? "Partition" : text;
}

std::string SizeText(std::uint64_t n) {
  char text[64];
  const auto value = static_cast<double>(n);
  if (n > (std::uint64_t{1} << 30))
    std::snprintf(text, sizeof text, "%.2f GB", value / 1048576000.0);
  else if (n > (std::uint64_t{1} << 20))
    std::snprintf(text, sizeof text, "%.2f MB", value / 1024000.0);
  else if (n > 1024)
    std::snprintf(text, sizeof text, "%.2f KB", value / 1000.0);
  else
    std::snprintf(text, sizeof text, "%.2f B", value);
  return text;
}

std::string SectorsSizeText(std::uint64_t sectors, std::uint32_t bytesPerSector) {
  return SizeText(sectors * bytesPerSector);
}

std::string SectorsSizeText(std::uint64_t sectors) {
  return SectorsSizeText(sectors, CDataBase::Instance().bytesPerSector.load());
}

}  // namespace korvex
