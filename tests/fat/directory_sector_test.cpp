// The directory-sector classifier: sectors built byte by byte for the layouts no tool writes on
// purpose, and the lost folders of the quick-formatted sample card.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "fat/directory_sector.h"
#include "fixtures.h"

namespace korvex {
namespace {

using Sector = std::array<std::uint8_t, kFatSectorSize>;

// Writes an 8.3 entry at slot i: name (11 bytes), attribute, first cluster, size, date 2024-05-17.
void PutEntry(Sector& s, std::size_t i, const char (&name)[12], std::uint8_t attr, std::uint32_t cluster,
              std::uint32_t size) {
  std::uint8_t* e = s.data() + i * 32;
  std::memset(e, 0, 32);
  std::memcpy(e, name, 11);
  e[11] = attr;
  const std::uint16_t date = ((2024 - 1980) << 9) | (5 << 5) | 17;
  for (std::size_t off : {16u, 18u, 24u}) {
    e[off] = static_cast<std::uint8_t>(date);
    e[off + 1] = static_cast<std::uint8_t>(date >> 8);
  }
  e[20] = static_cast<std::uint8_t>(cluster >> 16);
  e[21] = static_cast<std::uint8_t>(cluster >> 24);
  e[26] = static_cast<std::uint8_t>(cluster);
  e[27] = static_cast<std::uint8_t>(cluster >> 8);
  std::memcpy(e + 28, &size, 4);
}

DirectorySectorInfo Classify(const Sector& s) {
  return ClassifyDirectorySector(SectorView(s.data(), s.size()));
}

TEST(DirectorySector, ClassesOfBuiltSectors) {
  Sector head{};
  PutEntry(head, 0, ".          ", 0x10, 0x31234, 0);
  PutEntry(head, 1, "..         ", 0x10, 0, 0);
  PutEntry(head, 2, "PHOTOS     ", 0x10, 0x31240, 0);
  PutEntry(head, 3, "IMG_0001JPG", 0x20, 0x31241, 90'000);
  DirectorySectorInfo info = Classify(head);
  EXPECT_EQ(info.kind, DirectorySectorKind::kSubdirectoryHead);
  EXPECT_EQ(info.dotCluster, 0x31234u);
  EXPECT_EQ(info.dotdotCluster, 0u);
  EXPECT_EQ(info.entries, 2u);
  EXPECT_EQ(info.largestCluster, 0x31241u);
  EXPECT_FALSE(info.largestIsDirectory);

  Sector repeated = head;  // a later entry repeats a cluster: still a head
  PutEntry(repeated, 4, "IMG_0002JPG", 0x20, 0x31241, 1000);
  EXPECT_EQ(Classify(repeated).kind, DirectorySectorKind::kSubdirectoryHead);

  Sector plain{};
  PutEntry(plain, 0, "A       TXT", 0x20, 5, 10);
  PutEntry(plain, 1, "EMPTY1  TXT", 0x20, 0, 0);
  PutEntry(plain, 2, "EMPTY2  TXT", 0x20, 0, 0);  // two empty files in a row are not a repeat
  PutEntry(plain, 3, "\xE5OLD    TXT", 0x20, 9, 10);
  PutEntry(plain, 4, "SUB        ", 0x10, 12, 0);
  info = Classify(plain);
  EXPECT_EQ(info.kind, DirectorySectorKind::kPlain);
  EXPECT_EQ(info.dotCluster, DirectorySectorInfo::kNoCluster);
  EXPECT_EQ(info.entries, 5u);
  EXPECT_EQ(info.largestCluster, 12u);
  EXPECT_TRUE(info.largestIsDirectory);

  Sector twice = plain;  // two live entries on one cluster
  PutEntry(twice, 1, "B       TXT", 0x20, 5, 10);
  EXPECT_EQ(Classify(twice).kind, DirectorySectorKind::kNone);

  Sector garbageAfter = plain;  // the entry that ends the walk is not all zeros
  garbageAfter[5 * 32 + 3] = 0x01;
  EXPECT_EQ(Classify(garbageAfter).kind, DirectorySectorKind::kNone);

  Sector full{};  // 16 entries that all pass need no terminator
  for (std::size_t i = 0; i < 16; ++i) {
    char name[12] = "FILE00  BIN";
    name[4] = static_cast<char>('A' + i);
    PutEntry(full, i, reinterpret_cast<const char(&)[12]>(name), 0x20, static_cast<std::uint32_t>(100 + i),
             1);
  }
  EXPECT_EQ(Classify(full).kind, DirectorySectorKind::kPlain);

  Sector zeros{};
  EXPECT_EQ(Classify(zeros).kind, DirectorySectorKind::kNone);
  Sector dotsAlone{};  // "." elsewhere than the first entry is not a head
  PutEntry(dotsAlone, 0, "A       TXT", 0x20, 5, 10);
  PutEntry(dotsAlone, 1, ".          ", 0x10, 7, 0);
  PutEntry(dotsAlone, 2, "..         ", 0x10, 0, 0);
  EXPECT_NE(Classify(dotsAlone).kind, DirectorySectorKind::kSubdirectoryHead);
}

TEST(DirectorySector, EntryClusterHasNoHighWordOnFat16) {
  Sector s{};
  PutEntry(s, 0, "A       TXT", 0x20, 0x0003'0010, 10);
  const EntryView e(s.data(), 32);
  EXPECT_EQ(EntryCluster(e, true), 0x30010u);
  EXPECT_EQ(EntryCluster(e, false), 0x10u);
}

// The quick-formatted card still holds the heads of DCIM and DCIM/100KORVX where its clusters put them.
TEST(DirectorySector, FindsTheLostFoldersOfTheSampleCard) {
  const std::vector<std::uint8_t> image = test::ReadFixture("card/sample_card.img");
  ASSERT_GE(image.size(), kFatSectorSize);
  const FatGeometry g = FatGeometry::FromBootSector(SectorView(image.data(), kFatSectorSize), 0, kFsFat32);
  ASSERT_EQ(g.type, kFsFat32);
  std::vector<DirectorySectorInfo> consistent;
  for (std::uint64_t lba = g.DataLba(); (lba + 1) * kFatSectorSize <= image.size(); ++lba) {
    const DirectorySectorInfo info =
        ClassifyDirectorySector(SectorView(image.data() + lba * kFatSectorSize, kFatSectorSize));
    if (info.kind != DirectorySectorKind::kSubdirectoryHead)
      continue;
    if ((lba - g.DataLba()) % g.sectorsPerCluster == 0 &&
        (lba - g.DataLba()) / g.sectorsPerCluster + 2 == info.dotCluster)
      consistent.push_back(info);
  }
  ASSERT_EQ(consistent.size(), 2u);
  EXPECT_EQ(consistent[0].dotdotCluster, 0u) << "DCIM hangs under the root";
  EXPECT_EQ(consistent[1].dotdotCluster, consistent[0].dotCluster) << "100KORVX hangs under DCIM";
  EXPECT_GE(consistent[1].entries, 8u) << "the pictures' entries, deleted ones included";
}

}  // namespace
}  // namespace korvex
