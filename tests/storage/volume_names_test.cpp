// The naming rules of volumes and the targets derived from the volume list: file-system names, size
// texts, display names, volume entries, unallocated gaps and the parts of large drives.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "storage/drive_list.h"
#include "storage/volume.h"
#include "storage/volume_entry.h"
#include "storage/volume_list.h"

namespace korvex {
namespace {

TEST(FileSystemNames, BothColumns) {
  const struct {
    std::int32_t code;
    const char* shortName;
    const char* name;
  } cases[] = {
      {-1, "Unidentified", ""}, {0, "Unidentified", "Unknown"},
      {1, "FAT12", "FAT12"},    {2, "FAT16", "FAT16"},
      {3, "FAT32", "FAT32"},    {4, "NTFS", "NTFS"},
      {5, "EXT2", "EXT2"},      {6, "EXT3", "EXT3"},
      {7, "HFS+", ""},          {8, "Unidentified", "RAW"},
      {9, "Unidentified", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileSystemShortName(c.code), c.shortName) << c.code;
    EXPECT_EQ(FileSystemName(c.code), c.name) << c.code;
  }
}

TEST(SizeText, ThresholdsArePowersOfTwoDivisorsAreNot) {
  const struct {
    std::uint64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0.00 B"},           {1024, "1024.00 B"},     {1025, "1.02 KB"},
      {1048576, "1048.58 KB"}, {1048577, "1.02 MB"},    {1073741824, "1048.58 MB"},
      {1073741825, "1.02 GB"}, {4294967296, "4.10 GB"}, {2000398934016, "1907.73 GB"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;
  EXPECT_EQ(SectorsSizeText(2048, 4096), "8.19 MB");
  EXPECT_EQ(SectorsSizeText(2048, 512), "1048.58 KB") << "exactly 2^20 bytes";
}

VolumeEntry Entry(std::int32_t type, const char* label, const std::u16string& gptName, char letter) {
  VolumeEntry e{};
  e.fsType = type;
  std::strncpy(e.label, label, sizeof e.label - 1);
  for (std::size_t k = 0; k < gptName.size(); ++k) {
    e.name[2 * k] = static_cast<std::uint8_t>(gptName[k] & 0xFF);
    e.name[2 * k + 1] = static_cast<std::uint8_t>(gptName[k] >> 8);
  }
  e.driveLetter = letter;
  return e;
}

TEST(VolumeDisplayName, TypeLabelOrGptNameLetter) {
  const struct {
    VolumeEntry entry;
    const char* name;
  } cases[] = {
      {Entry(4, "DATA", u"", 'E'), "(NTFS)DATA (E:) "},
      {Entry(3, "", u"", 'F'), "(FAT32) (F:) "},
      {Entry(0, "", u"", 0), "Partition"},
      {Entry(8, "", u"", 0), "Partition"},
      {Entry(7, "", u"", 0), "Partition"},
      {Entry(0, "", u"Donn\u00E9es", 0),
       "Donn\xC3\xA9"
       "es"},
      {Entry(2, "LABEL", u"Basic data", 0), "(FAT16)LABEL"},
      {Entry(3, "", u"Basic data", 0), "(FAT32)Basic data"},
      {Entry(8, "RAWAREA", u"", 0), "RAWAREA"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(VolumeDisplayName(c.entry), c.name);
}

TEST(MakeVolumeEntry, CopiesTheRecordAndTheDrive) {
  CBasicDevice inner(nullptr, 0, 0, 0);
  PartitionRecord record;
  record.startSector = 2048;
  record.sectorCount = 4096;
  record.fsType = 3;
  std::strcpy(record.label, "KORVEX");
  std::u16string name = u"EFI";
  std::copy(name.begin(), name.end(), record.name);
  record.volumeDevice = std::make_unique<CBasicDevice>(&inner, 2048, 4000, 10000);
  DeviceInfo info{};
  info.busType = 7;
  std::strcpy(info.product, "Cruzer Blade");
  std::strcpy(info.busName, "USB Device");

  const VolumeEntry e = MakeVolumeEntry(record, info, 0);
  EXPECT_EQ(std::int32_t{e.fsType}, 3);
  EXPECT_STREQ(e.label, "KORVEX");
  EXPECT_EQ(EntryGptName(e), "EFI");
  EXPECT_EQ(std::uint32_t{e.isUsb}, 1u);
  EXPECT_STREQ(e.driveText, "Cruzer Blade  USB Device");
  // The extent is the device's range, which the analyser may have made shorter than the record.
  EXPECT_EQ(std::uint64_t{e.extents[0].startSector}, 2048u);
  EXPECT_EQ(std::uint64_t{e.extents[0].sectorCount}, 4000u);
  EXPECT_EQ(ExtentCount(e), 1u);
  EXPECT_EQ(std::uint32_t{e.extents[1].drive}, 0u);

  info.busType = 3;
  EXPECT_EQ(std::uint32_t{MakeVolumeEntry(record, info, 5).isUsb}, 0u);
  EXPECT_EQ(ExtentCount(MakeVolumeEntry(record, info, 5)), 1u) << "drive number 5 still marks its slot";
}

TEST(ListUnallocatedGaps, OnlyGapsAboveOneHundredThousandSectors) {
  using Extents = std::vector<VolumeExtent>;
  struct Gap {
    std::uint64_t start, sectors;
    bool operator==(const Gap&) const = default;
  };
  const struct {
    const char* what;
    Extents volumes;
    std::uint64_t driveSectors;
    std::vector<Gap> gaps;
  } cases[] = {
      {"a gap of exactly 100,000 sectors is not listed", {{0, 1000, 1}, {101000, 1000, 1}}, 102000, {}},
      {"one of 100,001 is", {{0, 1000, 1}, {101001, 1000, 1}}, 102001, {{1000, 100001}}},
      {"before the first volume: from sector 1 to the volume", {{200000, 1000, 1}}, 201000, {{1, 199999}}},
      {"after the last volume", {{0, 1000, 1}}, 300000, {{1000, 299000}}},
      {"a drive without volumes is one gap", {}, 300000, {{0, 300000}}},
      {"volumes in any order", {{400000, 1000, 1}, {0, 1000, 1}}, 401000, {{1000, 399000}}},
      {"overlapping volumes make no gap", {{0, 500000, 1}, {200000, 1000, 1}}, 500000, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    int counter = 0;
    const auto gaps = ListUnallocatedGaps(c.volumes, c.driveSectors, 512, counter);
    std::vector<Gap> got;
    for (const auto& g : gaps) {
      got.push_back({g.startSector, g.sectorCount});
      EXPECT_EQ(g.typeText, "UNKONWN");
      EXPECT_EQ(g.sizeText, SectorsSizeText(g.sectorCount, 512));
    }
    EXPECT_EQ(got, c.gaps);
    EXPECT_EQ(counter, static_cast<int>(c.gaps.size()));
  }
  // The counter numbers gaps across drives.
  int counter = 0;
  ListUnallocatedGaps({{0, 1000, 1}}, 300000, 512, counter);
  const auto second = ListUnallocatedGaps({{200000, 1000, 2}}, 500000, 4096, counter);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[0].name, "(Unallocated2)");
  EXPECT_EQ(second[1].name, "(Unallocated3)");
  EXPECT_EQ(second[1].sizeText, "1.17 GB") << "299,000 sectors of 4096 bytes";
}

TEST(ListDriveParts, LargeDrivesAreCutIntoParts) {
  // 1,077,936,128 KiB is the limit; parts are 1,103,806,595,072 bytes.
  EXPECT_TRUE(ListDriveParts(1077936128ull * 2, 512).empty()) << "exactly at the limit";
  const auto justAbove = ListDriveParts(1077936128ull * 2 + 2, 512);
  ASSERT_EQ(justAbove.size(), 2u);
  EXPECT_EQ(justAbove[1].sectorCount, 2u + 2 * 1077936128ull - 2155872256ull);

  const std::uint64_t twoTerabytes = 2000000000000ull / 512;
  const auto parts = ListDriveParts(twoTerabytes, 512);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].name, "Part 1");
  EXPECT_EQ(parts[0].startSector, 0u);
  EXPECT_EQ(parts[0].sectorCount, 2155872256u);
  EXPECT_EQ(parts[1].name, "Part 2");
  EXPECT_EQ(parts[1].startSector, 2155872256u);
  EXPECT_EQ(parts[1].sectorCount, twoTerabytes - 2155872256u);

  const auto fourK = ListDriveParts(3000000000000ull / 4096, 4096);
  ASSERT_EQ(fourK.size(), 3u);
  EXPECT_EQ(fourK[1].startSector, 1103806595072ull / 4096);
  EXPECT_EQ(fourK[2].startSector + fourK[2].sectorCount, 3000000000000ull / 4096);
}

}  // namespace
}  // namespace korvex
