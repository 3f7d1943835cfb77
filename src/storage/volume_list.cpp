#include "storage/volume_list.h"

#include <algorithm>
#include <cstring>

#include "storage/drive_list.h"

namespace korvex {

VolumeEntry MakeVolumeEntry(const PartitionRecord& record, const DeviceInfo& info, int driveNumber) {
  VolumeEntry entry{};
  entry.fsType = record.fsType;
  entry.driveLetter = record.driveLetter;
  std::memcpy(entry.label, record.label, sizeof entry.label);
  entry.label[sizeof entry.label - 1] = 0;
  for (std::size_t k = 0; k + 1 < VolumeEntry::kNameUnits && record.name[k] != 0; ++k) {
    entry.name[2 * k] = static_cast<std::uint8_t>(record.name[k] & 0xFF);
    entry.name[2 * k + 1] = static_cast<std::uint8_t>(record.name[k] >> 8);
  }
  entry.isUsb = IsRemovableBus(info.busType) ? 1 : 0;
  if (record.volumeDevice) {
    entry.extents[0].startSector = record.volumeDevice->GetStartSector();
    entry.extents[0].sectorCount = record.volumeDevice->GetSectorCount();
    entry.extents[0].drive = static_cast<std::uint32_t>(driveNumber + 1);
  }
  const std::string text = DriveText(info);
  std::memcpy(entry.driveText, text.data(), std::min(text.size(), sizeof entry.driveText - 1));
  return entry;
}

ListedDrives& ListedDrives::Instance() {
  static ListedDrives instance;
  return instance;
}

ListedDrives::~ListedDrives() {
  // The volumes' devices read through the drives: release them before the drives.
  volumeList.clear();
  driveList.clear();
}

void ListAllVolumes(const std::vector<VolumeAnalyserFactory>& analysers) {
  ListedDrives& db = ListedDrives::Instance();
  db.volumeList.clear();
  for (const auto& drive : db.driveList) {
    std::vector<PartitionRecord> records;
    ListPartitions(*drive, analysers, records);
    if (records.empty())
      continue;
    AssignDriveLetters(*drive, records);
    DeviceInfo info;
    GetDeviceInfo(*drive, info);
    for (PartitionRecord& record : records) {
      if (!record.volumeDevice)
        continue;
      ListedVolume volume;
      volume.entry = MakeVolumeEntry(record, info, drive->GetDriveNumber());
      volume.volumeDevice = std::move(record.volumeDevice);
      volume.drive = drive.get();
      volume.mountPoint = record.mountPoint;
      db.volumeList.push_back(std::move(volume));
    }
  }
}

std::vector<const ListedVolume*> VolumesOfDrive(int driveNumber) {
  std::vector<const ListedVolume*> volumes;
  for (const ListedVolume& volume : ListedDrives::Instance().volumeList) {
    if (volume.entry.extents[0].drive == static_cast<std::uint32_t>(driveNumber + 1))
      volumes.push_back(&volume);
  }
  return volumes;
}

std::vector<UnallocatedGap> ListUnallocatedGaps(std::vector<VolumeExtent> volumes, std::uint64_t driveSectors,
                                                std::uint32_t bytesPerSector, int& counter) {
  std::sort(volumes.begin(), volumes.end(),
            [](const VolumeExtent& a, const VolumeExtent& b) { return a.startSector < b.startSector; });
  std::vector<UnallocatedGap> gaps;
  auto add = [&](std::uint64_t start, std::uint64_t length) {
    gaps.push_back({"(Unallocated" + std::to_string(++counter) + ")", "UNKONWN",
                    SectorsSizeText(length, bytesPerSector), start, length});
  };
  std::uint64_t p = 0;
  bool first = true;
  for (const VolumeExtent& v : volumes) {
    const std::uint64_t s = v.startSector;
    // Volumes that overlap the previous one leave no gap (and must not make a negative one).
    if (s > p && s - p > kMinGapSectors) {
      // Before the first volume the gap leaves out sector 0, which holds the partition table, and
      // ends where the volume begins.
      if (first)
        add(1, s - 1);
      else
        add(p, s - p);
    }
    first = false;
    p = std::max(p, s + v.sectorCount);
  }
  if (driveSectors > p && driveSectors - p > kMinGapSectors)
    add(p, driveSectors - p);
  return gaps;
}

std::vector<DrivePart> ListDriveParts(std::uint64_t driveSectors, std::uint32_t bytesPerSector) {
  std::vector<DrivePart> parts;
  if (bytesPerSector == 0)
    return parts;
  // The size in KiB, rounded down, without forming sectors × sector size (which could overflow).
  const std::uint64_t kib =
      (driveSectors / 1024) * bytesPerSector + (driveSectors % 1024) * bytesPerSector / 1024;
  if (kib <= kLargeDriveKiB)
    return parts;
  const std::uint64_t partSectors = kDrivePartBytes / bytesPerSector;
  for (std::uint64_t start = 0; start < driveSectors; start += partSectors) {
    parts.push_back(
        {"Part " + std::to_string(parts.size() + 1), start, std::min(partSectors, driveSectors - start)});
  }
  return parts;
}

}  // namespace korvex
