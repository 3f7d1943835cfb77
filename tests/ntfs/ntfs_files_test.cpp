// Every file ntfs-3g wrote to the fixture images, found again from its FILE record alone: name, parent,
// flags and size as written, and its content read back through its runs (resident, fragmented, sparse,
// spread over extension records, deleted) equal to what was written.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>

#include "model/data_run_reader.h"
#include "model/stored_run_list.h"
#include "ntfs_images.h"

namespace korvex {
namespace {

using test::kNtfsImages;
using test::OpenNtfs;
using test::WrittenFile;

// What the unnamed data attribute instances of a file say: its runs (or resident value) and size.
struct FileData {
  std::unique_ptr<IDataRunList> runs;
  std::uint64_t size = 0;
  bool compressed = false;
  bool sparseFlag = false;
  std::size_t instances = 0;
  std::size_t instancesInExtensions = 0;
  std::uint64_t lastVcn = 0;
};

FileData DataOf(OpenNtfs& ntfs, ByteSpan record, std::uint64_t lba,
                const std::vector<ExtraEntry>& extensions) {
  FileData out;
  std::vector<MappingPairsRun> runs;
  for (std::uint32_t i = 0; i < 64; ++i) {
    const std::optional<ListedAttribute> listed =
        FindAttributeInList(record, lba, attribute::kData, i, extensions, ntfs.device,
                            ntfs.geometry.bytesPerSector, ntfs.geometry.recordSize);
    if (!listed)
      break;
    const NtfsAttribute a = listed->Attribute();
    if (a.NameLength() != 0)
      continue;
    ++out.instances;
    out.instancesInExtensions += !listed->fromBase;
    if (!a.IsNonResident()) {
      auto resident = std::make_unique<CResidentNTFSDataRunList>();
      resident->Push({static_cast<std::int64_t>(listed->recordLba), 1});
      resident->SetResidentOffset(static_cast<std::uint32_t>(a.ResidentValueOffset()));
      out.runs = std::move(resident);
      out.size = a.ResidentValue()->size();
      return out;
    }
    const std::vector<MappingPairsRun> extent = DecodeRuns(a.MappingPairs(), a.FirstVcn());
    runs.insert(runs.end(), extent.begin(), extent.end());
    out.compressed |= (a.Flags() & attribute::kCompressed) != 0;
    out.sparseFlag |= (a.Flags() & attribute::kSparse) != 0;
    out.lastVcn = std::max(out.lastVcn, a.LastVcn());
    if (a.FirstVcn() == 0)
      out.size = a.RealSize();
  }
  std::stable_sort(runs.begin(), runs.end(), [](const auto& x, const auto& y) { return x.vcn < y.vcn; });
  auto list = std::make_unique<CNoneResidentNTFSDataRunList>();
  for (const MappingPairsRun& r : runs)
    list->Push(r.run);
  out.runs = std::move(list);
  return out;
}

std::optional<std::uint32_t> CrcThroughRuns(OpenNtfs& ntfs, IDataRunList& runs, std::uint64_t size) {
  uLong crc = crc32(0, nullptr, 0);
  const std::uint32_t bps = ntfs.geometry.bytesPerSector;
  const std::size_t recordSize = ntfs.geometry.recordSize;
  const bool ok = ReadThroughRuns(
      ntfs.device, runs, {0, ntfs.geometry.sectorsPerCluster}, size, bps,
      [&](ByteSpan piece) {
        crc = crc32(crc, piece.data(), static_cast<uInt>(piece.size()));
        return true;
      },
      [&](std::uint64_t lba, std::uint32_t offset, std::vector<std::uint8_t>& value) {
        return ReadResidentData(ntfs.device, bps, recordSize, lba, offset, value);
      });
  if (!ok)
    return std::nullopt;
  return static_cast<std::uint32_t>(crc);
}

TEST(NtfsFiles, EveryWrittenFileIsFoundFromItsRecord) {
  for (const auto& image : kNtfsImages) {
    if (!image.filled)
      continue;
    SCOPED_TRACE(image.file);
    OpenNtfs ntfs(image);
    ASSERT_FALSE(ntfs.mftRuns.empty());
    const std::vector<WrittenFile> files = test::WrittenFiles(image);
    ASSERT_GE(files.size(), 50u);
    for (const WrittenFile& f : files) {
      SCOPED_TRACE(f.name);
      const std::optional<std::uint64_t> lba = ntfs.RecordLba(f.record);
      ASSERT_TRUE(lba);
      std::vector<std::uint8_t> record = ntfs.ReadAt(*lba);
      const std::vector<std::uint8_t> asRead = record;
      ASSERT_TRUE(IsFileRecord(record));
      EXPECT_EQ(record, asRead) << "the test leaves the record as read";
      ASSERT_TRUE(ApplyFixup(record));

      const std::uint16_t flags = Le16(record, file_record::kFlags);
      EXPECT_EQ((flags & file_record::kInUse) != 0, f.kind != "deleted");
      EXPECT_EQ((flags & file_record::kDirectory) != 0, f.kind == "dir");
      EXPECT_EQ(Le32(record, file_record::kRecordNumber), f.record);

      const std::vector<ExtraEntry> extensions = ntfs.ExtensionsOf(record, f.record);
      const std::optional<ChosenFileName> name =
          ChooseFileName(record, *lba, extensions, ntfs.device, image.sectorSize, image.recordSize);
      ASSERT_TRUE(name);
      EXPECT_EQ(name->name, f.name);
      EXPECT_EQ(name->ParentRecord(), f.parent);
      EXPECT_EQ((name->flags & file_name::kFlagDirectory) != 0, f.kind == "dir");
      if (f.kind == "dir") {
        EXPECT_TRUE(FindAttribute(record, attribute::kIndexRoot, 0));
        continue;
      }

      FileData data = DataOf(ntfs, record, *lba, extensions);
      ASSERT_TRUE(data.runs);
      EXPECT_EQ(data.size, f.size);
      if (data.compressed) {
        // Decompression belongs to the writer; here the runs must decode and cover every virtual cluster.
        EXPECT_EQ(f.name, "compressed.txt");
        std::uint64_t clusters = 0;
        bool sparse = false;
        for (const DataRun& r : data.runs->Runs()) {
          clusters += r.length;
          sparse |= r.IsSparse();
        }
        EXPECT_EQ(clusters, data.lastVcn + 1);
        EXPECT_TRUE(sparse) << "compression units that shrank end in sparse runs";
        continue;
      }
      // Through the stored form, as a found file keeps and recreates its runs.
      const std::optional<StoredRunList> stored = ToStored(*data.runs);
      std::unique_ptr<IDataRunList> runs = stored ? CreateDataRunList(*stored) : nullptr;
      ASSERT_TRUE(runs);
      EXPECT_EQ(runs->GetKind(), data.runs->GetKind());
      EXPECT_EQ(CrcThroughRuns(ntfs, *runs, f.size), f.crc);

      const bool anySparse = std::any_of(runs->Runs().begin(), runs->Runs().end(),
                                         [](const DataRun& r) { return r.IsSparse(); });
      if (f.name == "small.txt" || f.name == "deleted.txt") {
        EXPECT_TRUE(runs->IsResident());
      }
      const bool holes = f.name == "sparse.bin" || f.name == "streams.bin";
      EXPECT_EQ(anySparse, holes);
      EXPECT_EQ(data.sparseFlag, holes);
      // ntfs-3g allocates a growing file contiguously on 1 KiB clusters, so only the 4 KiB-cluster images
      // hold files fragmented by interleaved writes.
      const bool fragments = image.sectorSize * image.sectorsPerCluster >= 4096;
      if (f.name.starts_with("frag_") && fragments) {
        EXPECT_GT(runs->Count(), 2u) << "written interleaved, so fragmented";
      }
      if (f.name == "streams.bin") {
        EXPECT_FALSE(extensions.empty()) << "its attributes overflow into extension records";
        EXPECT_GT(runs->Count(), 100u);
      }
    }
  }
}

TEST(NtfsFiles, ExtentsInExtensionRecordsAreFoundThroughTheList) {
  // streams.bin: so many runs that its data is split into extents, some held by extension records.
  for (const auto& image : kNtfsImages) {
    if (!image.filled)
      continue;
    SCOPED_TRACE(image.file);
    OpenNtfs ntfs(image);
    const auto files = test::WrittenFiles(image);
    const auto f =
        std::find_if(files.begin(), files.end(), [](const auto& w) { return w.name == "streams.bin"; });
    ASSERT_NE(f, files.end());
    const std::uint64_t lba = *ntfs.RecordLba(f->record);
    std::vector<std::uint8_t> record = ntfs.ReadAt(lba);
    ASSERT_TRUE(ApplyFixup(record));
    ASSERT_TRUE(FindAttribute(record, attribute::kAttributeList, 0));
    const std::vector<ExtraEntry> extensions = ntfs.ExtensionsOf(record, f->record);
    ASSERT_FALSE(extensions.empty());
    const FileData data = DataOf(ntfs, record, lba, extensions);
    EXPECT_GE(data.instances, 2u) << "its data is split into extents";
    EXPECT_GE(data.instancesInExtensions, 1u);
    EXPECT_EQ(data.runs->Count(), 2 * (image.recordSize == 4096 ? 1000u : 400u)) << "a run and a hole each";
    // Named streams moved out at least: the n-th data attribute overall lies in an extension record.
    std::size_t inExtensions = 0;
    for (std::uint32_t i = 0; i < 128; ++i) {
      const auto listed = FindAttributeInList(record, lba, attribute::kData, i, extensions, ntfs.device,
                                              image.sectorSize, image.recordSize);
      if (!listed)
        break;
      if (!listed->fromBase) {
        ++inExtensions;
        EXPECT_NE(listed->recordLba, lba);
        EXPECT_EQ(Le64(listed->record, file_record::kBaseRecord) & kRecordNumberMask, f->record)
            << "an extension record names its base";
      }
    }
    EXPECT_GT(inExtensions, 0u);

    // An extension entry that does not lead to a FILE record (here the boot sector) is passed over.
    std::vector<ExtraEntry> withBogus = extensions;
    withBogus.insert(withBogus.begin(), ExtraEntry{0, 999});
    const FileData again = DataOf(ntfs, record, lba, withBogus);
    EXPECT_EQ(again.instances, data.instances);
    EXPECT_EQ(again.runs->Runs(), data.runs->Runs());
  }
}

}  // namespace
}  // namespace korvex
