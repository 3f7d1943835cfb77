#include "app/volume_probe.h"

#include "common/database.h"
#include "fat/fat_volume.h"
#include "platform/drive_table.h"

namespace korvex {

const std::vector<VolumeAnalyserFactory>& VolumeAnalysers() {
  static const std::vector<VolumeAnalyserFactory> analysers = {
      [](IDevice* device, std::uint64_t lba) -> std::unique_ptr<IVolume> {
        return std::make_unique<CFatVolumeAnalyze>(device, lba);
      },
  };
  return analysers;
}

std::optional<VolumeSummary> ProbeVolume(IDevice& device, std::uint64_t lba) {
  CFatVolumeAnalyze fat(&device, lba);
  if (fat.GetVolumeType() == kFsUnknown)
    return std::nullopt;
  return VolumeSummary{fat.GetVolumeType(), fat.GetTotalSectors(), fat.Label()};
}

std::unique_ptr<CDevice> OpenDrivePath(const std::string& path, std::uint32_t imageSectorSize) {
  const int index = platform::DriveTable::Instance().AddImage(path, imageSectorSize);
  auto device = std::make_unique<CDevice>(index);
  if (!device->Open() || device->GetSectorCount() == 0)
    return nullptr;
  CDataBase::Instance().bytesPerSector = device->GetBytesPerSector();
  return device;
}

}  // namespace korvex
