// The NTFS fixture images, the parameters tests/fixtures/make_ntfs_images.sh gave mkntfs, and the list
// of files it wrote beside each image (IMAGE.files), with helpers to reach MFT records by number.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "fixtures.h"
#include "model/data_run_reader.h"
#include "ntfs/ntfs_record.h"
#include "ntfs/ntfs_volume.h"
#include "storage/memory_device.h"

namespace korvex::test {

struct NtfsImage {
  const char* file;
  std::uint32_t sectorSize;
  std::uint32_t sectorsPerCluster;
  std::uint64_t totalSectors;  // mkntfs leaves the last sector for the backup boot sector
  std::uint32_t recordSize;
  const char* label;
  bool filled;
};

inline constexpr NtfsImage kNtfsImages[] = {
    {"ntfs/ntfs512_4k.img", 512, 8, 20479, 1024, "KORVEX NTFS", true},
    {"ntfs/ntfs512_1k.img", 512, 2, 16383, 1024, "Small Clusters", true},
    {"ntfs/ntfs4096_4k.img", 4096, 1, 4095, 4096, "ADVANCED", true},
    {"ntfs/ntfs512_8k_empty.img", 512, 16, 8191, 1024, "", false},
};

// One line of IMAGE.files.
struct WrittenFile {
  std::uint64_t record = 0;
  std::uint64_t parent = 0;
  std::string kind;  // "file", "dir" or "deleted"
  std::uint64_t size = 0;
  std::uint32_t crc = 0;
  std::string name;
};

inline std::vector<WrittenFile> WrittenFiles(const NtfsImage& image) {
  std::ifstream in(FixturePath(std::string(image.file) + ".files"));
  std::vector<WrittenFile> files;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    WrittenFile f;
    std::string crc;
    fields >> f.record >> f.parent >> f.kind >> f.size >> crc;
    fields.get();
    std::getline(fields, f.name);
    f.crc = static_cast<std::uint32_t>(std::stoul(crc, nullptr, 16));
    files.push_back(f);
  }
  return files;
}

// An image opened as a device, with its geometry and the runs of its MFT (from record 0).
struct OpenNtfs {
  CMemoryDevice device;
  NtfsGeometry geometry;
  std::vector<MappingPairsRun> mftRuns;

  explicit OpenNtfs(const NtfsImage& image) : device(ReadFixture(image.file), image.sectorSize) {
    geometry = NtfsGeometry::FromBootSector(ByteSpan(device.Bytes()).first(512));
    std::vector<std::uint8_t> mft = ReadAt(geometry.mftCluster * geometry.sectorsPerCluster);
    if (ApplyFixup(mft)) {
      if (auto data = FindAttribute(mft, attribute::kData, 0))
        mftRuns = DecodeRuns(data->MappingPairs(), data->FirstVcn());
    }
  }

  std::vector<std::uint8_t> ReadAt(std::uint64_t lba) {
    std::vector<std::uint8_t> record(geometry.recordSize);
    const std::uint64_t at = lba * geometry.bytesPerSector;
    if (at + record.size() <= device.Bytes().size())
      std::copy_n(device.Bytes().begin() + static_cast<std::ptrdiff_t>(at), record.size(), record.begin());
    return record;
  }

  std::optional<std::uint64_t> RecordLba(std::uint64_t n) const {
    return MftRecordLba(mftRuns, 0, geometry.sectorsPerCluster, geometry.bytesPerSector, geometry.recordSize,
                        n);
  }

  // Record n as read (not fixed up).
  std::vector<std::uint8_t> Record(std::uint64_t n) {
    const std::optional<std::uint64_t> lba = RecordLba(n);
    return lba ? ReadAt(*lba) : std::vector<std::uint8_t>{};
  }

  // The extension records the attribute list of a fixed-up base record names, placed through the MFT.
  std::vector<ExtraEntry> ExtensionsOf(ByteSpan record, std::uint64_t self) {
    std::vector<ExtraEntry> out;
    const std::optional<NtfsAttribute> list = FindAttribute(record, attribute::kAttributeList, 0);
    if (!list)
      return out;
    std::optional<ByteSpan> value = list->ResidentValue();
    std::vector<std::uint8_t> read;
    if (!value) {
      CNoneResidentNTFSDataRunList runs;
      for (const MappingPairsRun& r : DecodeRuns(list->MappingPairs()))
        runs.Push(r.run);
      read.clear();
      ReadThroughRuns(device, runs, {0, geometry.sectorsPerCluster}, list->RealSize(),
                      geometry.bytesPerSector, [&](ByteSpan piece) {
                        read.insert(read.end(), piece.begin(), piece.end());
                        return true;
                      });
      value = ByteSpan(read);
    }
    for (std::uint64_t n : AttributeListRecords(*value)) {
      const std::optional<std::uint64_t> lba = RecordLba(n);
      if (n != self && lba)
        out.push_back({*lba, n});
    }
    return out;
  }
};

}  // namespace korvex::test
