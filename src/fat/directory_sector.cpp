#include "fat/directory_sector.h"

#include <algorithm>
#include <cstring>

namespace korvex {

namespace {
bool NameIs(EntryView e, const char (&name)[12]) {
  return std::memcmp(e.data(), name, 11) == 0 && (e[fat_entry::kAttribute] & fat_entry::kAttrDirectory) != 0;
}
}  // namespace

std::uint32_t EntryCluster(EntryView e, bool withHigh) {
  const std::uint32_t low = Le16(e, fat_entry::kClusterLow);
  return withHigh ? (std::uint32_t{Le16(e, fat_entry::kClusterHigh)} << 16) | low : low;
}

bool IsDotEntry(EntryView e) {
  return NameIs(e, ".          ");
}
bool IsDotDotEntry(EntryView e) {
  return NameIs(e, "..         ");
}

DirectorySectorInfo ClassifyDirectorySector(SectorView sector) {
  DirectorySectorInfo info;
  constexpr std::size_t kEntries = kFatSectorSize / fat_entry::kSize;
  bool dot = false, dotdot = false, rejected = false;
  std::uint32_t previousLive = 0;
  std::size_t i = 0;
  for (; i < kEntries; ++i) {
    const EntryView e(sector.data() + i * fat_entry::kSize, fat_entry::kSize);
    if (!IsValidEntry(e, true))
      break;
    if (e[fat_entry::kAttribute] == fat_entry::kAttrLongName)
      continue;
    const std::uint32_t cluster = EntryCluster(e, true);
    if (i == 0 && IsDotEntry(e)) {
      dot = true;
      info.dotCluster = cluster;
      continue;
    }
    if (i == 1 && dot && IsDotDotEntry(e)) {
      dotdot = true;
      info.dotdotCluster = cluster;
      continue;
    }
    if (e[0] != fat_entry::kDeleted) {
      if (cluster >= 2 && cluster == previousLive)
        rejected = true;
      previousLive = cluster;
    }
    ++info.entries;
    if (cluster >= 2 && cluster > info.largestCluster) {
      info.largestCluster = cluster;
      info.largestIsDirectory = (e[fat_entry::kAttribute] & fat_entry::kAttrDirectory) != 0;
    }
  }
  if (i < kEntries) {
    const std::uint8_t* end = sector.data() + i * fat_entry::kSize;
    if (info.entries == 0 && !(dot && dotdot))
      rejected = true;
    else if (std::any_of(end, end + fat_entry::kSize, [](std::uint8_t b) { return b != 0; }))
      rejected = true;
  }
  if (dot && dotdot) {
    info.kind = DirectorySectorKind::kSubdirectoryHead;
  } else {
    info.dotCluster = info.dotdotCluster = DirectorySectorInfo::kNoCluster;
    info.kind = info.entries && !rejected ? DirectorySectorKind::kPlain : DirectorySectorKind::kNone;
  }
  return info;
}

}  // namespace korvex
