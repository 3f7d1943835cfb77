// The table of drive numbers: block devices first (in a stable order), then disk images that the
// user added, each with its declared sector size. A CDevice opens its drive by number through it.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/sysfs_drives.h"

namespace korvex::platform {

struct DrivePath {
  std::string path;
  std::uint32_t imageSectorSize = 512;  // used when the path is a regular file
  bool isImage = false;
  // What sysfs and udev told about a block device when the table was filled; absent for images.
  std::optional<BlockDeviceDescription> description;
};

class DriveTable {
 public:
  static DriveTable& Instance();

  // Replaces the block-device part of the table; images stay numbered after the devices.
  void SetBlockDevices(const std::vector<std::string>& paths);
  void SetBlockDevices(const std::vector<BlockDeviceDescription>& devices);
  int BlockDeviceCount() const;
  // Adds an image file (or any path the user names) and returns its drive number.
  int AddImage(const std::string& path, std::uint32_t sectorSize = 512);
  void Clear();

  std::optional<DrivePath> Lookup(int driveIndex) const;
  int Count() const;

 private:
  mutable std::mutex mutex_;
  std::vector<DrivePath> devices_;
  std::vector<DrivePath> images_;
};

}  // namespace korvex::platform
