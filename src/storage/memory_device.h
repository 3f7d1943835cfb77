// An IDevice over bytes held in memory, so that tests, fuzzers and fault injection run the real
// parsers on exactly the bytes they choose. Reads follow CDevice's rules (refused at or past the end,
// shortened when they run past it).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "storage/device.h"

namespace korvex {

class CMemoryDevice : public IDevice {
 public:
  CMemoryDevice(std::vector<std::uint8_t> bytes, std::uint32_t sectorSize)
      : bytes_(std::move(bytes)), sectorSize_(sectorSize) {}

  int Read(void* buffer, std::uint64_t first, std::uint64_t count, std::uint32_t bytesPerSector) override {
    ++reads_;
    const std::uint64_t sectors = bytesPerSector ? bytes_.size() / bytesPerSector : 0;
    if (bytesPerSector == 0 || first >= sectors)
      return 0;
    count = std::min(count, sectors - first);
    std::memcpy(buffer, bytes_.data() + first * bytesPerSector, count * bytesPerSector);
    return 1;
  }
  std::uint64_t GetSectorCount() override { return bytes_.size() / sectorSize_; }
  int Open() override { return 1; }
  int Close() override { return 1; }

  std::vector<std::uint8_t>& Bytes() { return bytes_; }
  int ReadCount() const { return reads_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint32_t sectorSize_;
  int reads_ = 0;
};

}  // namespace korvex
