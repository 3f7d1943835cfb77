// CDataBase: the one process-wide state record through which the storage layer, the scan engine,
// the analyses and the front ends share the current sector size, the scan position and the found-file
// counters. The drive and volume lists, which own devices, live with the storage layer (ListedDrives).
#pragma once

#include <atomic>
#include <cstdint>

namespace korvex {

class CDataBase {
 public:
  static CDataBase& Instance();

  // Current sector size (512 or 4096), set from the drive being listed or scanned; every read passes it.
  std::atomic<std::uint32_t> bytesPerSector{0};

  // Scan position, written by the scan's worker and read by the waiting thread.
  std::atomic<std::int32_t> scanMode{0};         // 0 lost files, 1 lost partitions, 2 loaded state
  std::atomic<std::int32_t> scanInterrupted{0};  // the last run ended on a stop request
  std::atomic<std::uint64_t> progressTotal{0};   // progress range of the run
  std::atomic<std::uint64_t> resumeSector{0};    // first sector of the block a stopped run halted at
  std::atomic<std::uint64_t> resumeBlock{0};     // next block to process; 0 for a fresh scan
  std::atomic<std::uint64_t> totalBlocks{0};
  std::atomic<std::uint64_t> unreadableSectors{0};  // sectors of the scan that could not be read

  // Found-file counters of the scan progress: increased by the controllers on the scan's worker thread
  // as they find files, read by the progress display on another thread; zeroed for a fresh scan.
  std::atomic<std::uint64_t> foundPictures{0};
  std::atomic<std::uint64_t> foundVideos{0};
  std::atomic<std::uint64_t> foundDocuments{0};
  std::atomic<std::uint64_t> foundArchives{0};
  std::atomic<std::uint64_t> foundTotal{0};

  void ResetFoundCounters();

  // How the FAT and NTFS analyses build a tree: 0 probe (a quick check of a lost-partition
  // candidate), 1 full analysis after a lost-file scan, 2 a partition chosen by the user or a loaded
  // state. Set by the result building before each build.
  std::atomic<std::int32_t> analysisMode{2};
  // What the last probe found; ResetProbe clears them before each probe.
  std::atomic<std::uint64_t> probeFileCount{0};     // file entries the probe counted
  std::atomic<std::int32_t> probeTried{0};          // a file's content was checked
  std::atomic<std::int32_t> probePassed{0};         // and it looked like its type
  std::atomic<std::int32_t> probeStop{0};           // a passed check ended the probe
  std::atomic<std::int32_t> rootHasDirectories{0};  // the FAT probe met a directory in the root

  void ResetProbe();

 private:
  CDataBase();
  ~CDataBase();
};

}  // namespace korvex
