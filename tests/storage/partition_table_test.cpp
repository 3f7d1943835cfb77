// Partition listing: the fixture images against what sfdisk wrote, then crafted tables for the cases
// real tools do not make (loops, endless chains, odd types and sizes) and the volume-analyser rules.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/volume_probe.h"
#include "common/database.h"
#include "common/text.h"
#include "disk_builder.h"
#include "fixtures.h"
#include "platform/drive_table.h"
#include "storage/partition_images.h"
#include "storage/partition_table.h"

namespace korvex {
namespace {

using Span = std::pair<std::uint64_t, std::uint64_t>;  // start, sectors

std::vector<Span> Spans(const std::vector<PartitionRecord>& records) {
  std::vector<Span> spans;
  for (const PartitionRecord& r : records)
    spans.emplace_back(r.startSector, r.sectorCount);
  return spans;
}

TEST(ListPartitions, FixtureImagesHoldWhatSfdiskWrote) {
  for (const test::PartitionImage& image : test::PartitionImages()) {
    SCOPED_TRACE(image.file);
    platform::DriveTable::Instance().Clear();
    platform::DriveTable::Instance().AddImage(test::FixturePath(image.file), image.sectorSize);
    CDevice drive(0);
    ASSERT_TRUE(drive.Open());
    std::vector<PartitionRecord> records;
    CDataBase::Instance().bytesPerSector = 0;
    EXPECT_EQ(ListPartitions(drive, VolumeAnalysers(), records),
              image.gpt ? kPartitionTableGpt : kPartitionTableOther);
    EXPECT_EQ(CDataBase::Instance().bytesPerSector, image.sectorSize);
    ASSERT_EQ(records.size(), image.volumes.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
      const PartitionRecord& r = records[i];
      const test::ExpectedVolume& e = image.volumes[i];
      SCOPED_TRACE(i);
      EXPECT_EQ(r.startSector, e.start);
      EXPECT_EQ(Utf16ToUtf8(r.name), e.gptName);
      if (e.ntfs) {
        EXPECT_TRUE(r.sectorCount == e.sectors || r.sectorCount == e.sectors - 1) << r.sectorCount;
      } else {
        EXPECT_EQ(r.sectorCount, e.sectors);
        EXPECT_EQ(r.fsType, e.fsType);
        EXPECT_STREQ(r.label, e.label);
      }
      ASSERT_NE(r.volumeDevice, nullptr);
      EXPECT_EQ(r.volumeDevice->GetStartSector(), r.startSector);
      EXPECT_EQ(r.volumeDevice->GetSectorCount(), r.sectorCount);
      EXPECT_EQ(r.volumeDevice->GetInnerSectorCount(), image.sectors);
    }
  }
}

constexpr const char* kBasicData = "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7";
constexpr const char* kLinuxSwap = "0657FD6D-A4AB-43C4-84E5-0933C84B4F4F";
constexpr const char* kLinuxFilesystem = "0FC63DAF-8483-4772-8E79-3D69D8477DE4";

TEST(ListPartitions, CraftedTables) {
  struct Case {
    const char* what;
    test::DiskBuilder disk;
    int result;
    std::vector<Span> expected;
  };
  using test::DiskBuilder;
  const std::uint8_t ext = 0x0F;
  std::vector<Case> cases;
  cases.push_back({"primaries and an extended chain",
                   DiskBuilder(512, 4000),
                   kPartitionTableOther,
                   {{64, 100}, {1010, 50}, {1510, 60}}});
  cases.back().disk.Table(0, {{0x06, 64, 100, 0x80}, {ext, 1000, 3000}});
  cases.back().disk.Table(1000, {{0x07, 10, 50}, {0x05, 500, 600}}).Table(1500, {{0x0B, 10, 60}});

  cases.push_back({"an EBR that points back to the first logical",
                   DiskBuilder(512, 4000),
                   kPartitionTableOther,
                   {{64, 100}, {1010, 50}, {1510, 60}}});
  cases.back().disk.Table(0, {{0x06, 64, 100}, {ext, 1000, 3000}});
  cases.back()
      .disk.Table(1000, {{0x07, 10, 50}, {ext, 500, 600}})
      .Table(1500, {{0x0B, 10, 60}, {ext, 0, 600}});

  cases.push_back(
      {"an EBR that points to itself", DiskBuilder(512, 4000), kPartitionTableOther, {{1010, 50}}});
  cases.back().disk.Table(0, {{ext, 1000, 3000}}).Table(1000, {{0x07, 10, 50}, {ext, 0, 100}});

  cases.push_back({"type 0x42 lists nothing", DiskBuilder(512, 4000), kPartitionTableOther, {{300, 10}}});
  cases.back().disk.Table(0, {{0x42, 100, 100}, {0x07, 300, 10}});

  cases.push_back({"a boot flag other than 0 or 0x80 makes the MBR invalid",
                   DiskBuilder(512, 4000),
                   kPartitionTableOther,
                   {}});
  cases.back().disk.Table(0, {{0x07, 100, 100}, {0x07, 300, 10, 0x01}});

  cases.push_back({"no signature, no table", DiskBuilder(512, 4000), kPartitionTableOther, {}});
  cases.back().disk.Table(0, {{0x07, 100, 100}}).Sector(0)[511] = 0;

  cases.push_back({"cut at the drive's end, zero length runs to it, starts past it dropped",
                   DiskBuilder(512, 1000),
                   kPartitionTableOther,
                   {{900, 100}, {100, 900}}});
  cases.back().disk.Table(
      0, {{0x07, 900, 500}, {0x07, 100, 0}, {0x07, 1000, 10}, {0x07, 0xFFFFFFF0, 0xFFFFFFF0}});

  cases.push_back({"4096-byte sectors: the EBR lies at a 4096-byte address",
                   DiskBuilder(4096, 64),
                   kPartitionTableOther,
                   {{4, 8}, {22, 4}}});
  cases.back().disk.Table(0, {{0x07, 4, 8}, {ext, 20, 40}}).Table(20, {{0x07, 2, 4}});

  cases.push_back({"a protective MBR on 1024-byte sectors is read as an MBR",
                   DiskBuilder(1024, 500),
                   kPartitionTableOther,
                   {{1, 499}}});
  cases.back().disk.Table(0, {{0xEE, 1, 0xFFFFFFFF}});
  cases.back().disk.GptEntry(0, kBasicData, 40, 49, u"never read");

  cases.push_back({"GPT: accepted types only, length last - first + 1",
                   DiskBuilder(512, 1000),
                   kPartitionTableGpt,
                   {{40, 10}, {200, 51}, {900, 100}}});
  cases.back().disk.Table(0, {{0xEE, 1, 999}});
  cases.back().disk.GptEntry(0, kBasicData, 40, 49, u"Data");
  cases.back().disk.GptEntry(1, kLinuxFilesystem, 100, 149, u"Linux");
  cases.back().disk.GptEntry(2, "01234567-89AB-CDEF-0123-456789ABCDEF", 150, 159, u"Unknown");
  cases.back().disk.GptEntry(4, kLinuxSwap, 200, 250, u"Swap");
  cases.back().disk.GptEntry(5, kBasicData, 900, 5000, u"Past the end");
  cases.back().disk.GptEntry(6, kBasicData, 2000, 3000, u"Beyond the end");

  cases.push_back({"GPT on 4096-byte sectors holds 1024 entries",
                   DiskBuilder(4096, 100),
                   kPartitionTableGpt,
                   {{50, 10}}});
  cases.back().disk.Table(0, {{0xEE, 1, 99}});
  cases.back().disk.GptEntry(1000, kBasicData, 50, 59, u"Late entry");

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto device = c.disk.Device();
    std::vector<PartitionRecord> records;
    const std::uint32_t sectorSize =
        static_cast<std::uint32_t>(device->Bytes().size() / device->GetSectorCount());
    EXPECT_EQ(ListPartitions(*device, sectorSize, {}, records), c.result);
    EXPECT_EQ(Spans(records), c.expected);
  }
}

TEST(ListPartitions, GptNamesAreKept) {
  test::DiskBuilder disk(512, 1000);
  disk.Table(0, {{0xEE, 1, 999}});
  disk.GptEntry(0, kBasicData, 40, 49, u"Donn\u00E9es \U0001F4BE");
  disk.GptEntry(1, kBasicData, 50, 59, u"A name of exactly thirty-six units..");
  auto device = disk.Device();
  std::vector<PartitionRecord> records;
  ListPartitions(*device, 512, {}, records);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(Utf16ToUtf8(records[0].name),
            "Donn\xC3\xA9"
            "es \xF0\x9F\x92\xBE");
  EXPECT_EQ(Utf16ToUtf8(records[1].name), "A name of exactly thirty-six units..");
}

TEST(ListPartitions, ExtendedChainsThatNeverEndStop) {
  // Every EBR holds one extended entry that leads to the next sector: no loop, no data partition.
  test::DiskBuilder endless(512, 5000);
  endless.Table(0, {{0x05, 1, 4999}});
  for (std::uint32_t k = 1; k < 5000; ++k)
    endless.Table(k, {{0x05, k, 1}});
  auto device = endless.Device();
  std::vector<PartitionRecord> records;
  ListPartitions(*device, 512, {}, records);
  EXPECT_TRUE(records.empty());
  EXPECT_LE(device->ReadCount(), kMaxExtendedRecords + 4);

  // A long chain of logical partitions is listed up to the depth limit.
  test::DiskBuilder chain(512, 5000);
  chain.Table(0, {{0x05, 10, 4990}});
  for (std::uint32_t k = 0; k < 300; ++k)
    chain.Table(10 + 2 * k, {{0x07, 1, 1}, {0x05, 2 * k + 2, 2}});
  device = chain.Device();
  records.clear();
  ListPartitions(*device, 512, {}, records);
  EXPECT_EQ(records.size(), static_cast<std::size_t>(kMaxExtendedDepth));
  EXPECT_EQ(records.front().startSector, 11u);
}

TEST(ListPartitions, TheAnalysersTellTypeSizeAndLabel) {
  struct Case {
    const char* what;
    std::uint32_t tableStart, tableCount;  // 0, 0: no table, the volume at sector 0
    std::uint64_t volumeSectors;
    Span expected;
  };
  const Case cases[] = {
      {"a volume shorter than its partition", 100, 500, 300, {100, 300}},
      {"a volume longer than its partition, inside the drive", 100, 500, 700, {100, 700}},
      {"a volume that reaches the drive's end keeps the table's length", 100, 500, 900, {100, 500}},
      {"a volume of no size keeps the table's length", 100, 500, 0, {100, 500}},
      {"the whole drive as one volume", 0, 0, 600, {0, 600}},
      {"the whole drive when the volume claims no size", 0, 0, 0, {0, 1000}},
      {"the whole drive when the volume claims more", 0, 0, 5000, {0, 1000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::DiskBuilder disk(512, 1000);
    if (c.tableCount != 0)
      disk.Table(0, {{0x0C, c.tableStart, c.tableCount}});
    disk.FakeVolume(c.tableStart, 3, c.volumeSectors, "CARD");
    auto device = disk.Device();
    std::vector<PartitionRecord> records;
    ListPartitions(*device, 512, {test::FakeAnalyser(512)}, records);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(Spans(records)[0], c.expected);
    EXPECT_EQ(records[0].fsType, 3);
    EXPECT_STREQ(records[0].label, "CARD");
  }
}

TEST(ListPartitions, AnalysersAreTriedInOrder) {
  test::DiskBuilder disk(512, 1000);
  disk.Table(0, {{0x07, 100, 100}, {0x07, 300, 100}});
  disk.FakeVolume(100, 1, 100, "A").FakeVolume(300, 0, 100, "B");
  auto device = disk.Device();
  // The first analyser reports the stored type, the second that type + 3; type 0 passes to the next.
  const VolumeAnalyserFactory unknownEverywhere = [](IDevice*, std::uint64_t) -> std::unique_ptr<IVolume> {
    return nullptr;
  };
  std::vector<PartitionRecord> records;
  ListPartitions(*device, 512, {unknownEverywhere, test::FakeAnalyser(512), test::FakeAnalyser(512, 3)},
                 records);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].fsType, 1);
  EXPECT_EQ(records[1].fsType, 0) << "type 0 is no volume for any analyser";
  records.clear();
  ListPartitions(*device, 512, {test::FakeAnalyser(512, 3), test::FakeAnalyser(512)}, records);
  EXPECT_EQ(records[0].fsType, 4);
}

TEST(ListPartitions, LabelsAreCutAtACharacterBoundary) {
  test::DiskBuilder disk(512, 1000);
  disk.Table(0, {{0x07, 100, 100}});
  // 98 ASCII bytes and a two-byte character: the label field keeps 99 bytes and its NUL.
  disk.FakeVolume(100, 2, 100, std::string(98, 'x') + "\xC3\xA9");
  auto device = disk.Device();
  std::vector<PartitionRecord> records;
  ListPartitions(*device, 512, {test::FakeAnalyser(512)}, records);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(std::string(records[0].label), std::string(98, 'x'));
}

TEST(ListPartitions, RecordsOfOtherDrivesDoNotEndAChain) {
  test::DiskBuilder disk(512, 4000);
  disk.Table(0, {{0x0F, 1000, 3000}}).Table(1000, {{0x07, 10, 50}});
  auto device = disk.Device();
  std::vector<PartitionRecord> records;
  ListPartitions(*device, 512, {}, records);
  ListPartitions(*device, 512, {}, records);  // a second drive with the same layout
  EXPECT_EQ(Spans(records), (std::vector<Span>{{1010, 50}, {1010, 50}}));
}

}  // namespace
}  // namespace korvex
