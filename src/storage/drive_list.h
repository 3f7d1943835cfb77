// The drive list: the machine's drives by number, their descriptions (vendor, product, revision,
// serial, bus type), the drive text shown for them, and the identity record by which a saved recovery
// state recognises its drive again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sysfs_drives.h"
#include "storage/device.h"
#include "storage/partition_table.h"
#include "storage/volume_entry.h"

namespace korvex {

struct ListedVolume;

#pragma pack(push, 1)
struct DeviceInfo {
  static constexpr std::size_t kTextSize = 260;
  std::uint32_t busType;
  char vendor[kTextSize];
  char product[kTextSize];
  char revision[kTextSize];
  char serial[kTextSize];
  char busName[kTextSize];
};

struct DriveIdentity {
  DeviceInfo info;
  // Sector 0 of the drive (its first 512 bytes) with the four partition-table entries (bytes 446 to
  // 509) zeroed, so that rewriting the table does not change the identity.
  std::uint8_t sector0[512];
};
#pragma pack(pop)

static_assert(sizeof(DeviceInfo) == 1304);
static_assert(offsetof(DeviceInfo, vendor) == 4);
static_assert(offsetof(DeviceInfo, product) == 264);
static_assert(offsetof(DeviceInfo, revision) == 524);
static_assert(offsetof(DeviceInfo, serial) == 784);
static_assert(offsetof(DeviceInfo, busName) == 1044);
static_assert(sizeof(DriveIdentity) == 1816);
static_assert(offsetof(DriveIdentity, sector0) == 1304);

// The name of a bus type: the classic table (1 "SCSI Disk Device" … 8 "RAID Disk Device") and the
// kinds it lacks (SD and MMC card readers, virtual disks, image files, NVMe); empty for others.
std::string BusName(std::uint32_t busType);
// True for the bus types whose drives count as removable: USB, SD and MMC readers, image files.
bool IsRemovableBus(std::uint32_t busType);

// A descriptor text cleaned as drives report them: cut after the first space of the first run of two
// or more spaces (from the third character on), then leading spaces skipped, the last character kept.
std::string CleanDescriptorText(std::string_view text);

// "vendor  product  bus name", or "product  bus name" when the vendor is empty or begins with "(";
// at most 49 bytes, cut at a character boundary.
std::string DriveText(const DeviceInfo& info);

// A drive number that exists in the drive table but could not be opened, with the errno of the open.
struct DriveOpenFailure {
  int driveNumber;
  int error;
};

// Empties the drive list (ListedDrives) and appends every drive of numbers 0..31 that opens (the drive
// table decides what a number is; numbers above 19 never open) with its size queried. Numbers that
// the table holds but that did not open are reported in `failures` when it is given. Returns the
// number of drives listed.
int ListDrives(std::vector<DriveOpenFailure>* failures = nullptr);

// The drive's description; returns 1 when one was found, else 0 with `info` all zero.
int GetDeviceInfo(CDevice& drive, DeviceInfo& info);

// Linux has no drive letters: `driveLetter` stays 0. What the system would show as a letter, the
// place where Linux mounts the partition, is kept in `mountPoint`: a record matches the partition
// of the drive that starts at its sector (a record at sector 0 may also be the whole disk's own mount).
void AssignDriveLetters(CDevice& drive, std::vector<PartitionRecord>& records);
// The mount point of the partition of `disk` that starts at `startSector` of `bytesPerSector` bytes
// (or of the whole disk, for sector 0 when no partition starts there); empty when none.
std::string MountPointAt(const platform::BlockDeviceDescription& disk, std::uint32_t bytesPerSector,
                         std::uint64_t startSector);

// Description and sector 0 of the drive; a failed read leaves the sector part zero.
void GetDriveIdentity(CDevice& drive, DriveIdentity& identity);

// The byte streams that identities go to and come from (a recovery-state stream): each call moves
// exactly `size` bytes and returns false when it cannot.
using ByteSink = std::function<bool(const void* data, std::size_t size)>;
using ByteSource = std::function<bool(void* data, std::size_t size)>;

// Writes the identity of the drive of each extent of `entry`, in extent order. False when a drive is
// not in the drive list or the sink fails.
bool WriteIdentities(const ByteSink& sink, const VolumeEntry& entry);

// Reads one identity per extent of `saved` and returns the first volume of the current volume list
// with the same type, reserved word, drive letter, extents and drive identities; null when none.
ListedVolume* FindSavedVolume(const ByteSource& source, const VolumeEntry& saved);

// The listed drive with that number, or null.
CDevice* FindDrive(int driveNumber);

}  // namespace korvex
