// Encrypted files: the raw-import stream that the writer leaves as "<name>.EFS", byte for byte, built
// from a FILE record whose $EFS stream it reads, and the raw bytes when the stream cannot be read.
#include "output/efs_layout.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/database.h"
#include "model/fat_file_attribute.h"
#include "model/file_node.h"
#include "model/stored_run_list.h"
#include "ntfs/record_builder.h"
#include "output/recovered_file_writer.h"
#include "storage/memory_device.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct Withdrawals : IFileRecoverCallback {
  int Begin(std::uint32_t, std::uint64_t) override { return 0; }
  int FileDone(std::uint32_t) override { return 0; }
  int BytesWritten(std::uint64_t) override { return 0; }
  int BytesWithdrawn(std::uint32_t n) override {
    withdrawn += n;
    return 0;
  }
  int FileStarted(const char*) override { return 0; }
  int Poll() override { return 0; }
  std::uint64_t withdrawn = 0;
};

void Le(Bytes& out, std::uint64_t v, int width) {
  for (int i = 0; i < width; ++i)
    out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Utf16(Bytes& out, const char* text) {
  for (; *text; ++text)
    Le(out, static_cast<std::uint8_t>(*text), 2);
}

// The raw-import stream written out field by field from the layout's description.
Bytes ExpectedImport(const Bytes& efs, const Bytes& data, std::uint64_t size) {
  Bytes out;
  Le(out, 256, 4), Utf16(out, "ROBS"), Le(out, 0, 4), Le(out, 0, 4), Le(out, 30, 4), Utf16(out, "NTFS");
  Le(out, 0, 4), Le(out, 0, 4), Le(out, 0, 4), Le(out, 2, 4), Le(out, 0x1910, 2), Le(out, efs.size() + 16, 4);
  Utf16(out, "GURE"), Le(out, 0, 4);
  EXPECT_EQ(out.size(), 66u);
  out.insert(out.end(), efs.begin(), efs.end());
  Le(out, 42, 4), Utf16(out, "NTFS"), Le(out, 0, 8), Le(out, 0, 4), Le(out, 14, 4), Utf16(out, "::$DATA");
  const std::uint64_t padded = (size + 511) / 512 * 512;
  std::uint64_t left = size;
  for (std::uint64_t at = 0, block = 0; at < padded; at += 65536, ++block) {
    const std::uint64_t piece = std::min<std::uint64_t>(65536, padded - at);
    const std::uint64_t valid = std::min(piece, left);
    left -= valid;
    const std::size_t start = out.size();
    Le(out, piece + 512, 4), Utf16(out, "GURE"), Le(out, 0, 4), Le(out, 0, 2), Le(out, block, 2),
        Le(out, 0, 4);
    Le(out, 0x1F0, 4), Le(out, valid, 4), Le(out, valid, 4), Le(out, 0x10100000, 4), Le(out, 0x0001010B, 4);
    Le(out, piece, 4);
    out.resize(start + 512, 0);
    out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
               data.begin() + static_cast<std::ptrdiff_t>(at + piece));
  }
  return out;
}

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

TEST(EncryptedFile, RawImportStreamIsKeptByteForByte) {
  CDataBase::Instance().bytesPerSector = 512;
  constexpr std::uint64_t kDataSector = 8;
  Bytes efs(180);
  for (std::size_t i = 0; i < efs.size(); ++i)
    efs[i] = static_cast<std::uint8_t>(0xE0 ^ i);
  test::RecordBuilder record;
  record.Resident(attribute::kLoggedUtilityStream, efs, u"$EFS");
  const Bytes stored = record.Protected();

  struct Case {
    std::uint64_t size;
    bool streamReadable;
  } cases[] = {{1000, true}, {70000, true}, {65536, true}, {1000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const std::uint64_t sectors = (c.size + 511) / 512;
    Bytes image((kDataSector + sectors + 4) * 512, 0);
    if (c.streamReadable)
      std::copy(stored.begin(), stored.end(), image.begin());
    for (std::uint64_t i = kDataSector * 512; i < image.size(); ++i)
      image[i] = static_cast<std::uint8_t>(i * 13 + 5);
    CMemoryDevice device(image, 512);
    const Bytes data(image.begin() + kDataSector * 512,
                     image.begin() + static_cast<std::ptrdiff_t>((kDataSector + sectors) * 512));

    auto* root = new CFileSystemNode;
    root->properties = CFATFileAttribute::MakeSyntheticFolder("NTFS", 0).release();
    root->SetVolumeGeometry(0, 0, 1);
    auto properties = std::make_unique<CFATFileAttribute>();
    properties->SetName("secret.doc");
    properties->SetSize(c.size);
    properties->SetAttributes(file_attr::kArchive | file_attr::kEncrypted);
    CNoneResidentNTFSDataRunList runs;
    runs.Push({static_cast<std::int64_t>(kDataSector), sectors});
    properties->SetStoredRunList(std::make_unique<StoredRunList>(*ToStored(runs)));
    auto* node = new CFileNode;
    node->properties = properties.release();
    AddChild(root, node);

    const fs::path dir = fs::path(::testing::TempDir()) / "korvex-efs";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path path = dir / "secret.DOC";
    std::ofstream(path).close();
    Withdrawals callback;
    RecoveredFileWriter writer(&callback, &device);
    ASSERT_EQ(writer.WriteFileData(node, path.string()), kWritten);
    if (c.streamReadable) {
      EXPECT_EQ(writer.LastPath(), path.string() + ".EFS");
      EXPECT_FALSE(fs::exists(path)) << "the intermediate file is removed";
      EXPECT_TRUE(ReadAll(path.string() + ".EFS") == ExpectedImport(efs, data, c.size));
      EXPECT_EQ(callback.withdrawn, (c.size + 511) / 512 * 512 - c.size);
    } else {
      // No stream: the raw encrypted bytes, as long as the file.
      EXPECT_EQ(writer.LastPath(), path.string());
      EXPECT_EQ(ReadAll(path), Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(c.size)));
      EXPECT_EQ(callback.withdrawn, 0u);
    }
    fs::remove_all(dir);
    ReleaseTree(root);
  }
}

}  // namespace
}  // namespace korvex
