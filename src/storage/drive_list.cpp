#include "storage/drive_list.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>

#include "common/text.h"
#include "platform/drive_table.h"
#include "storage/volume_list.h"

namespace korvex {

namespace {

constexpr int kDriveNumbersTried = 32;

void CopyText(char* field, std::string_view raw) {
  CopyToField(field, DeviceInfo::kTextSize, CleanDescriptorText(raw));
}

bool SameExtents(const VolumeEntry& a, const VolumeEntry& b, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    if (a.extents[k].startSector != b.extents[k].startSector ||
        a.extents[k].sectorCount != b.extents[k].sectorCount)
      return false;
  }
  return true;
}

}  // namespace

std::string BusName(std::uint32_t busType) {
  switch (busType) {
    case platform::kBusScsi:
      return "SCSI Disk Device";
    case platform::kBusAtapi:
      return "ATAPI Bus";
    case platform::kBusAta:
      return "ATA Bus";
    case platform::kBus1394:
      return "1394 Disk Device";
    case platform::kBusSsa:
      return "SSA Disk Device";
    case platform::kBusFibre:
      return "FIBER Disk Device";
    case platform::kBusUsb:
      return "USB Device";
    case platform::kBusRaid:
      return "RAID Disk Device";
    case platform::kBusSd:
      return "SD Card Device";
    case platform::kBusMmc:
      return "MMC Card Device";
    case platform::kBusVirtual:
      return "Virtual Disk Device";
    case platform::kBusFileBacked:
      return "Disk Image File";
    case platform::kBusNvme:
      return "NVMe Disk Device";
    default:
      return "";
  }
}

bool IsRemovableBus(std::uint32_t busType) {
  return busType == platform::kBusUsb || busType == platform::kBusSd || busType == platform::kBusMmc ||
         busType == platform::kBusFileBacked;
}

std::string CleanDescriptorText(std::string_view text) {
  std::string s(text.substr(0, text.find('\0')));
  std::size_t end = s.size();
  for (std::size_t i = s.size(); i-- > 2;) {
    if (s[i] == ' ' && s[i - 1] == ' ')
      end = i;
  }
  s.resize(end);
  std::size_t begin = 0;
  while (begin + 1 < s.size() && s[begin] == ' ')
    ++begin;
  return s.substr(begin);
}

std::string DriveText(const DeviceInfo& info) {
  const std::string_view vendor(info.vendor, strnlen(info.vendor, sizeof info.vendor));
  const std::string_view product(info.product, strnlen(info.product, sizeof info.product));
  const std::string_view busName(info.busName, strnlen(info.busName, sizeof info.busName));
  std::string text;
  if (vendor.empty() || vendor[0] == '(')
    text = std::string(product) + "  " + std::string(busName);
  else
    text = std::string(vendor) + "  " + std::string(product) + "  " + std::string(busName);
  return std::string(CutAtCharBoundary(text, VolumeEntry::kDriveTextSize - 1));
}

int ListDrives(std::vector<DriveOpenFailure>* failures) {
  ListedDrives& db = ListedDrives::Instance();
  // The volumes read through the drives; they go with them.
  db.volumeList.clear();
  db.driveList.clear();
  const int known = platform::DriveTable::Instance().Count();
  for (int n = 0; n < kDriveNumbersTried; ++n) {
    auto drive = std::make_unique<CDevice>(n);
    if (drive->Open()) {
      drive->GetSectorCount();
      db.driveList.push_back(std::move(drive));
    } else if (failures && n < known) {
      failures->push_back({n, drive->GetOpenError()});
    }
  }
  return static_cast<int>(db.driveList.size());
}

int GetDeviceInfo(CDevice& drive, DeviceInfo& info) {
  std::memset(&info, 0, sizeof info);
  const auto path = platform::DriveTable::Instance().Lookup(drive.GetDriveNumber());
  if (!path)
    return 0;
  if (path->isImage) {
    info.busType = platform::kBusFileBacked;
    CopyText(info.product, std::filesystem::path(path->path).filename().string());
  } else if (path->description) {
    const platform::BlockDeviceDescription& d = *path->description;
    info.busType = d.busType;
    CopyText(info.vendor, d.vendor);
    CopyText(info.product, d.model);
    CopyText(info.revision, d.revision);
    CopyText(info.serial, d.serial);
  } else {
    return 0;
  }
  CopyToField(info.busName, sizeof info.busName, BusName(info.busType));
  return 1;
}

std::string MountPointAt(const platform::BlockDeviceDescription& disk, std::uint32_t bytesPerSector,
                         std::uint64_t startSector) {
  if (bytesPerSector == 0)
    return {};
  // sysfs counts partition starts in 512-byte units whatever the sector size.
  const auto part = std::find_if(
      disk.partitions.begin(), disk.partitions.end(),
      [&](const platform::BlockPartition& p) { return p.start512 * 512 / bytesPerSector == startSector; });
  if (part != disk.partitions.end())
    return part->mountPoint;
  // A medium without a partition table is mounted as the whole disk.
  return startSector == 0 ? disk.mountPoint : std::string();
}

void AssignDriveLetters(CDevice& drive, std::vector<PartitionRecord>& records) {
  const auto path = platform::DriveTable::Instance().Lookup(drive.GetDriveNumber());
  if (!path || !path->description)
    return;
  for (PartitionRecord& record : records)
    record.mountPoint = MountPointAt(*path->description, drive.GetBytesPerSector(), record.startSector);
}

void GetDriveIdentity(CDevice& drive, DriveIdentity& identity) {
  std::memset(&identity, 0, sizeof identity);
  GetDeviceInfo(drive, identity.info);
  if (!drive.Read(identity.sector0, 0, 1, sizeof identity.sector0))
    std::memset(identity.sector0, 0, sizeof identity.sector0);
  std::memset(identity.sector0 + 446, 0, 510 - 446);
}

CDevice* FindDrive(int driveNumber) {
  for (const auto& drive : ListedDrives::Instance().driveList) {
    if (drive->GetDriveNumber() == driveNumber)
      return drive.get();
  }
  return nullptr;
}

bool WriteIdentities(const ByteSink& sink, const VolumeEntry& entry) {
  for (std::size_t k = 0; k < ExtentCount(entry); ++k) {
    CDevice* drive = FindDrive(static_cast<int>(entry.extents[k].drive) - 1);
    if (!drive)
      return false;
    DriveIdentity identity;
    GetDriveIdentity(*drive, identity);
    if (!sink(&identity, sizeof identity))
      return false;
  }
  return true;
}

ListedVolume* FindSavedVolume(const ByteSource& source, const VolumeEntry& saved) {
  const std::size_t extents = ExtentCount(saved);
  std::vector<DriveIdentity> savedIdentities(extents);
  for (DriveIdentity& identity : savedIdentities) {
    if (!source(&identity, sizeof identity))
      return nullptr;
  }
  for (ListedVolume& volume : ListedDrives::Instance().volumeList) {
    const VolumeEntry& current = volume.entry;
    if (current.fsType != saved.fsType || current.reserved != saved.reserved ||
        current.driveLetter != saved.driveLetter || ExtentCount(current) != extents ||
        !SameExtents(current, saved, extents))
      continue;
    bool same = true;
    for (std::size_t k = 0; k < extents && same; ++k) {
      CDevice* drive = FindDrive(static_cast<int>(current.extents[k].drive) - 1);
      DriveIdentity identity;
      if (drive)
        GetDriveIdentity(*drive, identity);
      same = drive && std::memcmp(&identity, &savedIdentities[k], sizeof identity) == 0;
    }
    if (same)
      return &volume;
  }
  return nullptr;
}

}  // namespace korvex
