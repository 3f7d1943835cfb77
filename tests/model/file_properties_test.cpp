// File properties: names and extensions, DOS times, entries of the real FAT images, synthetic folders,
// and the FAT and NTFS records with the quirks that recovery states rely on.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

#include "common/file_time.h"
#include "fat/fat_images.h"
#include "fat/fat_volume.h"
#include "fixtures.h"
#include "model/byte_stream.h"
#include "model/data_run_list.h"
#include "model/extension_classification.h"
#include "model/fat_file_attribute.h"
#include "model/ntfs_file_properties.h"
#include "model/raw_file_properties.h"
#include "model/root_node_info.h"
#include "model/stored_run_list.h"

namespace korvex {
namespace {

using Bytes = std::vector<std::uint8_t>;

// FILETIME of a UTC date and time (values from Python's datetime, counted from 1601-01-01).
constexpr FileTime k2024_02_29_134558 = 133536879580000000;
constexpr FileTime k1980_01_01 = 119600064000000000;
constexpr FileTime k2107_12_31_235958 = 159992927980000000;
constexpr FileTime kTicksPerSecond = 10'000'000;

constexpr std::uint16_t DosDate(unsigned year, unsigned month, unsigned day) {
  return static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}
constexpr std::uint16_t DosTime(unsigned hour, unsigned minute, unsigned second) {
  return static_cast<std::uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

TEST(DosDateTime, ConvertsWithoutShiftAndRejectsImpossibleValues) {
  struct Case {
    std::uint16_t date, time;
    FileTime expected;
  };
  const Case cases[] = {
      {DosDate(2024, 2, 29), DosTime(13, 45, 58), k2024_02_29_134558},
      {DosDate(1980, 1, 1), 0, k1980_01_01},
      {DosDate(2107, 12, 31), DosTime(23, 59, 58), k2107_12_31_235958},
      {DosDate(2023, 2, 29), 0, 0},                 // not a leap year
      {DosDate(2024, 4, 31), 0, 0},                 // April has 30 days
      {DosDate(2024, 1, 0), 0, 0},                  // day 0: an unused date field
      {DosDate(2024, 0, 1), 0, 0},                  // month 0
      {DosDate(2024, 13, 1), 0, 0},                 // month 13
      {DosDate(2024, 1, 1), DosTime(24, 0, 0), 0},  // hour 24
      {DosDate(2024, 1, 1), DosTime(0, 60, 0), 0},  // minute 60
      {DosDate(2024, 1, 1), 30, 0},                 // 60 seconds
      {0, 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DosDateTimeToFileTime(c.date, c.time), c.expected) << std::hex << c.date << " " << c.time;
}

TEST(FileName, ExtensionIsUpperCasedInPlaceAndGivesTheTypeCode) {
  struct Case {
    const char* name;
    const char* stored;
    const char* extension;
    std::uint16_t type;
  };
  const Case cases[] = {
      {"a.b.txt", "a.b.TXT", ".TXT", kTypeOffice}, {"Photo.jpg", "Photo.JPG", ".JPG", kTypePicture},
      {"README", "README", "", kTypeOther},        {"archive.tar.gz", "archive.tar.GZ", ".GZ", kTypeArchive},
      {"trailing.", "trailing.", ".", kTypeOther}, {"été.mov", "été.MOV", ".MOV", kTypeMultimedia},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CFATFileAttribute fat;
    fat.SetName(c.name);
    EXPECT_STREQ(fat.GetName(), c.stored);
    EXPECT_EQ(fat.GetNameLength(), std::strlen(c.name));
    EXPECT_STREQ(fat.GetExtension(), c.extension);
    EXPECT_EQ(fat.GetTypeCode(), c.type);

    CNTFSFileProperties ntfs;
    ntfs.SetName(c.name);
    EXPECT_EQ(ntfs.GetNameLength(), 0) << "NTFS ignores SetName";
    ntfs.AssignName(c.name);
    EXPECT_STREQ(ntfs.GetName(), c.stored);
    EXPECT_STREQ(ntfs.GetExtension(), c.extension);
    EXPECT_EQ(ntfs.GetTypeCode(), c.type);
  }
  CFATFileAttribute renamed;
  renamed.SetName("first.jpg");
  renamed.SetName("second");
  EXPECT_STREQ(renamed.GetExtension(), "") << "a new name drops the old extension";
  EXPECT_EQ(renamed.GetTypeCode(), kTypeOther);
}

// The 32-byte entry of `name` (8.3 form "NAME    EXT") among the entries of `dir`; deleted entries
// match with their first byte read as 0xE5.
std::optional<EntryView> FindEntry(const Bytes& image, std::uint64_t offset, std::size_t entries,
                                   std::string_view shortName) {
  for (std::size_t i = 0; i < entries; ++i) {
    const std::uint8_t* e = image.data() + offset + i * 32;
    if (e[0] == 0)
      break;
    if (e[11] == fat_entry::kAttrLongName)
      continue;
    if (std::memcmp(e + 1, shortName.data() + 1, 10) == 0 &&
        (e[0] == static_cast<std::uint8_t>(shortName[0]) || e[0] == fat_entry::kDeleted))
      return EntryView(e, 32);
  }
  return std::nullopt;
}

TEST(FatFileAttribute, FromTheEntriesOfTheRealImages) {
  // The fixture script copied the files at a moment mdir shows as 2026-12-10 12:12 (UTC, no shift).
  const FileTime day = DosDateTimeToFileTime(DosDate(2026, 12, 10), 0);
  const FileTime minute = DosDateTimeToFileTime(DosDate(2026, 12, 10), DosTime(12, 12, 0));
  for (const char* file : {"fat/fat12.img", "fat/fat16.img"}) {
    SCOPED_TRACE(file);
    const Bytes image = test::ReadFixture(file);
    const FatGeometry g = FatGeometry::FromBootSector(SectorView(image.data(), 512), 0,
                                                      FatTypeOfBootSector(SectorView(image.data(), 512)));
    const std::uint64_t root = g.RootDirLba() * 512;

    const auto readme = FindEntry(image, root, g.rootEntries, "README  TXT");
    ASSERT_TRUE(readme);
    auto attribute = CFATFileAttribute::FromDirectoryEntry(*readme);
    attribute->SetName("README.TXT");
    EXPECT_EQ(attribute->GetSize(), 300u);
    EXPECT_EQ(attribute->GetAttributes(), file_attr::kArchive);
    EXPECT_EQ(attribute->GetState(), file_state::kExisting);
    EXPECT_EQ(attribute->GetCheckState(), kUnchecked);
    EXPECT_EQ(attribute->GetMark(), 0);
    FileTime t = 1;
    EXPECT_EQ(attribute->GetModificationTime(&t), &t);
    EXPECT_GE(t, minute);
    EXPECT_LT(t, minute + 60 * kTicksPerSecond);
    attribute->GetCreationTime(&t);
    EXPECT_GE(t, minute);
    EXPECT_LT(t, minute + 60 * kTicksPerSecond);
    attribute->GetAccessTime(&t);
    EXPECT_EQ(t, day) << "the access date has no time of day";

    // Documents/notes.txt was deleted: its short entry starts with 0xE5.
    const auto documents = FindEntry(image, root, g.rootEntries, "DOCUME~1   ");
    ASSERT_TRUE(documents);
    EXPECT_EQ(CFATFileAttribute::FromDirectoryEntry(*documents)->GetAttributes(), file_attr::kDirectory);
    const std::uint64_t cluster = Le16(*documents, fat_entry::kClusterLow);
    const auto notes =
        FindEntry(image, ClusterToLba(g, cluster) * 512, g.sectorsPerCluster * 16, "NOTES   TXT");
    ASSERT_TRUE(notes);
    ASSERT_EQ((*notes)[0], fat_entry::kDeleted);
    auto deleted = CFATFileAttribute::FromDirectoryEntry(*notes);
    EXPECT_EQ(deleted->GetState(), file_state::kDeleted);
    EXPECT_EQ(deleted->GetSize(), 300u);
  }
}

TEST(FatFileAttribute, SyntheticFolders) {
  auto lost = CFATFileAttribute::MakeSyntheticFolder("Unnormal Files", file_state::kFatSynthetic);
  EXPECT_STREQ(lost->GetName(), "Unnormal Files");
  EXPECT_EQ(lost->GetAttributes(), file_attr::kDirectory);
  EXPECT_EQ(lost->GetState(), 9);
  EXPECT_EQ(lost->GetSize(), 0u);
  FileTime t = 1;
  EXPECT_EQ(*lost->GetCreationTime(&t), 0u);
  EXPECT_EQ(*lost->GetAccessTime(&t), 0u);
  EXPECT_EQ(CFATFileAttribute::MakeSyntheticFolder("FAT32", 0)->GetState(), 0) << "the volume root";
}

// Little-endian writer for the expected record layouts.
struct Expect {
  Bytes bytes;
  Expect& u8(std::uint8_t v) {
    bytes.push_back(v);
    return *this;
  }
  Expect& le(std::uint64_t v, int width) {
    for (int i = 0; i < width; ++i)
      bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  Expect& text(std::string_view s) {
    bytes.insert(bytes.end(), s.begin(), s.end());
    return *this;
  }
  Expect& raw(const Bytes& b) {
    bytes.insert(bytes.end(), b.begin(), b.end());
    return *this;
  }
};

std::unique_ptr<StoredRunList> StoredOf(std::initializer_list<DataRun> runs) {
  CFATDataRunList list;
  for (const DataRun& r : runs)
    list.Push(r);
  return std::make_unique<StoredRunList>(*ToStored(list));
}

Bytes Saved(const IFileProperties& properties) {
  CMemoryByteStream stream;
  EXPECT_EQ(properties.Save(stream), 1u);
  return stream.Bytes();
}

TEST(FatRecord, LayoutAndRoundTrip) {
  CFATFileAttribute file;
  file.SetName("a.b.txt");
  file.SetSize(0x1122334455);
  file.SetAttributes(0x21);
  file.SetTimes(k2024_02_29_134558, k1980_01_01, k2107_12_31_235958);
  file.SetState(file_state::kDeleted);
  file.SetClusters(0x1234, CFATFileAttribute::kNoParentCluster);
  file.SetVolumeGeometry(0x10203, 8);
  file.SetStoredRunList(StoredOf({{5, 3}, {100, 2}}));
  // Per-view values are not saved.
  file.SetCheckState(kChecked);
  file.SetMark(7);
  file.SetSearchHit(1);
  file.SetFileCount(4);
  file.SetReserved1(9);

  const StoredRunList& runs = *file.GetStoredRunList();
  Expect expected;
  expected.le(4, 2).text(".TXT").le(7, 2).text("a.b.TXT").le(kTypeOffice, 2).le(0x1122334455, 8).le(0x21, 2);
  expected.le(k2024_02_29_134558, 8).le(k1980_01_01, 8).le(k2107_12_31_235958, 8).u8(1);
  expected.le(0x1234, 4).le(0xFFFFFFFF, 4).u8(8).le(0x10203, 8);
  expected.le(1, 4).le(runs.bytes.size(), 4).raw(runs.bytes).le(0, 2);
  EXPECT_EQ(Saved(file), expected.bytes);

  CMemoryByteStream stream(expected.bytes);
  CFATFileAttribute loaded;
  loaded.SetCheckState(kChecked);
  loaded.SetMark(3);
  loaded.SetOtherFilesIndex(5);
  EXPECT_EQ(loaded.Load(stream), 1u);
  EXPECT_EQ(stream.Remaining(), 0u);
  EXPECT_EQ(Saved(loaded), expected.bytes) << "a loaded record saves the same bytes";
  EXPECT_STREQ(loaded.GetName(), "a.b.TXT");
  EXPECT_STREQ(loaded.GetExtension(), ".TXT");
  EXPECT_EQ(loaded.GetCheckState(), kUnchecked);
  EXPECT_EQ(loaded.GetMark(), 0);
  EXPECT_EQ(loaded.GetOtherFilesIndex(), 0u);
  EXPECT_EQ(loaded.GetVolumeBase(), 0x10203u);
  EXPECT_EQ(loaded.GetSectorsPerCluster(), 8);
  auto list = loaded.CreateDataRunList();
  ASSERT_TRUE(list);
  EXPECT_EQ(list->GetKind(), kNonResidentNtfsRunList) << "FAT runs come back as a non-resident list";
  EXPECT_EQ(std::vector<DataRun>(list->Runs().begin(), list->Runs().end()),
            (std::vector<DataRun>{{5, 3}, {100, 2}}));
}

TEST(FatRecord, EmptyExtensionSavesNoBytesAndLoadsAsNull) {
  CFATFileAttribute file;
  file.SetName("README");
  const Bytes bytes = Saved(file);
  ASSERT_GE(bytes.size(), 10u);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 10), (Expect{}.le(0, 2).le(6, 2).text("README").bytes));
  EXPECT_EQ(Bytes(bytes.end() - 4, bytes.end()), (Bytes{0, 0, 0, 0})) << "no run list";

  CMemoryByteStream stream(bytes);
  CFATFileAttribute loaded;
  loaded.Load(stream);
  EXPECT_EQ(loaded.GetExtension(), nullptr);
  EXPECT_EQ(loaded.GetTypeCode(), kTypeOther);
  EXPECT_EQ(loaded.CreateDataRunList(), nullptr);
  EXPECT_EQ(Saved(loaded), bytes) << "a null extension saves as an empty one";

  // NTFS writes the name first; its empty extension loads as "".
  CNTFSFileProperties ntfs;
  ntfs.AssignName("README");
  const Bytes ntfsBytes = Saved(ntfs);
  EXPECT_EQ(Bytes(ntfsBytes.begin(), ntfsBytes.begin() + 10),
            (Expect{}.le(6, 2).text("README").le(0, 2).bytes));
  CMemoryByteStream ntfsStream(ntfsBytes);
  CNTFSFileProperties ntfsLoaded;
  ntfsLoaded.Load(ntfsStream);
  ASSERT_NE(ntfsLoaded.GetExtension(), nullptr);
  EXPECT_STREQ(ntfsLoaded.GetExtension(), "");
}

TEST(NtfsRecord, LayoutSectorsPerClusterQuirkAndExtraEntries) {
  CNTFSFileProperties file;
  file.AssignName("movie.mkv");
  file.SetSize(5000);
  file.SetAttributes(file_attr::kArchive | file_attr::kSparse);
  file.SetCreationTime(k2024_02_29_134558);
  file.SetState(file_state::kDeleted);
  file.SetRecordSector(0xABCDEF);
  file.SetVolumeGeometry(0x00C0FFEE2048, 8);
  file.SetStoredRunList(StoredOf({{1000, 4}, {DataRun::kSparseStart, 16}}));
  file.AddExtraEntry(1, 2);
  file.AddExtraEntry(0xFFFFFFFFFFFFFFFF, 0);

  const StoredRunList& runs = *file.GetStoredRunList();
  Expect expected;
  expected.le(9, 2).text("movie.MKV").le(4, 2).text(".MKV").le(kTypeMultimedia, 2).le(5000, 8);
  expected.le(0x220, 2).le(k2024_02_29_134558, 8).u8(1).le(0xABCDEF, 8);
  expected.u8(8).u8(0x48).u8(0x20).u8(0xEE).le(0x00C0FFEE2048, 8);  // spc, then the LBA's low 3 bytes
  expected.le(1, 4).le(runs.bytes.size(), 4).raw(runs.bytes).le(0, 2);
  expected.le(2, 8).le(1, 8).le(2, 8).le(0xFFFFFFFFFFFFFFFF, 8).le(0, 8);
  EXPECT_EQ(Saved(file), expected.bytes);

  CMemoryByteStream stream(expected.bytes);
  CNTFSFileProperties loaded;
  loaded.SetCheckState(kChecked);
  loaded.Load(stream);
  EXPECT_EQ(stream.Remaining(), 0u);
  EXPECT_EQ(loaded.GetSectorsPerCluster(), 8) << "only the first byte of the field is the value";
  EXPECT_EQ(loaded.GetVolumeBase(), 0x00C0FFEE2048u);
  EXPECT_EQ(loaded.GetRecordSector(), 0xABCDEFu);
  EXPECT_EQ(loaded.GetCheckState(), kUnchecked);
  EXPECT_EQ(loaded.ExtraEntries(), file.ExtraEntries());
  FileTime c = 0, m = 0, a = 0;
  loaded.GetCreationTime(&c);
  loaded.GetModificationTime(&m);
  loaded.GetAccessTime(&a);
  EXPECT_EQ(c, k2024_02_29_134558);
  EXPECT_EQ(m, c) << "one stored time answers all three";
  EXPECT_EQ(a, c);
  EXPECT_EQ(Saved(loaded), expected.bytes);
}

TEST(PropertiesRecord, KindSelectsTheImplementation) {
  CFATFileAttribute fat;
  fat.SetName("x.jpg");
  CNTFSFileProperties ntfs;
  ntfs.AssignName("y.doc");
  auto raw = CRAWFileProperties::MakeFile("File001.JPG", 2048, 1000, "JPG");
  CMemoryByteStream stream;
  SavePropertiesRecord(stream, fat);
  SavePropertiesRecord(stream, ntfs);
  SavePropertiesRecord(stream, *raw);
  for (std::uint32_t kind : {2u, 4u, 99u})
    WriteU32(stream, kind);
  WriteU32(stream, kFatProperties);

  auto first = LoadPropertiesRecord(stream);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->GetKind(), kFatProperties);
  EXPECT_STREQ(first->GetName(), "x.JPG");
  auto second = LoadPropertiesRecord(stream);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->GetKind(), kNtfsProperties);
  EXPECT_STREQ(second->GetName(), "y.DOC");
  auto third = LoadPropertiesRecord(stream);
  ASSERT_TRUE(third);
  EXPECT_EQ(third->GetKind(), kRawProperties);
  EXPECT_STREQ(third->GetName(), "File001.JPG");
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(LoadPropertiesRecord(stream), nullptr) << "kinds other than 0, 1 and 3 give no properties";
  EXPECT_THROW(LoadPropertiesRecord(stream), IRSException) << "a record cut short is the stream's error";
}

TEST(PropertiesRecord, LengthsFromTheFileCannotOutrunTheStream) {
  // A record promising 2^64 extra entries and a huge run list ends in the stream's error.
  CNTFSFileProperties file;
  file.AssignName("a.txt");
  Bytes bytes = Saved(file);
  bytes.resize(bytes.size() - 8);
  Expect tail;
  tail.le(0xFFFFFFFFFFFFFFFF, 8).le(1, 8);
  bytes.insert(bytes.end(), tail.bytes.begin(), tail.bytes.end());
  CMemoryByteStream stream(bytes);
  CNTFSFileProperties loaded;
  EXPECT_THROW(loaded.Load(stream), IRSException);
}

TEST(ImplementationAnswers, MarksReservedValuesAndKinds) {
  CFATFileAttribute fat;
  CNTFSFileProperties ntfs;
  root_node_info root(std::string(300, 'r'));
  EXPECT_EQ(fat.SetMark(5), 1u);
  EXPECT_EQ(fat.SetMark(6), 1u);
  EXPECT_EQ(fat.GetMark(), 6);
  EXPECT_EQ(ntfs.SetMark(5), 0u);
  EXPECT_EQ(ntfs.SetMark(6), 5u) << "NTFS answers the previous mark";
  EXPECT_EQ(root.SetMark(5), 0u);
  EXPECT_EQ(root.SetMark(1), 5u);

  fat.SetReserved1(11);
  ntfs.SetReserved1(11);
  root.SetReserved2(11);
  EXPECT_EQ(fat.GetReserved1(), 11u);
  EXPECT_EQ(ntfs.GetReserved1(), 0u);
  EXPECT_EQ(root.GetReserved2(), 0u);

  EXPECT_EQ(fat.GetKind(), 1u);
  EXPECT_EQ(ntfs.GetKind(), 0u);
  EXPECT_EQ(root.GetKind(), 4u);
  EXPECT_EQ(fat.GetValidFields(), 0xFFu);
  EXPECT_EQ(root.GetNameLength(), 259u);
  EXPECT_EQ(std::strlen(root.GetName()), 259u);
  EXPECT_STREQ(root.GetExtension(), "");
  EXPECT_EQ(root.GetAttributes(), file_attr::kDirectory);
  EXPECT_EQ(root.GetTypeCode(), 0);
  CMemoryByteStream stream;
  EXPECT_EQ(root.Save(stream), 1u);
  EXPECT_TRUE(stream.Bytes().empty()) << "the root is never saved";
}

}  // namespace
}  // namespace korvex
