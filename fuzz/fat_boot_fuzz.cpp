// Boot-sector tests, geometry, entry tests and the label lookup over any bytes: the input is a
// small volume whose first sector is the boot sector.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fat/fat_volume.h"
#include "storage/memory_device.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvex;
  std::vector<std::uint8_t> bytes(data, data + size);
  if (bytes.size() < kFatSectorSize)
    bytes.resize(kFatSectorSize, 0);
  const SectorView boot(bytes.data(), kFatSectorSize);
  const std::int32_t type = FatTypeOfBootSector(boot);
  const FatGeometry g = FatGeometry::FromBootSector(boot, 0, type);
  (void)ClusterToLba(g, g.rootCluster);
  for (std::size_t off = 0; off + 32 <= bytes.size(); off += 32) {
    const EntryView entry(bytes.data() + off, 32);
    (void)IsValidEntry(entry, true);
    (void)IsValidEntry(entry, false);
    (void)FormatShortName(entry, off % 64 == 0);
  }
  CMemoryDevice device(std::move(bytes), kFatSectorSize);
  CFatVolumeAnalyze volume(&device, 0);
  char label[IVolume::kLabelSize];
  volume.GetVolumeLabel(label, sizeof label);
  return 0;
}
