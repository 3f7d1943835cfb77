#include "model/data_run_reader.h"

#include <algorithm>
#include <cstring>

namespace korvex {

namespace {

constexpr std::uint64_t kPieceBytes = 1024 * 1024;

bool ReadResident(IDataRunList& runs, std::uint64_t size, const DataSink& sink,
                  const ResidentDataSource& resident) {
  const DataRun* run = runs.First();
  if (!run || !resident || run->start < 0)
    return false;
  std::vector<std::uint8_t> value;
  if (!resident(static_cast<std::uint64_t>(run->start), runs.GetResidentOffset(), value))
    return false;
  const std::uint64_t n = std::min<std::uint64_t>(value.size(), size);
  if (n > 0 && !sink(ByteSpan(value.data(), static_cast<std::size_t>(n))))
    return false;
  return n == size;
}

}  // namespace

bool ReadThroughRuns(IDevice& device, IDataRunList& runs, const RunGeometry& geometry, std::uint64_t size,
                     std::uint32_t bytesPerSector, const DataSink& sink, const ResidentDataSource& resident) {
  if (runs.IsResident())
    return ReadResident(runs, size, sink, resident);
  if (bytesPerSector == 0 || geometry.sectorsPerCluster == 0)
    return false;

  const std::uint64_t unitBytes = std::uint64_t{geometry.sectorsPerCluster} * bytesPerSector;
  const std::uint64_t pieceSectors = std::max<std::uint64_t>(1, kPieceBytes / bytesPerSector);
  std::vector<std::uint8_t> buffer;
  std::uint64_t delivered = 0;

  for (const DataRun* run = runs.First(); run && delivered < size; run = runs.Next()) {
    const std::uint64_t need = size - delivered;
    const std::uint64_t units = std::min(run->length, need / unitBytes + (need % unitBytes != 0));
    std::uint64_t bytes = 0;
    if (__builtin_mul_overflow(units, unitBytes, &bytes))
      return false;
    bytes = std::min(bytes, need);

    if (run->IsSparse()) {
      buffer.assign(static_cast<std::size_t>(std::min(bytes, kPieceBytes)), 0);
      for (std::uint64_t left = bytes; left > 0;) {
        const std::uint64_t n = std::min<std::uint64_t>(left, buffer.size());
        if (!sink(ByteSpan(buffer.data(), static_cast<std::size_t>(n))))
          return false;
        left -= n;
      }
      delivered += bytes;
      continue;
    }

    std::uint64_t lba = 0;
    if (run->start < 0 ||
        __builtin_mul_overflow(static_cast<std::uint64_t>(run->start), geometry.sectorsPerCluster, &lba) ||
        __builtin_add_overflow(lba, geometry.volumeBase, &lba))
      return false;
    const std::uint64_t sectors = bytes / bytesPerSector + (bytes % bytesPerSector != 0);
    std::uint64_t lastSector = 0;
    if (__builtin_add_overflow(lba, sectors, &lastSector))
      return false;

    for (std::uint64_t done = 0; done < sectors;) {
      const std::uint64_t n = std::min(pieceSectors, sectors - done);
      buffer.assign(static_cast<std::size_t>(n * bytesPerSector), 0);
      if (!device.Read(buffer.data(), lba + done, n, bytesPerSector))
        return false;
      const std::uint64_t useful = std::min<std::uint64_t>(buffer.size(), bytes - done * bytesPerSector);
      if (!sink(ByteSpan(buffer.data(), static_cast<std::size_t>(useful))))
        return false;
      done += n;
    }
    delivered += bytes;
  }
  return delivered == size;
}

}  // namespace korvex
