// CDataBase: the one process-wide state record through which the storage layer, the scan engine,
// the analyses and the front ends share the current sector size and, later, selection and counters.
#pragma once

#include <atomic>
#include <cstdint>

namespace korvex {

class CDataBase {
 public:
  static CDataBase& Instance();

  // Current sector size (512 or 4096), set from the drive being listed or scanned; every read passes it.
  std::atomic<std::uint32_t> bytesPerSector{0};

 private:
  CDataBase() = default;
};

}  // namespace korvex
