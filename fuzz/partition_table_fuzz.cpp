// ListPartitions over a drive of arbitrary bytes, with the FAT analyser, then the volume entries,
// display names and gaps made from what it found. The first byte chooses the sector size, so that
// 512-, 1024- and 4096-byte drives (GPT, protective MBR read as MBR, EBRs at 4096-byte addresses)
// are all reached, and whether every sector gets the 0x55 0xAA signature, so that the fuzzer need
// not find it before it can reach the tables and the extended chains.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/volume_probe.h"
#include "storage/drive_list.h"
#include "storage/memory_device.h"
#include "storage/partition_table.h"
#include "storage/volume_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvex;
  if (size == 0)
    return 0;
  constexpr std::uint32_t kSectorSizes[] = {512, 4096, 1024, 2048};
  const std::uint32_t sectorSize = kSectorSizes[data[0] % 4];
  const bool stamped = (data[0] & 0x80) != 0;
  std::vector<std::uint8_t> bytes(data + 1, data + size);
  // At least one whole sector, so that sector 0 can be read.
  bytes.resize(std::max<std::size_t>(bytes.size() / sectorSize, 1) * sectorSize, 0);
  for (std::size_t at = 0; stamped && at < bytes.size(); at += sectorSize) {
    bytes[at + 510] = 0x55;
    bytes[at + 511] = 0xAA;
  }
  CMemoryDevice drive(std::move(bytes), sectorSize);

  std::vector<PartitionRecord> records;
  ListPartitions(drive, sectorSize, VolumeAnalysers(), records);

  DeviceInfo info{};
  std::vector<VolumeExtent> extents;
  for (const PartitionRecord& record : records) {
    if (!record.volumeDevice || record.startSector + record.sectorCount > drive.GetSectorCount())
      __builtin_trap();  // a record must lie on the drive
    const VolumeEntry entry = MakeVolumeEntry(record, info, 0);
    (void)VolumeDisplayName(entry);
    extents.push_back(entry.extents[0]);
  }
  int counter = 0;
  (void)ListUnallocatedGaps(extents, drive.GetSectorCount(), sectorSize, counter);
  return 0;
}
