// What the volume analysers see at a sector of a device: the headless part of `korvex-cli info`.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "storage/device.h"
#include "storage/volume.h"

namespace korvex {

struct VolumeSummary {
  std::int32_t type = 0;
  std::uint64_t totalSectors = 0;
  std::string label;
};

// The volume analysers in the order they are tried: NTFS before FAT.
const std::vector<VolumeAnalyserFactory>& VolumeAnalysers();

// The first analyser that recognises a volume at `lba`, or nothing.
std::optional<VolumeSummary> ProbeVolume(IDevice& device, std::uint64_t lba);

// Opens a block device or image file read-only as a drive (adding it to the drive table) and queries
// its size; sets the current sector size from it. Null when it cannot be opened or sized.
std::unique_ptr<CDevice> OpenDrivePath(const std::string& path, std::uint32_t imageSectorSize);

}  // namespace korvex
