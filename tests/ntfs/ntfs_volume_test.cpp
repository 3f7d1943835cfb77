// NTFS boot sectors and CNtfsVolumeAnalyze on the images mkntfs made: type, full 64-bit size, label from
// the $Volume record on 512- and 4096-byte sectors, and the cases that must leave the label empty.
#include <gtest/gtest.h>

#include <cstring>

#include "common/database.h"
#include "common/text.h"
#include "ntfs_images.h"
#include "storage/memory_device.h"

namespace korvex {
namespace {

using test::kNtfsImages;
using test::ReadFixture;

TEST(NtfsVolume, RecognisesTheImagesMkntfsMade) {
  for (const auto& image : kNtfsImages) {
    SCOPED_TRACE(image.file);
    CMemoryDevice device(ReadFixture(image.file), image.sectorSize);
    CNtfsVolumeAnalyze volume(&device, 0, image.sectorSize);
    EXPECT_EQ(volume.GetVolumeType(), kFsNtfs);
    EXPECT_EQ(volume.GetTotalSectors(), image.totalSectors);
    EXPECT_EQ(volume.Label(), image.label);
    EXPECT_EQ(volume.Geometry().sectorsPerCluster, image.sectorsPerCluster);
    EXPECT_EQ(volume.Geometry().recordSize, image.recordSize);

    char label[120];
    std::memset(label, 'x', sizeof label);
    volume.GetVolumeLabel(label, sizeof label);
    EXPECT_STREQ(label, image.label);

    // The other sector size: the boot sector's bytes per sector no longer match the device.
    const std::uint32_t other = image.sectorSize == 512 ? 4096 : 512;
    EXPECT_EQ(CNtfsVolumeAnalyze(&device, 0, other).GetVolumeType(), kFsUnknown);
    EXPECT_EQ(CNtfsVolumeAnalyze(&device, 0, 1024).GetVolumeType(), kFsUnknown) << "only 512 and 4096";
  }
}

TEST(NtfsVolume, FollowsTheCurrentSectorSizeAndStartSector) {
  const auto& image = kNtfsImages[0];
  std::vector<std::uint8_t> bytes(63 * 512, 0);
  const std::vector<std::uint8_t> volume = ReadFixture(image.file);
  bytes.insert(bytes.end(), volume.begin(), volume.end());
  CMemoryDevice device(std::move(bytes), 512);
  CDataBase::Instance().bytesPerSector = 512;
  CNtfsVolumeAnalyze atStart(&device, 63);
  EXPECT_EQ(atStart.GetVolumeType(), kFsNtfs);
  EXPECT_EQ(atStart.Label(), image.label);
  EXPECT_EQ(CNtfsVolumeAnalyze(&device, 0).GetVolumeType(), kFsUnknown);
  CDataBase::Instance().bytesPerSector = 4096;
  EXPECT_EQ(CNtfsVolumeAnalyze(&device, 63).GetVolumeType(), kFsUnknown);
  CDataBase::Instance().bytesPerSector = 0;
}

TEST(NtfsVolume, BootSectorTest) {
  const std::vector<std::uint8_t> real = ReadFixture(kNtfsImages[0].file, 512);
  struct Case {
    const char* what;
    std::size_t offset;
    std::uint8_t value;
    bool passes;
  };
  const Case cases[] = {
      {"as mkntfs wrote it", 0, real[0], true},
      {"lower-case oem id", 0x03, 'n', true},
      {"other oem id", 0x06, 'X', false},
      {"bytes per sector 1024", 0x0C, 0x04, false},
      {"sectors per cluster 3", 0x0D, 3, false},
      {"sectors per cluster 0", 0x0D, 0, false},
      {"sectors per cluster 128", 0x0D, 128, true},
      {"reserved sectors set", 0x0E, 1, false},
      {"byte 0x10 set", 0x10, 1, false},
      {"byte 0x14 set", 0x14, 1, false},
      {"byte 0x15 (media) may be set", 0x15, 0x12, true},
      {"byte 0x16 set", 0x16, 1, false},
      {"byte 0x17 set", 0x17, 1, false},
      {"byte 0x23 set", 0x23, 1, false},
      {"byte 0x24 may be set", 0x24, 0x80, true},
      {"no 0x55", 0x1FE, 0, false},
      {"no 0xAA", 0x1FF, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::uint8_t> sector = real;
    sector[c.offset] = c.value;
    if (c.offset == 0x03)
      std::memcpy(&sector[3], "ntfs    ", 8);
    EXPECT_EQ(IsNtfsBootSector(sector, 512), c.passes);
  }
  EXPECT_FALSE(IsNtfsBootSector(real, 4096)) << "says 512 on a 4096-byte device";
  EXPECT_FALSE(IsNtfsBootSector(ByteSpan(real).first(511), 512));
}

TEST(NtfsVolume, KeepsAll64BitsOfTheTotalSectors) {
  // A volume of 2 TiB and more in 512-byte sectors: the total no longer fits 32 bits.
  std::vector<std::uint8_t> bytes = ReadFixture(kNtfsImages[0].file);
  const std::uint64_t total = 0x1'0000'0400ull;
  for (std::size_t i = 0; i < 8; ++i)
    bytes[0x28 + i] = static_cast<std::uint8_t>(total >> (8 * i));
  CMemoryDevice device(std::move(bytes), 512);
  CNtfsVolumeAnalyze volume(&device, 0, 512);
  EXPECT_EQ(volume.GetVolumeType(), kFsNtfs);
  EXPECT_EQ(volume.GetTotalSectors(), total);
  EXPECT_EQ(volume.Label(), kNtfsImages[0].label);
}

TEST(NtfsVolume, LabelStaysEmptyWhenTheVolumeRecordIsNotTrusted) {
  for (const auto& image : kNtfsImages) {
    if (!*image.label)
      continue;
    SCOPED_TRACE(image.file);
    const std::vector<std::uint8_t> original = ReadFixture(image.file);
    const NtfsGeometry g = NtfsGeometry::FromBootSector(ByteSpan(original).first(512));
    const std::size_t record3 =
        (g.mftCluster * g.sectorsPerCluster) * g.bytesPerSector + 3 * std::size_t{g.recordSize};
    ASSERT_EQ(std::memcmp(&original[record3], "FILE", 4), 0);

    struct Case {
      const char* what;
      std::size_t offset;  // from the start of record 3
      std::uint8_t value;
    };
    const Case cases[] = {
        {"not a FILE record", 0, 'X'},
        {"torn record: the second block's end is not the sequence number", 1022, 0x55},
        {"update-sequence count above 16", file_record::kUpdateSequenceCount + 1, 1},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      std::vector<std::uint8_t> bytes = original;
      bytes[record3 + c.offset] ^= c.value;
      CMemoryDevice device(std::move(bytes), image.sectorSize);
      CNtfsVolumeAnalyze volume(&device, 0, image.sectorSize);
      EXPECT_EQ(volume.GetVolumeType(), kFsNtfs);
      EXPECT_EQ(volume.Label(), "");
    }

    // The record is not $Volume with hidden and system set: clear the hidden bit of its standard information.
    std::vector<std::uint8_t> bytes = original;
    MutableByteSpan record(&bytes[record3], g.recordSize);
    ASSERT_TRUE(ApplyFixup(record));
    const std::optional<NtfsAttribute> info = FindAttribute(record, attribute::kStandardInformation, 0);
    ASSERT_TRUE(info);
    bytes[record3 + info->ResidentValueOffset() + 0x20] &= static_cast<std::uint8_t>(~0x02);
    UndoFixup(record);
    CMemoryDevice device(std::move(bytes), image.sectorSize);
    EXPECT_EQ(CNtfsVolumeAnalyze(&device, 0, image.sectorSize).Label(), "");

    // Only the boot sector is there: the record cannot be read.
    CMemoryDevice bootOnly(std::vector<std::uint8_t>(original.begin(), original.begin() + image.sectorSize),
                           image.sectorSize);
    CNtfsVolumeAnalyze shortVolume(&bootOnly, 0, image.sectorSize);
    EXPECT_EQ(shortVolume.GetVolumeType(), kFsNtfs);
    EXPECT_EQ(shortVolume.Label(), "");
  }
}

TEST(NtfsVolume, ImplausibleRecordSizeReadsNoLabel) {
  // Clusters per record of -40 would mean 2^40-byte records: no read of that size is attempted.
  std::vector<std::uint8_t> bytes = ReadFixture(kNtfsImages[0].file);
  bytes[0x40] = static_cast<std::uint8_t>(-40);
  CMemoryDevice device(std::move(bytes), 512);
  CNtfsVolumeAnalyze volume(&device, 0, 512);
  EXPECT_EQ(volume.GetVolumeType(), kFsNtfs);
  EXPECT_EQ(volume.Label(), "");
  EXPECT_EQ(device.ReadCount(), 1);
}

TEST(NtfsText, Utf16NamesBecomeUtf8) {
  struct Case {
    const char* what;
    std::u16string units;
    std::string utf8;
  };
  const Case cases[] = {
      {"ASCII", u"KORVEX", "KORVEX"},
      {"two-byte", u"\u00e9t\u00e9", "\xC3\xA9t\xC3\xA9"},
      {"three-byte", u"a\u2014b",
       "a\xE2\x80\x94"
       "b"},
      {"surrogate pair", std::u16string{char16_t(0xD83D), char16_t(0xDE00)}, "\xF0\x9F\x98\x80"},
      {"lone high surrogate", std::u16string{char16_t(0xD800), u'a'}, "_a"},
      {"lone low surrogate", std::u16string{u'a', char16_t(0xDC00)}, "a_"},
      {"high surrogate at the end", std::u16string{u'a', char16_t(0xDBFF)}, "a_"},
      {"reversed pair", std::u16string{char16_t(0xDC00), char16_t(0xD800)}, "__"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::uint8_t> bytes;
    for (char16_t u : c.units)
      bytes.push_back(static_cast<std::uint8_t>(u)), bytes.push_back(static_cast<std::uint8_t>(u >> 8));
    EXPECT_EQ(Utf16LeToUtf8(bytes), c.utf8);
    bytes.push_back('x');
    EXPECT_EQ(Utf16LeToUtf8(bytes), c.utf8) << "a trailing odd byte is ignored";
  }
  // A label is cut to 80 bytes without splitting a character: 30 three-byte characters keep 26.
  std::vector<std::uint8_t> wide;
  for (int i = 0; i < 30; ++i)
    wide.push_back(0x2D), wide.push_back(0x4E);
  const std::string cut = Utf16LeToUtf8(wide, 80);
  EXPECT_EQ(cut.size(), 78u);
  EXPECT_EQ(cut.substr(0, 3), "\xE4\xB8\xAD");
}

}  // namespace
}  // namespace korvex
