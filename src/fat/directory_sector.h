// The directory-sector classifier of the FAT scan: whether a 512-byte sector read anywhere on a
// device holds FAT directory entries, and whether it is the head of a subdirectory ("." and "..").
#pragma once

#include <cstdint>

#include "fat/fat_volume.h"

namespace korvex {

enum class DirectorySectorKind : std::uint8_t { kNone, kPlain, kSubdirectoryHead };

struct DirectorySectorInfo {
  static constexpr std::uint32_t kNoCluster = 0xFFFFFFFF;

  DirectorySectorKind kind = DirectorySectorKind::kNone;
  std::uint32_t dotCluster = kNoCluster;     // "." in the first entry
  std::uint32_t dotdotCluster = kNoCluster;  // ".." in the second entry
  std::uint32_t entries = 0;                 // entries counted (neither long-name pieces nor "."/"..")
  std::uint32_t largestCluster = 0;          // the largest first cluster of a counted entry (>= 2), or 0
  bool largestIsDirectory = false;           // that entry is a directory
};

// First cluster of an entry: the high word counts only when `withHigh` (FAT32; FAT12/16 keep other
// data at offset 20).
std::uint32_t EntryCluster(EntryView entry, bool withHigh);
// "." or ".." (name padded with spaces, empty extension, directory bit).
bool IsDotEntry(EntryView entry);
bool IsDotDotEntry(EntryView entry);

// Walks the 16 entries while each passes the strict entry test. A live entry that repeats the
// cluster of the live entry before it rejects the sector (clusters below 2, as of empty files, are
// never compared); the entry that ends the walk must be all zeros unless nothing was counted. "." and
// ".." in the first two entries make a subdirectory head whatever the rest holds.
DirectorySectorInfo ClassifyDirectorySector(SectorView sector);

}  // namespace korvex
