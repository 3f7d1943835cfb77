// Loading and validating allocation tables: the real tables of the fixtures and crafted ones.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "fat/fat_images.h"
#include "fat/fat_table.h"
#include "fat/fat_volume.h"
#include "fixtures.h"
#include "storage/memory_device.h"

namespace korvex {
namespace {

using test::kFatImages;
using test::ReadFixture;

FatGeometry GeometryOf(const std::vector<std::uint8_t>& image) {
  const SectorView boot(image.data(), kFatSectorSize);
  return FatGeometry::FromBootSector(boot, 0, FatTypeOfBootSector(boot));
}

TEST(FatTable, RealTablesValidateAndHoldTheirChains) {
  for (const auto& image : kFatImages) {
    SCOPED_TRACE(image.file);
    CMemoryDevice device(ReadFixture(image.file), 512);
    const FatGeometry g = GeometryOf(device.Bytes());
    for (std::uint64_t lba : {g.FirstFatLba(), g.SecondFatLba()}) {
      std::unique_ptr<IRealFATTable> table = MakeFatTable(&device, g.type, lba, g.fatSectors);
      ASSERT_NE(table, nullptr);
      if (g.type == kFsFat32) {
        // The root directory is one cluster long on a fresh card.
        EXPECT_GE(table->GetEntry(g.rootCluster) & 0x0FFFFFFF, 0x0FFFFFF8u);
      }
      // Every used cluster links onward or ends a chain; count the clusters that end one.
      int chainEnds = 0;
      const std::uint64_t clusters = (g.totalSectors - g.DataLba()) / g.sectorsPerCluster;
      for (std::uint32_t c = 2; c < clusters + 2; ++c) {
        const std::uint32_t e = table->GetEntry(c);
        if (e == kFatEntryLast || e == kFatEntryReserved || (e & 0x0FFFFFF8) == 0x0FFFFFF8)
          ++chainEnds;
      }
      // Folders DCIM, 100CANON, Documents, Deep (FAT32 also the root) and the files README.TXT,
      // IMG_0001, IMG_0003 and the large file.
      EXPECT_EQ(chainEnds, g.type == kFsFat32 ? 9 : 8);
    }
  }
}

TEST(FatTable, DamagedFirstCopyIsReadThroughTheSecond) {
  CMemoryDevice device(ReadFixture("fat/fat16_damaged_fat1.img"), 512);
  const FatGeometry g = GeometryOf(device.Bytes());
  EXPECT_EQ(MakeFatTable(&device, kFsFat16, g.FirstFatLba(), g.fatSectors), nullptr);

  auto table = MakeDoubleFatTable(&device, kFsFat16, g.FirstFatLba(), g.fatSectors, true, true);
  EXPECT_EQ(table->First(), nullptr);
  ASSERT_NE(table->Second(), nullptr);
  EXPECT_NE(table->GetEntry(3), 3u) << "answers come from the intact copy";
  EXPECT_EQ(table->GetEntry(3), table->Second()->GetEntry(3));

  auto onlyFirst = MakeDoubleFatTable(&device, kFsFat16, g.FirstFatLba(), g.fatSectors, true, false);
  EXPECT_EQ(onlyFirst->Second(), nullptr);
  EXPECT_EQ(onlyFirst->GetEntry(3), 0u) << "no usable copy: every entry is 0";

  CMemoryDevice intact(ReadFixture("fat/fat16.img"), 512);
  auto good = MakeDoubleFatTable(&intact, kFsFat16, g.FirstFatLba(), g.fatSectors, true, true);
  EXPECT_NE(good->First(), nullptr);
  EXPECT_EQ(good->Second(), nullptr) << "the second copy is not read when the first is usable";
}

// A device holding one table copy of `sectors` sectors at LBA 0, with `entries` as its first entries.
template <typename Entry>
CMemoryDevice TableDevice(std::uint32_t sectors, std::initializer_list<Entry> entries) {
  std::vector<std::uint8_t> bytes(std::size_t{sectors} * 512, 0);
  std::size_t i = 0;
  for (Entry e : entries)
    std::memcpy(bytes.data() + sizeof(Entry) * i++, &e, sizeof(Entry));
  return CMemoryDevice(std::move(bytes), 512);
}

TEST(FatTable, Fat16ValidationCases) {
  using E = std::uint16_t;
  struct Case {
    const char* what;
    CMemoryDevice device;
    int valid;
  };
  Case cases[] = {
      {"fresh", TableDevice<E>(12, {0xFFF8, 0xFFFF}), 1},
      {"dirty volume mark", TableDevice<E>(12, {0xFFF8, 0x7FFF}), 0},
      {"media byte F0", TableDevice<E>(12, {0xFFF0, 0xFFFF}), 0},
      {"chain ending in 0xFFFF", TableDevice<E>(12, {0xFFF8, 0xFFFF, 3, 4, 0xFFFF, 0xFFF7}), 1},
      {"cluster 5 links to itself", TableDevice<E>(12, {0xFFF8, 0xFFFF, 0, 0, 0, 5}), 0},
      {"3 and 4 both link to 6", TableDevice<E>(12, {0xFFF8, 0xFFFF, 0, 6, 6, 0, 0xFFFF}), 0},
      {"link to 1", TableDevice<E>(12, {0xFFF8, 0xFFFF, 1}), 0},
      {"link outside the table", TableDevice<E>(12, {0xFFF8, 0xFFFF, 12 * 256}), 0},
      {"bad-cluster mark ends a chain", TableDevice<E>(12, {0xFFF8, 0xFFFF, 0xFFF7}), 1},
      {"loop back to the head", TableDevice<E>(12, {0xFFF8, 0xFFFF, 3, 4, 2}), 0},
      {"loop behind the head", TableDevice<E>(12, {0xFFF8, 0xFFFF, 3, 4, 3}), 0},
      {"chain joining an earlier head", TableDevice<E>(12, {0xFFF8, 0xFFFF, 0xFFFF, 0, 0, 2}), 1},
      {"too short a copy", TableDevice<E>(11, {0xFFF8, 0xFFFF}), 0},
  };
  for (Case& c : cases) {
    const std::uint32_t sectors = static_cast<std::uint32_t>(c.device.GetSectorCount());
    EXPECT_EQ(CFAT16Table(&c.device, 0, sectors).Validate(), c.valid) << c.what;
  }
}

TEST(FatTable, Fat32ValidationAndEntries) {
  using E = std::uint32_t;
  CMemoryDevice fresh = TableDevice<E>(256, {0x0FFFFFF8, 0x0FFFFFFF, 0x0FFFFFFF});
  CFAT32Table table(&fresh, 0, 256);
  EXPECT_EQ(table.Validate(), 1);
  EXPECT_EQ(table.GetEntry(2), 0x0FFFFFFFu);
  EXPECT_EQ(table.GetEntry(256 * 128), 0u) << "past the copy";

  CMemoryDevice media = TableDevice<E>(256, {0x0FFFFFF0, 0x0FFFFFFF});
  EXPECT_EQ(CFAT32Table(&media, 0, 256).Validate(), 0);
  CMemoryDevice topBits = TableDevice<E>(256, {0xFFFFFFF8, 0xFFFFFFFF, 0xF0000003, 0x0FFFFFFF});
  CFAT32Table raw(&topBits, 0, 256);
  EXPECT_EQ(raw.Validate(), 1) << "entries 0 and 1 are compared without their top bits";
  EXPECT_EQ(raw.GetEntry(2), 0xF0000003u) << "entries are returned as stored";
  CMemoryDevice tooShort = TableDevice<E>(255, {0x0FFFFFF8, 0x0FFFFFFF});
  EXPECT_EQ(CFAT32Table(&tooShort, 0, 255).Validate(), 0);
  EXPECT_EQ(CFAT32Table(&tooShort, 0, 255).GetEntry(0), 0u);
}

TEST(FatTable, LongReversedChainValidatesInLinearTime) {
  // Clusters allocated from the end of a 4,096,000-entry FAT32 towards its start: every chain head
  // joins the chain walked before it. Walking each link once takes well under a second (a few under
  // sanitizers); walking each joined chain again would take days.
  const std::uint32_t sectors = 32000, n = sectors * 128;
  std::vector<std::uint8_t> bytes(std::size_t{sectors} * 512, 0);
  auto put = [&](std::uint32_t i, std::uint32_t v) { std::memcpy(bytes.data() + 4 * std::size_t{i}, &v, 4); };
  put(0, 0x0FFFFFF8);
  put(1, 0x0FFFFFFF);
  put(2, 0x0FFFFFFF);
  for (std::uint32_t c = 3; c < n; ++c)
    put(c, c - 1);
  CMemoryDevice device(std::move(bytes), 512);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CFAT32Table(&device, 0, sectors).Validate(), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

TEST(FatTable, Fat12Entries) {
  CMemoryDevice device = TableDevice<std::uint8_t>(1, {0xF8, 0xFF, 0xFF, 0x03, 0x40, 0x00, 0xFF, 0x8F, 0xFF});
  CFAT12Table table(&device, 0, 1);
  EXPECT_EQ(table.Validate(), 1);
  EXPECT_EQ(table.GetEntry(2), 0x003u);
  EXPECT_EQ(table.GetEntry(3), 0x004u);
  EXPECT_EQ(table.GetEntry(4), kFatEntryLast);      // 0xFFF
  EXPECT_EQ(table.GetEntry(5), kFatEntryReserved);  // 0xFF8
  // Entry 341 starts at byte 511: its second byte lies outside the one-sector copy.
  EXPECT_EQ(table.GetEntry(340), 0u);
  EXPECT_EQ(table.GetEntry(341), 0u);
  EXPECT_EQ(table.GetEntry(0xFFFFFFFF), 0u);

  CMemoryDevice notFat = TableDevice<std::uint8_t>(1, {0xF8, 0xFF, 0x0F});
  EXPECT_EQ(CFAT12Table(&notFat, 0, 1).Validate(), 0);
  EXPECT_EQ(CFAT12Table(&device, 0, 13).Validate(), 0) << "length outside 1..12";
  EXPECT_EQ(MakeFatTable(&device, kFsNtfs, 0, 1), nullptr);
}

TEST(FatTable, UnreadableCopyFailsValidation) {
  CMemoryDevice tiny(std::vector<std::uint8_t>(512, 0xFF), 512);
  EXPECT_EQ(CFAT16Table(&tiny, 5, 12).Validate(), 0);
  EXPECT_EQ(CFAT16Table(&tiny, 5, 12).GetEntry(2), 0u);
}

}  // namespace
}  // namespace korvex
