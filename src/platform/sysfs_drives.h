// The machine's whole disks as Linux shows them under /sys/block, described from sysfs and the udev
// database, with the mount points of their partitions from mountinfo. The roots are parameters so
// that tests run this on a fake tree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvex::platform {

struct SysfsRoots {
  std::string sys = "/sys";
  std::string udev = "/run/udev";
  std::string dev = "/dev";
  std::string mountInfo = "/proc/self/mountinfo";
};

// Storage bus types in the operating system's numbering that the drive descriptions use. The codes
// above 8 stand for kinds that the classic table lacks.
enum BusType : std::uint32_t {
  kBusUnknown = 0,
  kBusScsi = 1,
  kBusAtapi = 2,
  kBusAta = 3,
  kBus1394 = 4,
  kBusSsa = 5,
  kBusFibre = 6,
  kBusUsb = 7,
  kBusRaid = 8,
  kBusSd = 12,
  kBusMmc = 13,
  kBusVirtual = 14,
  kBusFileBacked = 15,  // loop devices and disk-image files
  kBusNvme = 17,
};

struct DeviceNumber {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  bool operator==(const DeviceNumber&) const = default;
};

struct BlockPartition {
  std::string name;  // "sda1"
  DeviceNumber number;
  std::uint64_t start512 = 0;  // first sector in 512-byte units, as sysfs counts
  std::string mountPoint;      // empty when not mounted
};

struct BlockDeviceDescription {
  std::string name;  // "sda", the name under /sys/block
  std::string path;  // "/dev/sda"
  DeviceNumber number;
  std::uint32_t busType = kBusUnknown;
  // Raw texts as the device reports them (sysfs attributes keep their padding); empty when absent.
  std::string vendor;
  std::string model;
  std::string revision;
  std::string serial;
  std::string mountPoint;  // the whole disk's own mount, for a medium without a partition table
  std::vector<BlockPartition> partitions;
};

// True for the names of whole disks that can hold a medium: sd*, hd*, vd*, xvd*, nvme<n>n<m>,
// mmcblk<n> (not its boot and rpmb areas) and loop<n>.
bool IsWholeDiskName(const std::string& name);

// The whole disks of <sys>/block in a stable order (by kind: sd, hd, vd, xvd, nvme, mmcblk, loop; then
// by name with numbers compared as numbers), loop devices only when they have a backing file.
std::vector<BlockDeviceDescription> ListBlockDevices(const SysfsRoots& roots);

// The bus type told by a device's resolved sysfs path (and its name, for the kinds it names).
std::uint32_t BusTypeOfSysfsPath(const std::string& devicePath, const std::string& name);

struct MountEntry {
  DeviceNumber number;
  std::string mountPoint;
};
// The mounts of a mountinfo file in file order, with their octal escapes undone.
std::vector<MountEntry> ReadMountInfo(const std::string& path);

// Lists the whole disks and hands them to the drive table as its block-device part.
void RefreshBlockDevices(const SysfsRoots& roots = SysfsRoots{});

}  // namespace korvex::platform
