// Boot-sector recognition, geometry, entry tests, 8.3 names and labels of FAT volumes.
#include <gtest/gtest.h>

#include <cstring>

#include "fat/fat_images.h"
#include "fat/fat_volume.h"
#include "fixtures.h"
#include "storage/memory_device.h"

namespace korvex {
namespace {

using test::kFatImages;
using test::ReadFixture;

SectorView BootSector(const std::vector<std::uint8_t>& image) {
  return SectorView(image.data(), kFatSectorSize);
}

TEST(FatVolume, RecognisesTheImagesMkfsMade) {
  for (const auto& image : kFatImages) {
    SCOPED_TRACE(image.file);
    CMemoryDevice device(ReadFixture(image.file), 512);
    CFatVolumeAnalyze volume(&device, 0);
    EXPECT_EQ(volume.GetVolumeType(), image.type);
    EXPECT_EQ(volume.GetTotalSectors(), image.totalSectors);
    EXPECT_EQ(volume.Label(), image.label);
    EXPECT_EQ(volume.Geometry().sectorsPerCluster, image.sectorsPerCluster);

    char label[120];
    std::memset(label, 'x', sizeof label);
    volume.GetVolumeLabel(label, sizeof label);
    EXPECT_STREQ(label, image.label);
  }
}

TEST(FatVolume, FindsAVolumeAtItsStartSector) {
  // The same card behind 2048 sectors of something else, as a partition would sit.
  std::vector<std::uint8_t> bytes(2048 * 512, 0);
  const std::vector<std::uint8_t> card = ReadFixture("fat/fat16.img");
  bytes.insert(bytes.end(), card.begin(), card.end());
  CMemoryDevice device(std::move(bytes), 512);
  CFatVolumeAnalyze volume(&device, 2048);
  EXPECT_EQ(volume.GetVolumeType(), kFsFat16);
  EXPECT_EQ(volume.Label(), "DATA16");
  EXPECT_EQ(CFatVolumeAnalyze(&device, 0).GetVolumeType(), kFsUnknown);
}

TEST(FatVolume, GeometryOfTheRealImages) {
  // Data-area starts as fsck.fat reports them: reserved + FATs × F + root sectors.
  const std::vector<std::uint8_t> fat16 = ReadFixture("fat/fat16.img", 512);
  FatGeometry g = FatGeometry::FromBootSector(BootSector(fat16), 100, kFsFat16);
  EXPECT_EQ(g.FirstFatLba(), 100u + g.reservedSectors);
  EXPECT_EQ(g.SecondFatLba(), g.FirstFatLba() + g.fatSectors);
  EXPECT_EQ(g.RootDirSectors(), 512u / 16);
  EXPECT_EQ(g.DataLba(), 100u + g.reservedSectors + 2u * g.fatSectors + 32);
  EXPECT_EQ(ClusterToLba(g, 2), g.DataLba());
  EXPECT_EQ(ClusterToLba(g, 10), g.DataLba() + 8 * 4);

  const std::vector<std::uint8_t> fat32 = ReadFixture("fat/fat32.img", 512);
  g = FatGeometry::FromBootSector(BootSector(fat32), 0, kFsFat32);
  EXPECT_EQ(g.RootDirSectors(), 0u);
  EXPECT_EQ(g.rootCluster, 2u);
  EXPECT_EQ(ClusterToLba(g, 0x0FFFFFFF), g.DataLba() + std::uint64_t{0x0FFFFFFD}) << "computed in 64 bits";

  EXPECT_EQ(ClusterToLba(FatGeometry{}, 2), ~std::uint64_t{0});
}

TEST(FatBootSector, FieldRules) {
  const std::vector<std::uint8_t> fat16 = ReadFixture("fat/fat16.img", 512);
  const std::vector<std::uint8_t> fat12 = ReadFixture("fat/fat12.img", 512);
  const std::vector<std::uint8_t> fat32 = ReadFixture("fat/fat32.img", 512);
  auto with = [](std::vector<std::uint8_t> sector, std::size_t offset, std::uint32_t value, int width) {
    sector.resize(512);
    for (int i = 0; i < width; ++i)
      sector[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    return sector;
  };
  struct Case {
    const char* what;
    std::vector<std::uint8_t> sector;
    std::int32_t type;
  };
  const Case cases[] = {
      {"FAT16, 2 FATs, 512 entries, 256-sector FAT",
       with(with(fat16, fat_boot::kRootEntries, 512, 2), fat_boot::kFatSectors16, 256, 2), kFsFat16},
      {"FAT16 with 1 FAT", with(fat16, fat_boot::kNumberOfFats, 1, 1), kFsUnknown},
      {"FAT16 with 100 root entries", with(fat16, fat_boot::kRootEntries, 100, 2), kFsUnknown},
      {"FAT16 with 520 root entries", with(fat16, fat_boot::kRootEntries, 520, 2), kFsUnknown},
      {"FAT16 with 2048 root entries", with(fat16, fat_boot::kRootEntries, 2048, 2), kFsFat16},
      {"FAT16 with 3 sectors per cluster", with(fat16, fat_boot::kSectorsPerCluster, 3, 1), kFsUnknown},
      {"FAT16 with FAT size 0", with(fat16, fat_boot::kFatSectors16, 0, 2), kFsUnknown},
      {"FAT16 text in lower case", with(fat16, fat_boot::kTypeText16, 0x31746166, 4), kFsFat16},
      {"FAT16 without signature", with(fat16, fat_boot::kSignature, 0xAA55 ^ 1, 2), kFsUnknown},
      {"FAT12 with FAT size 200", with(fat12, fat_boot::kFatSectors16, 200, 2), kFsFat12},
      {"FAT12 with FAT size 201", with(fat12, fat_boot::kFatSectors16, 201, 2), kFsUnknown},
      {"FAT32", fat32, kFsFat32},
      {"FAT32 with FAT size 0", with(fat32, fat_boot::kFatSectors32, 0, 4), kFsUnknown},
      {"FAT32 with 256 sectors per cluster byte 0", with(fat32, fat_boot::kSectorsPerCluster, 0, 1),
       kFsUnknown},
      {"zeros", std::vector<std::uint8_t>(512, 0), kFsUnknown},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FatTypeOfBootSector(SectorView(c.sector.data(), 512)), c.type) << c.what;
  }
}

// A directory entry built from its fields.
std::array<std::uint8_t, 32> Entry(const char (&name)[12], std::uint8_t attribute, std::uint32_t cluster = 0,
                                   std::uint32_t size = 0, std::uint16_t date = 0) {
  std::array<std::uint8_t, 32> e{};
  std::memcpy(e.data(), name, 11);
  e[fat_entry::kAttribute] = attribute;
  auto put16 = [&](std::size_t off, std::uint32_t v) {
    e[off] = static_cast<std::uint8_t>(v);
    e[off + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  put16(fat_entry::kClusterHigh, cluster >> 16);
  put16(fat_entry::kClusterLow, cluster & 0xFFFF);
  put16(fat_entry::kFileSize, size & 0xFFFF);
  put16(fat_entry::kFileSize + 2, size >> 16);
  put16(fat_entry::kModificationDate, date);
  return e;
}

TEST(FatEntry, StrictAndLenientTests) {
  const std::uint16_t goodDate = (45 << 9) | (6 << 5) | 15;  // 2025-06-15
  struct Case {
    const char* what;
    std::array<std::uint8_t, 32> entry;
    bool strict, lenient;
  };
  auto badDay = Entry("PHOTO   JPG", 0x20, 5, 100, (45 << 9) | (6 << 5));
  const Case cases[] = {
      {"file", Entry("PHOTO   JPG", 0x20, 5, 100, goodDate), true, true},
      {"empty file", Entry("EMPTY   TXT", 0x20), true, true},
      {"file with cluster, no size", Entry("PHOTO   JPG", 0x20, 5, 0), false, true},
      {"file with size, no cluster", Entry("PHOTO   JPG", 0x20, 0, 100), false, true},
      {"directory", Entry("DCIM       ", 0x10, 0x12345), true, true},
      {"directory with size and high cluster", Entry("DCIM       ", 0x10, 0x12345, 10), false, true},
      {"directory with size, low cluster", Entry("DCIM       ", 0x10, 0x45, 10), true, true},
      {"long name", Entry("\x41P\0H\0O\0T\0O\0", 0x0F, 0, 0), true, true},
      {"label", Entry("DATA       ", 0x08), true, true},
      {"label with control byte", Entry("\x01\x02         ", 0x08), true, true},
      {"day 0", badDay, false, false},
      {"month 13", Entry("PHOTO   JPG", 0x20, 5, 100, (45 << 9) | (13 << 5) | 1), false, false},
      {"attribute 0x40", Entry("PHOTO   JPG", 0x60, 5, 100), false, false},
      {"name with '?'", Entry("PHO?O   JPG", 0x20, 5, 100), false, false},
      {"name with 0xFF", Entry("PHOTO   JP\xFF", 0x20, 5, 100), false, false},
      {"name with control byte", Entry("PHOTO\x10  JPG", 0x20, 5, 100), false, false},
      {"leading space", Entry(" HOTO   JPG", 0x20, 5, 100), false, false},
      {"deleted", Entry("\xE5HOTO   JPG", 0x20, 5, 100), true, true},
      {"never used", std::array<std::uint8_t, 32>{}, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsValidEntry(EntryView(c.entry), true), c.strict) << c.what;
    EXPECT_EQ(IsValidEntry(EntryView(c.entry), false), c.lenient) << c.what;
  }
}

TEST(FatEntry, ShortNames) {
  struct Case {
    const char name[12];
    bool labelForm;
    const char* expected;
  };
  const Case cases[] = {
      {"PHOTO   JPG", false, "PHOTO.JPG"},  {"README     ", false, "README"},
      {"A       B  ", false, "A.B"},        {"\xE5HOTO   JPG", false, " HOTO.JPG"},
      {"DATA       ", true, "DATA"},        {"KORVEX CARD", true, "KORVEX CARD"},
      {"ABCDEFGHIJK", true, "ABCDEFGHIJK"}, {"CAF\x90    TXT", false, "CAF_.TXT"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatShortName(EntryView(Entry(c.name, 0x20)), c.labelForm), c.expected) << c.expected;
  }
}

// Rewrites the first root-directory sector of a FAT16 image with `entries` (the rest stays zero).
void PutRootEntries(std::vector<std::uint8_t>& image,
                    const std::vector<std::array<std::uint8_t, 32>>& entries) {
  const FatGeometry g = FatGeometry::FromBootSector(BootSector(image), 0, kFsFat16);
  std::uint8_t* root = image.data() + g.RootDirLba() * 512;
  std::memset(root, 0, g.RootDirSectors() * 512);
  for (std::size_t i = 0; i < entries.size(); ++i)
    std::memcpy(root + 32 * i, entries[i].data(), 32);
}

TEST(FatLabel, RootDirectoryRules) {
  const std::vector<std::uint8_t> base = ReadFixture("fat/fat16.img");
  struct Case {
    const char* what;
    std::vector<std::array<std::uint8_t, 32>> entries;
    const char* label;
  };
  const Case cases[] = {
      {"label after a file", {Entry("FILE    TXT", 0x20, 3, 10), Entry("DATA       ", 0x08)}, "DATA"},
      {"deleted label skipped", {Entry("\xE5OLD       ", 0x08), Entry("NEW        ", 0x08)}, "NEW"},
      {"invalid entry ends the search", {Entry("FI?E    TXT", 0x20, 3, 10), Entry("DATA       ", 0x08)}, ""},
      {"label with first byte 0 ends it", {Entry("\0ATA       ", 0x08), Entry("NEW        ", 0x08)}, ""},
      {"no label", {Entry("FILE    TXT", 0x20, 3, 10)}, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> image = base;
    PutRootEntries(image, c.entries);
    CMemoryDevice device(std::move(image), 512);
    EXPECT_EQ(CFatVolumeAnalyze(&device, 0).Label(), c.label) << c.what;
  }
}

TEST(FatLabel, LoopingRootChainOfFat32Ends) {
  std::vector<std::uint8_t> image = ReadFixture("fat/fat32.img");
  const FatGeometry g = FatGeometry::FromBootSector(BootSector(image), 0, kFsFat32);
  // Hide the label and let the root cluster link to itself in the first FAT.
  std::uint8_t* root = image.data() + ClusterToLba(g, g.rootCluster) * 512;
  for (std::size_t off = 0; off < 512; off += 32) {
    if (root[off + fat_entry::kAttribute] == fat_entry::kAttrVolumeLabel)
      root[off] = fat_entry::kDeleted;
  }
  std::uint8_t* link = image.data() + g.FirstFatLba() * 512 + g.rootCluster * 4;
  std::memcpy(link, &g.rootCluster, 4);
  CMemoryDevice device(std::move(image), 512);
  CFatVolumeAnalyze volume(&device, 0);
  EXPECT_EQ(volume.GetVolumeType(), kFsFat32);
  EXPECT_EQ(volume.Label(), "");
}

TEST(FatVolume, UnreadableOrForeignStart) {
  CMemoryDevice tiny(std::vector<std::uint8_t>(100, 0), 512);
  EXPECT_EQ(CFatVolumeAnalyze(&tiny, 0).GetVolumeType(), kFsUnknown);
  CMemoryDevice zeros(std::vector<std::uint8_t>(8192, 0), 512);
  EXPECT_EQ(CFatVolumeAnalyze(&zeros, 0).GetVolumeType(), kFsUnknown);
  EXPECT_EQ(CFatVolumeAnalyze(&zeros, 1000).GetVolumeType(), kFsUnknown);
  EXPECT_EQ(CFatVolumeAnalyze(nullptr, 0).GetVolumeType(), kFsUnknown);
}

}  // namespace
}  // namespace korvex
