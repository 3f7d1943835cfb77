// NTFS-compressed files written through LZNT1, byte for byte against what ntfs-3g was given, and the
// geometries on which compressed files fail.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/database.h"
#include "model/fat_file_attribute.h"
#include "model/file_node.h"
#include "model/stored_run_list.h"
#include "ntfs/ntfs_images.h"
#include "output/lznt1.h"
#include "output/recovered_file_writer.h"

namespace korvex {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The content the fixture script wrote: payload(size, seed) of make_ntfs_images.sh.
Bytes Payload(std::size_t size, const std::string& seed) {
  const std::string unit = seed + " korvex ntfs fixture " + seed + " ";
  std::string out;
  for (std::size_t n = 0; out.size() < size; ++n)
    out += unit + std::to_string(n) + "\n";
  out.resize(size);
  return Bytes(out.begin(), out.end());
}

// The runs of the unnamed data attribute of record n.
std::unique_ptr<IDataRunList> DataRuns(test::OpenNtfs& ntfs, std::uint64_t n, std::uint64_t& size) {
  std::vector<std::uint8_t> record = ntfs.Record(n);
  if (!ApplyFixup(record))
    return nullptr;
  const std::optional<NtfsAttribute> data = FindAttribute(record, attribute::kData, 0);
  if (!data || !data->IsNonResident() || !(data->Flags() & attribute::kCompressed))
    return nullptr;
  size = data->RealSize();
  auto runs = std::make_unique<CNoneResidentNTFSDataRunList>();
  for (const MappingPairsRun& r : DecodeRuns(data->MappingPairs(), data->FirstVcn()))
    runs->Push(r.run);
  return runs;
}

TEST(CompressedFile, WrittenByteForByteOnEveryImageThatAllowsIt) {
  for (const auto& image : test::kNtfsImages) {
    if (!image.filled)
      continue;
    SCOPED_TRACE(image.file);
    const std::vector<test::WrittenFile> files = test::WrittenFiles(image);
    const auto f =
        std::find_if(files.begin(), files.end(), [](auto& w) { return w.name == "compressed.txt"; });
    ASSERT_NE(f, files.end());
    const Bytes expected = Payload(f->size, "c");
    ASSERT_EQ(crc32(0, expected.data(), static_cast<uInt>(expected.size())), f->crc);

    test::OpenNtfs ntfs(image);
    std::uint64_t size = 0;
    std::unique_ptr<IDataRunList> runs = DataRuns(ntfs, f->record, size);
    ASSERT_TRUE(runs);
    ASSERT_EQ(size, f->size);

    auto* root = new CFileSystemNode;
    root->properties = CFATFileAttribute::MakeSyntheticFolder("NTFS", 0).release();
    root->SetVolumeGeometry(0, 0, image.sectorsPerCluster);
    auto properties = std::make_unique<CFATFileAttribute>();
    properties->SetName("compressed.txt");
    properties->SetSize(size);
    properties->SetAttributes(file_attr::kArchive | file_attr::kCompressed);
    properties->SetStoredRunList(std::make_unique<StoredRunList>(*ToStored(*runs)));
    auto* node = new CFileNode;
    node->properties = properties.release();
    AddChild(root, node);

    CDataBase::Instance().bytesPerSector = image.sectorSize;
    const std::string path = ::testing::TempDir() + "/korvex-compressed.txt";
    std::remove(path.c_str());
    RecoveredFileWriter writer(nullptr, &ntfs.device);
    const std::uint32_t result = writer.WriteFileData(node, path);
    // Compressed files are decoded only on 512-byte sectors.
    if (image.sectorSize == 512) {
      ASSERT_EQ(result, kWritten);
      std::ifstream in(path, std::ios::binary);
      const Bytes written{std::istreambuf_iterator<char>(in), {}};
      EXPECT_EQ(written.size(), expected.size());
      EXPECT_TRUE(written == expected);
    } else {
      EXPECT_EQ(result, kFailed);
    }
    // Sixteen sectors per cluster make units larger than the decoder takes.
    root->SetVolumeGeometry(0, 0, 16);
    CDataBase::Instance().bytesPerSector = 512;
    EXPECT_EQ(RecoveredFileWriter(nullptr, &ntfs.device).WriteFileData(node, path), kFailed);
    std::remove(path.c_str());
    ReleaseTree(root);
  }
}

TEST(ResidentFile, WrittenFromItsRecordOnEverySectorSize) {
  for (const auto& image : test::kNtfsImages) {
    if (!image.filled)
      continue;
    SCOPED_TRACE(image.file);
    const std::vector<test::WrittenFile> files = test::WrittenFiles(image);
    const auto f = std::find_if(files.begin(), files.end(), [](auto& w) { return w.name == "small.txt"; });
    ASSERT_NE(f, files.end());
    test::OpenNtfs ntfs(image);
    const std::optional<std::uint64_t> lba = ntfs.RecordLba(f->record);
    ASSERT_TRUE(lba);
    std::vector<std::uint8_t> record = ntfs.ReadAt(*lba);
    ASSERT_TRUE(ApplyFixup(record));
    const std::optional<NtfsAttribute> data = FindAttribute(record, attribute::kData, 0);
    ASSERT_TRUE(data && !data->IsNonResident());
    CResidentNTFSDataRunList runs;
    runs.Push({static_cast<std::int64_t>(*lba), 1});
    runs.SetResidentOffset(static_cast<std::uint32_t>(data->ResidentValueOffset()));

    auto* root = new CFileSystemNode;
    root->properties = CFATFileAttribute::MakeSyntheticFolder("NTFS", 0).release();
    root->SetVolumeGeometry(0, 0, image.sectorsPerCluster);
    auto properties = std::make_unique<CFATFileAttribute>();
    properties->SetName("small.txt");
    properties->SetSize(f->size);
    properties->SetAttributes(file_attr::kArchive);
    properties->SetStoredRunList(std::make_unique<StoredRunList>(*ToStored(runs)));
    auto* node = new CFileNode;
    node->properties = properties.release();
    AddChild(root, node);

    CDataBase::Instance().bytesPerSector = image.sectorSize;
    const std::string path = ::testing::TempDir() + "/korvex-small.txt";
    std::remove(path.c_str());
    ASSERT_EQ(RecoveredFileWriter(nullptr, &ntfs.device).WriteFileData(node, path), kWritten);
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), Payload(f->size, "a"));
    std::remove(path.c_str());
    ReleaseTree(root);
  }
  CDataBase::Instance().bytesPerSector = 512;
}

TEST(Lznt1, ChunksOfEveryKind) {
  // A stored chunk (bit 15 clear): 4 bytes; a compressed chunk: "abc" then a back-reference of
  // displacement 3, length 6; a reference before the chunk start gives zeros.
  const Bytes unit = {0x03, 0x30, 'w',  'x',  'y',  'z',              // stored
                      0x05, 0xB0, 0x08, 'a',  'b',  'c', 0x03, 0x20,  // "abc" + (3, 6)
                      0x02, 0xB0, 0x01, 0x00, 0x00,                   // (1, 3) at 0: zeros
                      0x00, 0x00};
  const Bytes expected = {'w', 'x', 'y', 'z', 'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c', 0, 0, 0};
  EXPECT_EQ(DecompressLznt1Unit(unit), expected);
  // A unit whose first header is 0 is stored data.
  const Bytes stored = {0, 0, 1, 2, 3};
  EXPECT_EQ(DecompressLznt1Unit(stored), stored);
}

}  // namespace
}  // namespace korvex
