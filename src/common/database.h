// CDataBase: the one process-wide state record through which the storage layer, the scan engine,
// the analyses and the front ends share the current sector size, the drive and volume lists and,
// later, selection and counters.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace korvex {

class CDevice;
struct ListedVolume;

class CDataBase {
 public:
  static CDataBase& Instance();

  // Current sector size (512 or 4096), set from the drive being listed or scanned; every read passes it.
  std::atomic<std::uint32_t> bytesPerSector{0};

  // The drives that could be opened, in ascending drive number (ListDrives), and the volumes on them
  // (ListAllVolumes). Both are rebuilt by one listing thread while every other thread waits for it to
  // finish (joins it, or waits on its done flag with acquire ordering), so they need no lock; nothing
  // reads them during a listing. The volumes' devices refer to the drives: list volumes after drives,
  // and drop the volumes first.
  std::vector<std::unique_ptr<CDevice>> driveList;
  std::vector<ListedVolume> volumeList;

 private:
  CDataBase();
  ~CDataBase();
};

}  // namespace korvex
