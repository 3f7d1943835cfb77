#include "platform/drive_table.h"

namespace korvex::platform {

DriveTable& DriveTable::Instance() {
  static DriveTable table;
  return table;
}

void DriveTable::SetBlockDevices(const std::vector<std::string>& paths) {
  std::lock_guard lock(mutex_);
  devices_.clear();
  for (const auto& p : paths)
    devices_.push_back({p, 512, false, std::nullopt});
}

void DriveTable::SetBlockDevices(const std::vector<BlockDeviceDescription>& devices) {
  std::lock_guard lock(mutex_);
  devices_.clear();
  for (const auto& d : devices)
    devices_.push_back({d.path, 512, false, d});
}

int DriveTable::BlockDeviceCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(devices_.size());
}

int DriveTable::AddImage(const std::string& path, std::uint32_t sectorSize) {
  std::lock_guard lock(mutex_);
  images_.push_back({path, sectorSize, true, std::nullopt});
  return static_cast<int>(devices_.size() + images_.size() - 1);
}

void DriveTable::Clear() {
  std::lock_guard lock(mutex_);
  devices_.clear();
  images_.clear();
}

std::optional<DrivePath> DriveTable::Lookup(int driveIndex) const {
  std::lock_guard lock(mutex_);
  if (driveIndex < 0)
    return std::nullopt;
  auto i = static_cast<std::size_t>(driveIndex);
  if (i < devices_.size())
    return devices_[i];
  i -= devices_.size();
  if (i < images_.size())
    return images_[i];
  return std::nullopt;
}

int DriveTable::Count() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(devices_.size() + images_.size());
}

}  // namespace korvex::platform
