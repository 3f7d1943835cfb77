// The NTFS boot-sector test and CNtfsVolumeAnalyze over any bytes: the input is a small volume whose
// first sector is the boot sector, read with 512- and 4096-byte sectors.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ntfs/ntfs_volume.h"
#include "storage/memory_device.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvex;
  for (std::uint32_t sectorSize : {512u, 4096u}) {
    std::vector<std::uint8_t> bytes(data, data + size);
    if (bytes.size() < sectorSize)
      bytes.resize(sectorSize, 0);
    (void)IsNtfsBootSector(bytes, sectorSize);
    (void)NtfsGeometry::FromBootSector(bytes);
    CMemoryDevice device(std::move(bytes), sectorSize);
    CNtfsVolumeAnalyze volume(&device, 0, sectorSize);
    char label[IVolume::kLabelSize];
    volume.GetVolumeLabel(label, sizeof label);
  }
  return 0;
}
