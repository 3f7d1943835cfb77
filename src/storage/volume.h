// File-system type codes, their names, and IVolume, the interface of the volume analysers that tell
// a volume's type, size and label from its boot sector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korvex {

enum FileSystemCode : std::int32_t {
  kFsUnknown = 0,
  kFsFat12 = 1,
  kFsFat16 = 2,
  kFsFat32 = 3,
  kFsNtfs = 4,
  kFsExt2 = 5,
  kFsExt3 = 6,
  kFsHfsPlus = 7,
  kFsRaw = 8,
};

// Name shown in device lists: "Unidentified" for codes outside 1..7.
std::string FileSystemShortName(std::int32_t code);
// Name used in volume display names and results: empty for HFS+ and for codes above 8.
std::string FileSystemName(std::int32_t code);

class IVolume {
 public:
  static constexpr std::size_t kLabelSize = 100;

  virtual ~IVolume() = default;
  virtual std::int32_t GetVolumeType() = 0;
  virtual std::uint64_t GetTotalSectors() = 0;
  // Copies min(size, 100) bytes of the 100-byte, NUL-terminated label area into `buffer`.
  virtual void GetVolumeLabel(char* buffer, std::size_t size) = 0;
};

class IDevice;

// Makes the analyser of one file system over (device, start sector). The storage layer tries the
// analysers it is given in order and takes the first whose type is nonzero; the application layer
// supplies them, so storage never depends on the file-system code.
using VolumeAnalyserFactory = std::function<std::unique_ptr<IVolume>(IDevice* device, std::uint64_t lba)>;

// The first analyser of `analysers` that recognises a volume at `lba`, or null.
std::unique_ptr<IVolume> AnalyseVolume(const std::vector<VolumeAnalyserFactory>& analysers, IDevice* device,
                                       std::uint64_t lba);

}  // namespace korvex
