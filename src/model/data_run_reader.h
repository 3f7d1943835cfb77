// Delivering a found file's bytes through its run list and volume geometry: the sectors of every run
// in order, sparse runs as zeros, cut to the file's size. The writer and the preview read files so.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "common/byte_reader.h"
#include "model/data_run_list.h"
#include "storage/device.h"

namespace korvex {

// Where a file's run units lie: unit 0 starts at LBA `volumeBase`, a unit is `sectorsPerCluster`
// sectors. (FAT: data area and cluster size; NTFS: partition start and cluster size; carving: 0 and 1.)
struct RunGeometry {
  std::uint64_t volumeBase = 0;
  std::uint32_t sectorsPerCluster = 1;
};

// Receives the file's bytes in order, a piece at a time; returning false stops the reading.
using DataSink = std::function<bool(ByteSpan piece)>;

// A resident list names the FILE record that holds the data, not the data. This fetches the value of
// that record's data attribute (the NTFS layer provides it: the record must be read and fixed up).
using ResidentDataSource = std::function<bool(std::uint64_t recordLba, std::uint32_t residentOffset,
                                              std::vector<std::uint8_t>& value)>;

// Delivers the first `size` bytes of the file to `sink`. True when all of them were delivered; false
// when the geometry is unusable, a run lies outside what 64-bit sector numbers can address, a read
// fails, the runs (or the resident value) end before `size`, or the sink stops. Reads go in pieces of
// at most 1 MiB, whatever the runs say. Sectors that a device returns short of the request read as 0.
bool ReadThroughRuns(IDevice& device, IDataRunList& runs, const RunGeometry& geometry, std::uint64_t size,
                     std::uint32_t bytesPerSector, const DataSink& sink,
                     const ResidentDataSource& resident = {});

}  // namespace korvex
