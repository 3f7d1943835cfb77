// Index records, log-file pages, $UpCase and $AttrDef sectors: the real ones mkntfs and ntfs-3g wrote
// where the images hold them, small builders for the log pages (mkntfs leaves $LogFile blank), and the
// faults each test must refuse.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "model/data_run_reader.h"
#include "ntfs/ntfs_structures.h"
#include "ntfs_images.h"

namespace korvex {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::kNtfsImages;
using test::OpenNtfs;

// The content of a system file, read through the runs of its data attribute.
Bytes SystemFileContent(OpenNtfs& ntfs, std::uint64_t n) {
  Bytes record = ntfs.Record(n);
  EXPECT_TRUE(ApplyFixup(record));
  const NtfsAttribute data = *FindAttribute(record, attribute::kData, 0);
  if (const std::optional<ByteSpan> value = data.ResidentValue())
    return Bytes(value->begin(), value->end());  // fits a 4096-byte record
  CNoneResidentNTFSDataRunList runs;
  for (const MappingPairsRun& r : DecodeRuns(data.MappingPairs()))
    runs.Push(r.run);
  Bytes out;
  ReadThroughRuns(ntfs.device, runs, {0, ntfs.geometry.sectorsPerCluster}, data.RealSize(),
                  ntfs.geometry.bytesPerSector, [&](ByteSpan piece) {
                    out.insert(out.end(), piece.begin(), piece.end());
                    return true;
                  });
  return out;
}

TEST(NtfsUpCase, TableFollowsTheRangeRules) {
  const auto& table = UpCaseTable();
  std::size_t changed = 0;
  for (std::size_t i = 0; i < table.size(); ++i)
    changed += table[i] != i;
  EXPECT_EQ(changed, 636u);
  struct Case {
    std::uint16_t unit, upper;
  };
  const Case cases[] = {
      {'a', 'A'},       {'z', 'Z'},       {'A', 'A'},       {0x00E0, 0x00C0}, {0x00F7, 0x00F7},
      {0x00FF, 0x0178}, {0x0101, 0x0100}, {0x0102, 0x0102}, {0x0180, 0x0180}, {0x01C5, 0x01C5},
      {0x01C6, 0x01C4}, {0x01DD, 0x018E}, {0x023C, 0x023C}, {0x0253, 0x0181}, {0x03C2, 0x03A3},
      {0x03CC, 0x038C}, {0x0451, 0x0401}, {0x0561, 0x0531}, {0x1F51, 0x1F59}, {0x1F52, 0x1F52},
      {0x1F53, 0x1F5B}, {0x1FE5, 0x1FEC}, {0x2170, 0x2160}, {0x24D0, 0x24B6}, {0x2C30, 0x2C30},
      {0xFF41, 0xFF21}, {0xFF5A, 0xFF3A}, {0xFFFF, 0xFFFF},
  };
  for (const Case& c : cases)
    EXPECT_EQ(table[c.unit], c.upper) << std::hex << c.unit;
}

TEST(NtfsUpCase, SectorsOfTheTableAreRecognised) {
  const auto& table = UpCaseTable();
  Bytes bytes(2 * table.size());
  for (std::size_t i = 0; i < table.size(); ++i)
    bytes[2 * i] = static_cast<std::uint8_t>(table[i]),
              bytes[2 * i + 1] = static_cast<std::uint8_t>(table[i] >> 8);
  for (std::size_t s = 0; s < 256; ++s)
    ASSERT_TRUE(IsUpCaseSector(ByteSpan(bytes).subspan(512 * s, 512))) << s;
  Bytes sector(bytes.begin() + 512 * 3, bytes.begin() + 512 * 4);
  sector[100] ^= 1;
  EXPECT_FALSE(IsUpCaseSector(sector));
  Bytes misplaced(bytes.begin() + 512 * 4, bytes.begin() + 512 * 5);
  misplaced[1] = 3;  // claims to hold entries 0x300.. but holds 0x400..
  EXPECT_FALSE(IsUpCaseSector(misplaced));
  EXPECT_FALSE(IsUpCaseSector(ByteSpan(bytes).first(511)));

  // mkntfs writes a newer table (it maps U+0180 to U+0243, for one) than the one recognised here: 13 of
  // its 256 sectors differ, the others, the Latin-1 block among them, are recognised.
  OpenNtfs ntfs(kNtfsImages[0]);
  const Bytes written = SystemFileContent(ntfs, 10);
  ASSERT_EQ(written.size(), 131072u);
  std::size_t recognised = 0;
  for (std::size_t s = 0; s < 256; ++s)
    recognised += IsUpCaseSector(ByteSpan(written).subspan(512 * s, 512));
  EXPECT_EQ(recognised, 243u);
  EXPECT_TRUE(IsUpCaseSector(ByteSpan(written).first(512)));
  EXPECT_EQ(Le16(written, 2 * 0x180), 0x0243);
  EXPECT_FALSE(IsUpCaseSector(ByteSpan(written).subspan(512, 512)));
}

TEST(NtfsAttrDef, StandardContentIsWhatMkntfsWrites) {
  for (const auto& image : kNtfsImages) {
    SCOPED_TRACE(image.file);
    OpenNtfs ntfs(image);
    const Bytes written = SystemFileContent(ntfs, 4);
    ASSERT_EQ(written.size(), kAttrDefSize);
    EXPECT_TRUE(std::memcmp(written.data(), StandardAttrDef().data(), kAttrDefSize) == 0);
    for (std::size_t s = 0; s < 5; ++s)
      EXPECT_TRUE(IsAttrDefSector(ByteSpan(written).subspan(512 * s, 512))) << s;
  }
  Bytes sector(StandardAttrDef().begin() + 512, StandardAttrDef().begin() + 1024);
  sector[0x10] ^= 0x20;
  EXPECT_FALSE(IsAttrDefSector(sector));
  EXPECT_FALSE(IsAttrDefSector(Bytes(512, 0))) << "the zero tail is only part of the fifth sector";
}

// The first index record of a folder's index allocation.
Bytes FirstIndexRecord(OpenNtfs& ntfs, std::uint64_t folder) {
  Bytes record = ntfs.Record(folder);
  EXPECT_TRUE(ApplyFixup(record));
  const std::optional<NtfsAttribute> allocation = FindAttribute(record, attribute::kIndexAllocation, 0);
  if (!allocation)
    return {};
  const std::vector<MappingPairsRun> runs = DecodeRuns(allocation->MappingPairs());
  const std::uint64_t lba =
      static_cast<std::uint64_t>(runs.at(0).run.start) * ntfs.geometry.sectorsPerCluster;
  const std::size_t size = 4096;  // mkntfs's index block size
  const auto at =
      ntfs.device.Bytes().begin() + static_cast<std::ptrdiff_t>(lba * ntfs.geometry.bytesPerSector);
  return Bytes(at, at + size);
}

std::uint64_t FolderRecord(const test::NtfsImage& image, const std::string& name) {
  for (const auto& f : test::WrittenFiles(image)) {
    if (f.name == name && f.kind == "dir")
      return f.record;
  }
  return 0;
}

TEST(NtfsIndexRecord, RealRecordsPassAndFaultsFail) {
  for (const auto& image : kNtfsImages) {
    if (!image.filled)
      continue;
    SCOPED_TRACE(image.file);
    OpenNtfs ntfs(image);
    const Bytes real = FirstIndexRecord(ntfs, FolderRecord(image, "Photos"));
    ASSERT_EQ(real.size(), 4096u) << "the folder holds enough names for an index allocation";
    ASSERT_EQ(std::memcmp(real.data(), "INDX", 4), 0);

    struct Case {
      const char* what;
      std::function<void(Bytes&)> change;
      bool passes;
    };
    const std::size_t entries = 0x18 + Le32(real, index_record::kEntriesOffset);
    const Case cases[] = {
        {"as written", [](Bytes&) {}, true},
        {"not INDX", [](Bytes& r) { r[0] = 'X'; }, false},
        {"allocated size past the bytes", [](Bytes& r) { r[index_record::kAllocatedSize + 1] = 0x20; },
         false},
        {"allocated size below the total",
         [](Bytes& r) { std::memset(&r[index_record::kAllocatedSize], 0, 2); }, false},
        {"update-sequence count off by one", [](Bytes& r) { r[index_record::kUpdateSequenceCount]++; },
         false},
        {"update-sequence offset 38", [](Bytes& r) { r[index_record::kUpdateSequenceOffset] = 38; }, false},
        {"torn record", [](Bytes& r) { r[2 * 512 - 2] ^= 1; }, false},
        {"entry whose allocated size is below its real size",
         [&](Bytes& r) { std::memset(&r[entries + 0x10 + file_name::kAllocatedSize], 0, 8); }, false},
        {"entry of another folder",
         [&](Bytes& r) {
           const std::size_t second = entries + Le16(r, entries + index_entry::kLength);
           r[second + 0x10 + file_name::kParent] ^= 0x01;
         },
         false},
        {"entry length 0 ends the walk early",
         [&](Bytes& r) { std::memset(&r[entries + index_entry::kLength], 0, 2); }, true},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      Bytes record = real;
      c.change(record);
      const Bytes before = record;
      EXPECT_EQ(IsIndexRecord(record), c.passes);
      EXPECT_EQ(record, before) << "left as read";
    }
    Bytes cut(real.begin(), real.begin() + 2048);
    EXPECT_FALSE(IsIndexRecord(cut)) << "fewer bytes available than allocated";

    // The root folder lists sparse.bin, whose entry has an allocated size below its real size: the entry
    // check refuses such a record.
    Bytes root = FirstIndexRecord(ntfs, kRootDirectoryRecord);
    ASSERT_EQ(root.size(), 4096u);
    EXPECT_FALSE(IsIndexRecord(root));
  }
  // The root folder of an empty volume holds only system files.
  OpenNtfs empty(kNtfsImages[3]);
  Bytes root = FirstIndexRecord(empty, kRootDirectoryRecord);
  ASSERT_EQ(root.size(), 4096u);
  EXPECT_TRUE(IsIndexRecord(root));
}

// A log-file page of 8 sectors with the given magic and the same u16 at every sector end.
Bytes LogPage(const char* magic, std::uint16_t end) {
  Bytes page(4096, 0);
  std::memcpy(page.data(), magic, 4);
  for (std::size_t k = 1; k <= 8; ++k)
    page[k * 512 - 2] = static_cast<std::uint8_t>(end),
                   page[k * 512 - 1] = static_cast<std::uint8_t>(end >> 8);
  return page;
}

TEST(NtfsLogFile, RecordPages) {
  Bytes page = LogPage("RCRD", 0x0003);
  page[0x04] = 40, page[0x06] = 9, page[40] = 0x03;
  EXPECT_TRUE(IsLogRecordPage(page));
  struct Case {
    const char* what;
    std::size_t offset;
    std::uint8_t value;
  };
  const Case cases[] = {
      {"magic", 1, 'X'},
      {"count 8", 0x06, 8},
      {"offset 48", 0x04, 48},
      {"a sector end differs", 7 * 512 - 2, 9},
  };
  for (const Case& c : cases) {
    Bytes bad = page;
    bad[c.offset] = c.value;
    EXPECT_FALSE(IsLogRecordPage(bad)) << c.what;
  }
  EXPECT_FALSE(IsLogRecordPage(ByteSpan(page).first(4095)));
}

TEST(NtfsLogFile, RestartPages) {
  Bytes page = LogPage("RSTR", 0x0001);
  page[0x1E] = 0x01;
  const std::uint8_t client[] = {'N', 0, 'T', 0, 'F', 0, 'S', 0};
  std::memcpy(&page[0x90], client, sizeof client);
  EXPECT_TRUE(IsLogRestartPage(page));
  struct Case {
    const char* what;
    std::size_t offset;
    std::uint8_t value;
  };
  const Case cases[] = {
      {"magic", 0, 'C'},
      {"client name", 0x96, 'T'},
      {"a sector end differs", 3 * 512 - 1, 1},
  };
  for (const Case& c : cases) {
    Bytes bad = page;
    bad[c.offset] = c.value;
    EXPECT_FALSE(IsLogRestartPage(bad)) << c.what;
  }
  EXPECT_FALSE(IsLogRestartPage(ByteSpan(page).first(3584))) << "7 sectors";
}

}  // namespace
}  // namespace korvex
