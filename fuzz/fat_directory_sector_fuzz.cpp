// The directory-sector classifier over any 512 bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fat/directory_sector.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvex;
  std::uint8_t sector[kFatSectorSize] = {};
  std::memcpy(sector, data, size < sizeof sector ? size : sizeof sector);
  const DirectorySectorInfo info = ClassifyDirectorySector(SectorView(sector, kFatSectorSize));
  if (info.kind != DirectorySectorKind::kSubdirectoryHead &&
      info.dotCluster != DirectorySectorInfo::kNoCluster)
    __builtin_trap();
  if (info.entries > kFatSectorSize / 32)
    __builtin_trap();
  return 0;
}
