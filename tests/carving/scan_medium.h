// A device of noise with files written at sector offsets, and the RAW search over it with every
// built-in analyser in its order of trial: what the analyser tests place their samples on.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "carving/analyser_registry.h"
#include "carving/raw_search_controller.h"
#include "common/database.h"
#include "storage/memory_device.h"

namespace korvex::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Noise(std::size_t n, std::uint32_t seed) {
  std::mt19937 gen(seed);
  Bytes bytes(n);
  for (auto& b : bytes)
    b = static_cast<std::uint8_t>(gen());
  return bytes;
}

// A device of noise with files written at sector offsets, scanned by the RAW search with every
// built-in analyser in its order of trial.
class Medium {
 public:
  explicit Medium(std::uint32_t sectorSize, std::uint32_t seed = 1) : sectorSize_(sectorSize), seed_(seed) {}

  // Places `file` after a gap of noise sectors and returns its start sector.
  std::uint64_t Put(const Bytes& file, std::uint64_t gapSectors = 3) {
    Grow(gapSectors * sectorSize_);
    const std::uint64_t sector = bytes_.size() / sectorSize_;
    bytes_.insert(bytes_.end(), file.begin(), file.end());
    Grow((sectorSize_ - bytes_.size() % sectorSize_) % sectorSize_);
    return sector;
  }
  // Noise after the last file, then the scan.
  void Scan(std::uint64_t trailingSectors = 8) {
    Grow(trailingSectors * sectorSize_);
    CDataBase::Instance().bytesPerSector = sectorSize_;
    device_ = std::make_unique<CMemoryDevice>(bytes_, sectorSize_);
    AnalyserRegistry registry(BuiltInAnalyserClasses());
    std::vector<std::int32_t> ids;
    for (std::int32_t id = 1; id <= 84; ++id)
      ids.push_back(id);
    registry.Rebuild(ids);
    CRAWSearchController controller(&registry);
    controller.Attach(device_.get());
    controller.SetRawFileList(&list_);
    const std::uint64_t sectors = bytes_.size() / sectorSize_;
    for (std::uint64_t first = 0; first < sectors; first += 1000) {
      const std::uint64_t count = std::min<std::uint64_t>(1000, sectors - first);
      controller.ProcessBlock(bytes_.data() + first * sectorSize_, first, count, nullptr);
    }
  }
  const CRawFileInfo* Find(std::uint64_t sector) const { return list_.FindByStart(sector); }
  // The bytes a recovery of `info` would write.
  Bytes Recovered(const CRawFileInfo& info) const {
    const std::uint64_t start = info.startSector * sectorSize_;
    const std::uint64_t end = std::min<std::uint64_t>(start + info.size, bytes_.size());
    return Bytes(bytes_.begin() + static_cast<std::ptrdiff_t>(start),
                 bytes_.begin() + static_cast<std::ptrdiff_t>(end));
  }
  Bytes& Raw() { return bytes_; }

 private:
  void Grow(std::uint64_t n) {
    const Bytes noise = Noise(n, seed_++);
    bytes_.insert(bytes_.end(), noise.begin(), noise.end());
  }
  std::uint32_t sectorSize_;
  std::uint32_t seed_;
  Bytes bytes_;
  std::unique_ptr<CMemoryDevice> device_;
  RawFileList list_;
};

}  // namespace korvex::test
