// Finding the partitions of a drive: a GUID partition table, or a master boot record with its chain
// of extended boot records, or a file system that fills the whole drive. Each partition found becomes
// a PartitionRecord whose type, size and label the volume analysers tell.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "storage/device.h"
#include "storage/volume.h"

namespace korvex {

// One partition while the drives are listed. A new record is all zero.
struct PartitionRecord {
  std::uint64_t startSector = 0;
  std::uint64_t sectorCount = 0;
  char label[IVolume::kLabelSize] = {};  // from the volume analyser, UTF-8, NUL-terminated
  char driveLetter = 0;                  // Linux has no drive letters: stays 0
  std::int32_t fsType = kFsUnknown;
  char16_t name[100] = {};                     // GPT partition name, NUL-terminated; empty for other tables
  std::unique_ptr<CBasicDevice> volumeDevice;  // the partition's sectors; handed on to the volume entry
  std::string mountPoint;                      // where Linux mounts the partition, for display
};

// ListPartitions results.
constexpr int kPartitionTableGpt = 1;
constexpr int kPartitionTableOther = 2;

// Limits of the walk of an extended chain: how deep extended entries may nest and how many extended
// boot records one drive may make us read. A chain that never ends stops there.
constexpr int kMaxExtendedDepth = 128;
constexpr int kMaxExtendedRecords = 256;

// True when `typeGuid` (36 upper-case characters) is one of the partition types whose entries are
// listed from a GPT.
bool IsAcceptedGptType(const std::string& typeGuid);
// The 16 bytes of a GPT type GUID in the usual text form (mixed byte order, upper case).
std::string FormatGptGuid(const std::uint8_t* bytes);

// Lists the partitions of `drive`, whose sectors are `bytesPerSector` bytes, into `records` (appended
// in table order) and sets the current sector size from it. `analysers` tell each partition's file
// system, in the order given. Returns kPartitionTableGpt when a GPT was read, else kPartitionTableOther.
int ListPartitions(IDevice& drive, std::uint32_t bytesPerSector,
                   const std::vector<VolumeAnalyserFactory>& analysers,
                   std::vector<PartitionRecord>& records);
// The same for an opened drive, whose size it queries first (as every drive must be, before reads).
int ListPartitions(CDevice& drive, const std::vector<VolumeAnalyserFactory>& analysers,
                   std::vector<PartitionRecord>& records);

}  // namespace korvex
