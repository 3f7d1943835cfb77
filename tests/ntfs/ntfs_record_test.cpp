// FILE records: fix-ups in 512-byte strides, the FILE-record test against real records and crafted
// faults, file-name choice, mapping-pairs checks, cluster size from an attribute, system files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "ntfs_images.h"
#include "record_builder.h"

namespace korvex {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::kNtfsImages;
using test::OpenNtfs;
using test::RecordBuilder;

std::uint64_t RecordOf(const test::NtfsImage& image, const std::string& name) {
  for (const auto& f : test::WrittenFiles(image)) {
    if (f.name == name)
      return f.record;
  }
  return 0;
}

TEST(NtfsFixup, AppliesAndUndoesInStridesOf512) {
  for (const auto& image : {kNtfsImages[0], kNtfsImages[2]}) {
    SCOPED_TRACE(image.file);
    OpenNtfs ntfs(image);
    const Bytes asRead = ntfs.Record(0);
    const std::size_t count = Le16(asRead, file_record::kUpdateSequenceCount);
    ASSERT_EQ(count, image.recordSize / 512 + 1) << "one entry per 512 bytes, whatever the sector size";
    Bytes record = asRead;
    ASSERT_TRUE(ApplyFixup(record));
    const std::size_t array = Le16(asRead, file_record::kUpdateSequenceOffset);
    for (std::size_t k = 0; k + 1 < count; ++k)
      EXPECT_EQ(Le16(record, (k + 1) * 512 - 2), Le16(asRead, array + 2 * (k + 1))) << k;
    UndoFixup(record);
    EXPECT_EQ(record, asRead);
  }
}

TEST(NtfsFixup, RefusesWithoutChangingAByte) {
  RecordBuilder builder;
  builder.Resident(attribute::kStandardInformation, RecordBuilder::StandardInformation(0));
  const Bytes good = builder.Protected();
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
  };
  const Case cases[] = {
      {"second block does not end with the sequence number", [](Bytes& r) { r[1022] ^= 1; }},
      {"first block does not", [](Bytes& r) { r[511] ^= 0x80; }},
      {"array past the record", [](Bytes& r) { r[file_record::kUpdateSequenceOffset] = 0xFE, r[5] = 0x03; }},
      {"blocks past the record", [](Bytes& r) { r[file_record::kUpdateSequenceCount] = 4; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes record = good;
    c.damage(record);
    const Bytes before = record;
    EXPECT_FALSE(ApplyFixup(record));
    EXPECT_EQ(record, before);
  }
  Bytes shortRecord(good.begin(), good.begin() + 600);
  EXPECT_FALSE(ApplyFixup(shortRecord)) << "the second block is not there";
}

// A real record of a non-resident file, fixed up, so that a case can damage one field and protect it again.
Bytes RealRecord(OpenNtfs& ntfs, std::uint64_t n) {
  Bytes r = ntfs.Record(n);
  EXPECT_TRUE(ApplyFixup(r));
  return r;
}

TEST(NtfsFileRecord, RealRecordsPassAndCraftedFaultsFail) {
  const auto& image = kNtfsImages[0];
  OpenNtfs ntfs(image);
  const Bytes large = RealRecord(ntfs, RecordOf(image, "large.bin"));
  const Bytes small = RealRecord(ntfs, RecordOf(image, "small.txt"));
  const std::size_t data = FindAttribute(large, attribute::kData, 0)->offset;
  const NtfsAttribute name = *FindAttribute(small, attribute::kFileName, 0);
  const NtfsAttribute smallData = *FindAttribute(small, attribute::kData, 0);

  // A change to the record as held in memory, protected again afterwards; `raw` changes are made to the
  // protected bytes (header fields of the update sequence itself).
  struct Case {
    const char* what;
    const Bytes* base;
    std::function<void(Bytes&)> change;
    bool passes;
    bool raw = false;
  };
  const Case cases[] = {
      {"non-resident file as written", &large, [](Bytes&) {}, true},
      {"resident file as written", &small, [](Bytes&) {}, true},
      {"not FILE", &large, [](Bytes& r) { r[3] = 'X'; }, false},
      {"update-sequence count 17", &large, [](Bytes& r) { r[file_record::kUpdateSequenceCount] = 17; }, false,
       true},
      {"update-sequence offset 40", &large, [](Bytes& r) { r[file_record::kUpdateSequenceOffset] = 40; },
       false, true},
      {"update-sequence offset 258", &large,
       [](Bytes& r) {
         r[file_record::kUpdateSequenceOffset] = 2, r[file_record::kUpdateSequenceOffset + 1] = 1;
       },
       false, true},
      {"torn: a block end is not the sequence number, yet the walk holds", &large,
       [](Bytes& r) { r[510] ^= 0x01; }, true, true},
      {"5-byte start delta in the data's mapping pairs", &large,
       [&](Bytes& r) {
         const std::size_t pairs = data + Le16(r, data + attribute::kMappingPairs);
         r[pairs] = static_cast<std::uint8_t>(0x50 | (r[pairs] & 0x0F));
       },
       false},
      {"mapping pairs offset past the attribute", &large,
       [&](Bytes& r) { r[data + attribute::kMappingPairs] = 0xF0; }, false},
      {"attribute length past the record", &large, [&](Bytes& r) { r[data + attribute::kLength + 1] = 0x10; },
       false},
      {"file name holding ':'", &small,
       [&](Bytes& r) { r[name.ResidentValueOffset() + file_name::kName] = ':'; }, false},
      {"file name holding '?'", &small,
       [&](Bytes& r) { r[name.ResidentValueOffset() + file_name::kName + 2] = '?'; }, false},
      {"resident value past its attribute", &small,
       [&](Bytes& r) { r[smallData.offset + attribute::kValueLength + 1] = 0x04; }, false},
      {"length 0 ends the walk", &small, [&](Bytes& r) { std::memset(&r[smallData.offset + 4], 0, 4); },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes record = *c.base;
    const std::size_t array = Le16(record, file_record::kUpdateSequenceOffset);
    const std::size_t count = Le16(record, file_record::kUpdateSequenceCount);
    if (!c.raw)
      c.change(record);
    RecordBuilder::Protect(record, 0x0042, array, count);
    if (c.raw)
      c.change(record);
    const Bytes before = record;
    EXPECT_EQ(IsFileRecord(record), c.passes);
    EXPECT_EQ(record, before) << "left as read";
  }
}

TEST(NtfsFileRecord, WalkStaysInsideWhateverTheLengthsSay) {
  // An attribute list that claims ever larger lengths, one whose length is 0xFFFFFFF8, and one that would
  // reach past the buffer by a single byte.
  RecordBuilder b;
  b.Resident(attribute::kStandardInformation, RecordBuilder::StandardInformation(0));
  Bytes record = b.Bytes();
  ASSERT_TRUE(IsFileRecord(record));
  Bytes huge = record;
  std::memset(&huge[56 + attribute::kLength], 0xF8, 3);
  huge[56 + attribute::kLength + 3] = 0xFF;
  EXPECT_FALSE(IsFileRecord(huge));
  EXPECT_TRUE(Attributes(huge).empty());
  Bytes past = record;
  past[56 + attribute::kLength] = 0;
  past[56 + attribute::kLength + 1] = 0x04;  // 1024 - 56 + ... past the end
  EXPECT_FALSE(IsFileRecord(past));
  EXPECT_FALSE(IsFileRecord(MutableByteSpan(record).first(40))) << "shorter than a header";
}

TEST(NtfsFileName, ChoosesTheWin32NameAndAParentFromRecord5Up) {
  struct Case {
    const char* what;
    std::uint8_t firstSpace;
    std::uint64_t firstParent;
    std::optional<std::uint8_t> secondSpace;
    std::uint64_t secondParent;
    const char* name;
    std::uint64_t parent;
  };
  // Record numbers: 0x0001'000000000040 is record 64, sequence 1.
  const std::uint64_t dir = 0x0001'000000000040;
  const Case cases[] = {
      {"DOS first, Win32 second: the Win32 name", 2, dir, 1, dir, "Long name.txt", 64},
      {"POSIX second: the first", 2, dir, 0, dir, "LONGNA~1.TXT", 64},
      {"Win32 and DOS second: the first", 2, dir, 3, dir, "LONGNA~1.TXT", 64},
      {"only one name", 1, dir, std::nullopt, 0, "LONGNA~1.TXT", 64},
      {"second parent below 5: the first's", 2, dir, 1, 4, "Long name.txt", 64},
      {"both below 5: the chosen one's", 2, 3, 1, 4, "Long name.txt", 4},
      {"second parent wins when 5 or more", 2, 0x40, 1, 0x0002'000000000005, "Long name.txt", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordBuilder b;
    b.Resident(attribute::kFileName, RecordBuilder::FileName(c.firstParent, c.firstSpace, u"LONGNA~1.TXT"));
    if (c.secondSpace)
      b.Resident(attribute::kFileName,
                 RecordBuilder::FileName(c.secondParent, *c.secondSpace, u"Long name.txt"));
    const std::optional<ChosenFileName> chosen = ChooseFileName(b.Bytes());
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->name, c.name);
    EXPECT_EQ(chosen->ParentRecord(), c.parent);
  }
}

TEST(NtfsFileName, NamesThatAreNotThere) {
  RecordBuilder none;
  none.Resident(attribute::kStandardInformation, RecordBuilder::StandardInformation(0));
  EXPECT_FALSE(ChooseFileName(none.Bytes()));

  RecordBuilder empty;
  empty.Resident(attribute::kFileName, RecordBuilder::FileName(5, 1, u""));
  EXPECT_FALSE(ChooseFileName(empty.Bytes())) << "a name of length 0 is no name";

  // The name length says more characters than the value holds.
  RecordBuilder cut;
  const std::size_t at = cut.Resident(attribute::kFileName, RecordBuilder::FileName(5, 1, u"abc"));
  Bytes record = cut.Bytes();
  record[at + Le16(record, at + attribute::kValueOffset) + file_name::kNameLength] = 200;
  EXPECT_FALSE(ChooseFileName(record));

  // UTF-16 that does not form characters (a lone surrogate) becomes "_".
  RecordBuilder odd;
  odd.Resident(attribute::kFileName,
               RecordBuilder::FileName(5, 1, std::u16string(u"a") + char16_t(0xD800) + u"b"));
  ASSERT_TRUE(ChooseFileName(odd.Bytes()));
  EXPECT_EQ(ChooseFileName(odd.Bytes())->name, "a_b");
}

TEST(NtfsMappingPairs, SanityCheck) {
  struct Case {
    const char* what;
    Bytes bytes;
    bool sane;
  };
  const Case cases[] = {
      {"only the end", {0}, true},
      {"4-byte delta and length", {0x44, 1, 2, 3, 4, 5, 6, 7, 8, 0}, true},
      {"sparse run", {0x01, 9, 0x11, 1, 2, 0}, true},
      {"5-byte delta", {0x51, 1, 1, 2, 3, 4, 5, 0}, false},
      {"5-byte length", {0x15, 1, 2, 3, 4, 5, 1, 0}, false},
      {"high bit set", {0x81, 1, 1, 2, 3, 4, 5, 6, 7, 8, 0}, false},
      {"no end", {0x11, 1, 2}, false},
      {"pair runs past the end", {0x44, 1, 2, 0}, false},
      {"empty", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(IsMappingPairsSane(c.bytes), c.sane);
  }
}

TEST(NtfsMappingPairs, DecodeRunsCountsFromTheFirstVirtualCluster) {
  const Bytes pairs = {0x11, 4, 10, 0x01, 2, 0x11, 3, 0xFE, 0};
  const std::vector<MappingPairsRun> runs = DecodeRuns(pairs, 100);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].run, (DataRun{10, 4}));
  EXPECT_EQ(runs[0].vcn, 100u);
  EXPECT_TRUE(runs[1].run.IsSparse());
  EXPECT_EQ(runs[1].vcn, 104u);
  EXPECT_EQ(runs[2].run, (DataRun{8, 3}));
  EXPECT_EQ(runs[2].vcn, 106u);
}

TEST(NtfsClusterSize, FromRealAttributes) {
  for (const auto& image : kNtfsImages) {
    if (!image.filled)
      continue;
    SCOPED_TRACE(image.file);
    OpenNtfs ntfs(image);
    const Bytes record = RealRecord(ntfs, RecordOf(image, "large.bin"));
    const NtfsAttribute data = *FindAttribute(record, attribute::kData, 0);
    EXPECT_EQ(SectorsPerClusterFromAttribute(data, data.RealSize(), image.sectorSize),
              image.sectorsPerCluster);
  }
}

TEST(NtfsClusterSize, RoundsUpToAPowerOfTwo) {
  struct Case {
    const char* what;
    std::uint64_t clusters, size;
    std::uint64_t lastVcn;  // of a data attribute starting at 0
    std::uint16_t flags;
    std::uint8_t expected;
  };
  const Case cases[] = {
      {"one sector a cluster", 10, 10 * 512, 9, 0, 1},
      {"x = 3 rounds to 4", 10, 10 * 3 * 512, 9, 0, 4},
      {"x = 5 rounds to 8", 10, 10 * 5 * 512, 9, 0, 8},
      {"x just above 8 rounds to 16", 10, 10 * 8 * 512 + 1, 9, 0, 16},
      {"x = 65 rounds to 128", 1, 65 * 512, 0, 0, 128},
      {"x = 129 is none", 1, 129 * 512, 0, 0, 0},
      {"size 0 is none", 4, 0, 3, 0, 0},
      {"runs that do not cover the virtual clusters", 10, 10 * 4096, 20, 0, 0},
      {"compressed: the virtual clusters are not compared", 10, 10 * 4096, 20, attribute::kCompressed, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordBuilder b;
    CRAWDataRunList runs;
    runs.Push({1000, c.clusters});
    b.NonResident(attribute::kData, EncodeMappingPairs(runs), 0, c.lastVcn, c.size, c.flags);
    const Bytes record = b.Bytes();
    EXPECT_EQ(SectorsPerClusterFromAttribute(*FindAttribute(record, attribute::kData, 0), c.size, 512),
              c.expected);
  }
  RecordBuilder empty;
  empty.NonResident(attribute::kIndexAllocation, {0}, 0, 0, 4096);
  const Bytes record = empty.Bytes();
  EXPECT_EQ(SectorsPerClusterFromAttribute(*FindAttribute(record, attribute::kIndexAllocation, 0), 4096, 512),
            0)
      << "no runs";
}

TEST(NtfsSystemFile, RealSystemRecordsAndTheHiddenBit) {
  const auto& image = kNtfsImages[0];
  OpenNtfs ntfs(image);
  for (std::uint32_t n = 0; n <= 11; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(IsSystemFile(RealRecord(ntfs, n)), n);
  }
  // $Quota, $ObjId and $Reparse live in $Extend, in records mkntfs numbers from 24.
  std::vector<std::uint32_t> extendIds;
  for (std::uint32_t n = 24; n < 27; ++n) {
    if (const auto id = IsSystemFile(RealRecord(ntfs, n)))
      extendIds.push_back(*id);
  }
  std::sort(extendIds.begin(), extendIds.end());
  EXPECT_EQ(extendIds, (std::vector<std::uint32_t>{32, 33, 34}));
  EXPECT_FALSE(IsSystemFile(RealRecord(ntfs, RecordOf(image, "small.txt"))));

  // "$Secure" is a system file only with hidden and system set.
  for (std::uint32_t attributes : {0x06u, 0x04u, 0x02u, 0x26u}) {
    SCOPED_TRACE(attributes);
    RecordBuilder b;
    b.Resident(attribute::kStandardInformation, RecordBuilder::StandardInformation(attributes));
    b.Resident(attribute::kFileName, RecordBuilder::FileName(5, 3, u"$Secure"));
    const std::optional<std::uint32_t> id = IsSystemFile(b.Bytes());
    EXPECT_EQ(id, (attributes & 0x06) == 0x06 ? std::optional<std::uint32_t>(9) : std::nullopt);
  }
}

TEST(NtfsResidentData, ComesFromTheRecordAtTheGivenOffset) {
  const auto& image = kNtfsImages[0];
  OpenNtfs ntfs(image);
  const std::uint64_t n = RecordOf(image, "small.txt");
  const std::uint64_t lba = *ntfs.RecordLba(n);
  const Bytes record = RealRecord(ntfs, n);
  const NtfsAttribute data = *FindAttribute(record, attribute::kData, 0);
  Bytes value;
  ASSERT_TRUE(ReadResidentData(ntfs.device, 512, image.recordSize, lba,
                               static_cast<std::uint32_t>(data.ResidentValueOffset()), value));
  EXPECT_EQ(value.size(), 300u);
  EXPECT_TRUE(std::ranges::equal(value, *data.ResidentValue()));
  EXPECT_FALSE(ReadResidentData(ntfs.device, 512, image.recordSize, 0, 0, value)) << "the boot sector";
  EXPECT_FALSE(ReadResidentData(ntfs.device, 512, image.recordSize, ntfs.device.GetSectorCount(), 0, value));
}

}  // namespace
}  // namespace korvex
