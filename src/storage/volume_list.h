// The volume list: every partition of every listed drive as a VolumeEntry with its device, and the
// other scan targets derived from it: the unallocated gaps of a drive and the parts of a large drive.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "storage/device.h"
#include "storage/partition_table.h"
#include "storage/volume.h"
#include "storage/volume_entry.h"

namespace korvex {

struct DeviceInfo;

// One entry of the volume list: the record, and beside it what a 64-bit process cannot keep inside
// the record's 4-byte fields: the partition's device (owned) and its drive (owned by the drive list).
struct ListedVolume {
  VolumeEntry entry{};
  std::unique_ptr<CBasicDevice> volumeDevice;
  CDevice* drive = nullptr;
  std::string mountPoint;
};

// The drives that could be opened, in ascending drive number (ListDrives), and the volumes on them
// (ListAllVolumes). Both are rebuilt by one listing thread while every other thread waits for it to
// finish (joins it, or waits on its done flag with acquire ordering), so they need no lock; nothing
// reads them during a listing. The volumes' devices refer to the drives: list volumes after drives,
// and drop the volumes first.
struct ListedDrives {
  static ListedDrives& Instance();
  ~ListedDrives();

  std::vector<std::unique_ptr<CDevice>> driveList;
  std::vector<ListedVolume> volumeList;
};

// The entry for a record of a drive: type, letter, label and GPT name copied, extent 0 = the record's
// sectors on the drive, isUsb and the drive text from the drive's description.
VolumeEntry MakeVolumeEntry(const PartitionRecord& record, const DeviceInfo& info, int driveNumber);

// Empties the volume list and lists the partitions of every drive of the drive list into
// it, in drive order; the volume analysers are tried in the order given.
void ListAllVolumes(const std::vector<VolumeAnalyserFactory>& analysers);

// The volumes of the volume list that lie on the drive with that number, in list order.
std::vector<const ListedVolume*> VolumesOfDrive(int driveNumber);

// An unallocated stretch of a drive offered as a scan target (a range scan of type RAW).
struct UnallocatedGap {
  std::string name;      // "(Unallocated" n ")"
  std::string typeText;  // "UNKONWN", as the lists show it
  std::string sizeText;
  std::uint64_t startSector = 0;
  std::uint64_t sectorCount = 0;
};

// Minimum length of a listed gap: gaps of this many sectors or fewer are not listed.
constexpr std::uint64_t kMinGapSectors = 100000;

// The gaps between the volumes of one drive (in any order) of `driveSectors` sectors of
// `bytesPerSector` bytes; `counter` numbers the gaps and runs on across drives.
std::vector<UnallocatedGap> ListUnallocatedGaps(std::vector<VolumeExtent> volumes, std::uint64_t driveSectors,
                                                std::uint32_t bytesPerSector, int& counter);

// A range of a large drive that a lost-partition scan may take on its own.
struct DrivePart {
  std::string name;  // "Part " n
  std::uint64_t startSector = 0;
  std::uint64_t sectorCount = 0;
};

// A drive whose size in KiB exceeds this is offered in parts of kDrivePartBytes as well.
constexpr std::uint64_t kLargeDriveKiB = 1077936128;
constexpr std::uint64_t kDrivePartBytes = 1103806595072;

// The parts of a drive larger than the limit, the last taking the rest; none for a smaller drive.
std::vector<DrivePart> ListDriveParts(std::uint64_t driveSectors, std::uint32_t bytesPerSector);

}  // namespace korvex
