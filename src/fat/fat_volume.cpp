#include "fat/fat_volume.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "common/text.h"

namespace korvex {

namespace {

bool TypeTextIs(SectorView sector, std::size_t offset, std::string_view text) {
  for (std::size_t i = 0; i < 8; ++i) {
    const auto c = static_cast<unsigned char>(sector[offset + i]);
    const auto upper = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (upper != static_cast<unsigned char>(text[i]))
      return false;
  }
  return true;
}

bool HasSignature(SectorView s) {
  return s[fat_boot::kSignature] == 0x55 && s[fat_boot::kSignature + 1] == 0xAA;
}

bool IsPowerOfTwoUpTo128(std::uint8_t v) {
  return v != 0 && v <= 128 && (v & (v - 1)) == 0;
}

bool RootEntriesPlausible(std::uint16_t entries) {
  return entries >= 224 && entries <= 2048 && entries % 16 == 0;
}

}  // namespace

bool IsFat12BootSector(SectorView s) {
  const std::uint16_t fatSectors = Le16(s, fat_boot::kFatSectors16);
  return TypeTextIs(s, fat_boot::kTypeText16, "FAT12   ") && s[fat_boot::kNumberOfFats] == 2 &&
         IsPowerOfTwoUpTo128(s[fat_boot::kSectorsPerCluster]) &&
         RootEntriesPlausible(Le16(s, fat_boot::kRootEntries)) && fatSectors >= 1 && fatSectors <= 200 &&
         HasSignature(s);
}

bool IsFat16BootSector(SectorView s) {
  return TypeTextIs(s, fat_boot::kTypeText16, "FAT16   ") && s[fat_boot::kNumberOfFats] == 2 &&
         IsPowerOfTwoUpTo128(s[fat_boot::kSectorsPerCluster]) &&
         RootEntriesPlausible(Le16(s, fat_boot::kRootEntries)) && Le16(s, fat_boot::kFatSectors16) != 0 &&
         HasSignature(s);
}

bool IsFat32BootSector(SectorView s) {
  return TypeTextIs(s, fat_boot::kTypeText32, "FAT32   ") && s[fat_boot::kNumberOfFats] == 2 &&
         IsPowerOfTwoUpTo128(s[fat_boot::kSectorsPerCluster]) && Le32(s, fat_boot::kFatSectors32) != 0 &&
         HasSignature(s);
}

std::int32_t FatTypeOfBootSector(SectorView sector) {
  if (IsFat12BootSector(sector))
    return kFsFat12;
  if (IsFat16BootSector(sector))
    return kFsFat16;
  if (IsFat32BootSector(sector))
    return kFsFat32;
  return kFsUnknown;
}

FatGeometry FatGeometry::FromBootSector(SectorView s, std::uint64_t bootLba, std::int32_t type) {
  FatGeometry g;
  if (type != kFsFat12 && type != kFsFat16 && type != kFsFat32)
    return g;
  g.type = type;
  g.bootLba = bootLba;
  g.sectorsPerCluster = s[fat_boot::kSectorsPerCluster];
  g.reservedSectors = Le16(s, fat_boot::kReservedSectors);
  g.numberOfFats = s[fat_boot::kNumberOfFats];
  g.rootEntries = Le16(s, fat_boot::kRootEntries);
  const std::uint16_t total16 = Le16(s, fat_boot::kTotalSectors16);
  const std::uint32_t total32 = Le32(s, fat_boot::kTotalSectors32);
  if (type == kFsFat32) {
    g.fatSectors = Le32(s, fat_boot::kFatSectors32);
    g.rootCluster = Le32(s, fat_boot::kRootCluster);
    g.totalSectors = total32;
  } else {
    g.fatSectors = Le16(s, fat_boot::kFatSectors16);
    g.totalSectors = type == kFsFat16 && total16 == 0 ? total32 : total16;
  }
  return g;
}

std::uint64_t ClusterToLba(const FatGeometry& volume, std::uint64_t cluster) {
  if (volume.type < kFsFat12 || volume.type > kFsFat32)
    return ~std::uint64_t{0};
  return volume.DataLba() + (cluster - 2) * volume.sectorsPerCluster;
}

bool IsValidEntry(EntryView e, bool strict) {
  using namespace fat_entry;
  const std::uint8_t attribute = e[kAttribute];
  if (attribute == kAttrLongName)
    return true;
  if (strict) {
    const std::uint32_t size = Le32(e, kFileSize);
    const std::uint16_t high = Le16(e, kClusterHigh);
    const std::uint32_t cluster = (std::uint32_t{high} << 16) | Le16(e, kClusterLow);
    if (attribute & kAttrDirectory) {
      if (size != 0 && high != 0)
        return false;
    } else if ((cluster == 0) != (size == 0)) {
      return false;
    }
  }
  for (std::size_t offset : {kCreationDate, kModificationDate, kAccessDate}) {
    const std::uint16_t date = Le16(e, offset);
    if (date == 0)
      continue;
    const std::uint16_t month = date & 0x1E0;
    if (month < 0x20 || month > 0x180 || (date & 0x1F) == 0)
      return false;
  }
  if (attribute & 0x40)
    return false;
  if (attribute == kAttrVolumeLabel)
    return true;
  for (std::size_t i = 0; i < 11; ++i) {
    const std::uint8_t c = e[i];
    if (c <= 0x19 || c == 0xFF ||
        std::string_view("\"*/:<>?\\|").find(static_cast<char>(c)) != std::string_view::npos)
      return false;
  }
  return e[0] != ' ';
}

std::string FormatShortName(EntryView e, bool labelForm) {
  auto trimmed = [&](std::size_t offset, std::size_t length) {
    std::string s(reinterpret_cast<const char*>(e.data()) + offset, length);
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
  };
  std::string name = trimmed(0, 8);
  if (!name.empty() && static_cast<unsigned char>(name[0]) == fat_entry::kDeleted)
    name[0] = ' ';
  const std::string extension = trimmed(8, 3);
  if (!extension.empty())
    name += (labelForm ? "" : ".") + extension;
  return OemBytesToUtf8(name);
}

CFatVolumeAnalyze::CFatVolumeAnalyze(IDevice* device, std::uint64_t lba) {
  std::vector<std::uint8_t> boot(4 * kFatSectorSize, 0);
  if (!device || !device->Read(boot.data(), lba, 4, kFatSectorSize))
    return;
  const SectorView sector(boot.data(), kFatSectorSize);
  geometry_ = FatGeometry::FromBootSector(sector, lba, FatTypeOfBootSector(sector));
  if (geometry_.type != kFsUnknown)
    FindLabel(device);
}

void CFatVolumeAnalyze::GetVolumeLabel(char* buffer, std::size_t size) {
  std::memcpy(buffer, label_.data(), std::min(size, label_.size()));
}

bool CFatVolumeAnalyze::SearchChunk(ByteSpan chunk) {
  for (std::size_t offset = 0; offset + fat_entry::kSize <= chunk.size(); offset += fat_entry::kSize) {
    const EntryView entry(chunk.data() + offset, fat_entry::kSize);
    if (!IsValidEntry(entry, true))
      return false;
    if (entry[0] == fat_entry::kDeleted || entry[fat_entry::kAttribute] != fat_entry::kAttrVolumeLabel)
      continue;
    if (entry[0] == 0)
      return true;
    const std::string text = FormatShortName(entry, true);
    std::memcpy(label_.data(), text.data(), std::min(text.size(), label_.size() - 1));
    return true;
  }
  return false;
}

void CFatVolumeAnalyze::FindLabel(IDevice* device) {
  const FatGeometry& g = geometry_;
  const std::uint32_t spc = g.sectorsPerCluster;
  std::vector<std::uint8_t> chunk(std::size_t{spc} * kFatSectorSize);

  if (g.type != kFsFat32) {
    const std::uint64_t chunks = (g.RootDirSectors() + spc - 1) / spc;
    for (std::uint64_t k = 0; k < chunks; ++k) {
      if (!device->Read(chunk.data(), g.RootDirLba() + k * spc, spc, kFatSectorSize))
        return;
      if (SearchChunk(chunk))
        return;
    }
    return;
  }

  // FAT32: follow the root directory's chain through the first FAT. A directory holds at most
  // 65,536 entries, so the walk visits no more clusters than those fill and a looping chain ends.
  const std::uint64_t entriesPerChunk = std::uint64_t{spc} * 128;
  std::vector<std::uint8_t> fatChunk(chunk.size());
  std::uint64_t fatChunkIndex = ~std::uint64_t{0};
  const std::uint64_t maxClusters = 65536 / (std::uint64_t{spc} * 16) + 1;
  std::uint64_t c = g.rootCluster;
  for (std::uint64_t visited = 0; c >= 2 && c <= 0x0FFFFFEF && visited < maxClusters; ++visited) {
    if (!device->Read(chunk.data(), ClusterToLba(g, c), spc, kFatSectorSize))
      return;
    if (SearchChunk(chunk))
      return;
    const std::uint64_t index = c / entriesPerChunk;
    if (index != fatChunkIndex) {
      if (!device->Read(fatChunk.data(), g.FirstFatLba() + index * spc, spc, kFatSectorSize))
        return;
      fatChunkIndex = index;
    }
    c = Le32(fatChunk, (c % entriesPerChunk) * 4);
  }
}

}  // namespace korvex
