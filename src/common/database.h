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

  // Found-file counters of the scan progress: increased by the controllers on the scan's worker thread
  // as they find files, read by the progress display on another thread; zeroed for a fresh scan.
  std::atomic<std::uint64_t> foundPictures{0};
  std::atomic<std::uint64_t> foundVideos{0};
  std::atomic<std::uint64_t> foundDocuments{0};
  std::atomic<std::uint64_t> foundArchives{0};
  std::atomic<std::uint64_t> foundTotal{0};

  void ResetFoundCounters();

 private:
  CDataBase() = default;
};

}  // namespace korvex
