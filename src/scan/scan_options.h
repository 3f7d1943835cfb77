// The process-wide scan options (built-in constants) and the per-scan statistics record that every
// controller receives with each block.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace korvex {

struct ScanOptions {
  static const ScanOptions& Instance();

  std::int32_t rawResultsEnabled = 1;          // the carved-file tree is built
  std::uint64_t maxSearchLength = 50'000'000;  // farthest an analyser searches for an end marker, in bytes
  std::vector<std::int32_t> enabledTypes;      // built-in type ids 1..84, in this order
  // Fourth: FAT directory analysis; seventh and eighth: FAT-copy evidence 0x80 and 0x200 of the
  // lost-partition search; ninth: the NTFS $Bitmap trace.
  std::array<std::int32_t, 11> switches = {1, 0, 0, 1, 1, 1, 1, 1, 1, 1, 0};

 private:
  ScanOptions();
};

// 36 words of per-scan statistics that the controllers may keep; all zero at the start of a scan.
struct ScanCounters {
  std::array<std::uint32_t, 36> words{};
};

}  // namespace korvex
