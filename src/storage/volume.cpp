#include "storage/volume.h"

#include <array>

namespace korvex {

namespace {
struct FileSystemNames {
  const char* shortName;
  const char* name;
};
constexpr std::array<FileSystemNames, 9> kNames{{
    {"Unidentified", "Unknown"},
    {"FAT12", "FAT12"},
    {"FAT16", "FAT16"},
    {"FAT32", "FAT32"},
    {"NTFS", "NTFS"},
    {"EXT2", "EXT2"},
    {"EXT3", "EXT3"},
    {"HFS+", ""},
    {"Unidentified", "RAW"},
}};
}  // namespace

std::string FileSystemShortName(std::int32_t code) {
  return code >= 1 && code <= 7 ? kNames[static_cast<std::size_t>(code)].shortName : "Unidentified";
}

std::string FileSystemName(std::int32_t code) {
  return code >= 0 && code <= 8 ? kNames[static_cast<std::size_t>(code)].name : "";
}

std::unique_ptr<IVolume> AnalyseVolume(const std::vector<VolumeAnalyserFactory>& analysers, IDevice* device,
                                       std::uint64_t lba) {
  for (const auto& make : analysers) {
    std::unique_ptr<IVolume> volume = make(device, lba);
    if (volume && volume->GetVolumeType() != kFsUnknown)
      return volume;
  }
  return nullptr;
}

}  // namespace korvex
