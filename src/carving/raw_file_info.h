// One carved find (start sector, size, type) and the RAW result list that keeps the finds in the
// order of discovery and by start sector.
#pragma once

#include <cstdint>
#include <deque>
#include <map>

namespace korvex {

class IRawFileAnalyser;

struct CRawFileInfo {
  static constexpr std::uint32_t kUnclaimed = 0xFFFF;

  std::uint64_t startSector = 0;  // in the sector numbering of the scanned device
  std::uint64_t size = 0;         // bytes; 0 until an analyser sets it
  std::uint32_t type = 0;         // catalogue id, possibly refined by the analyser
  std::uint32_t analyserType = kUnclaimed;
  IRawFileAnalyser* analyser = nullptr;  // not owned; null after a recovery state is loaded
};

class RawFileList {
 public:
  // Appends a find; the by-start index keeps the first find of each start sector.
  void Add(const CRawFileInfo& info);
  void Clear();

  std::size_t Size() const { return inOrder_.size(); }
  bool Empty() const { return inOrder_.empty(); }
  // Finds in the order of discovery.
  const std::deque<CRawFileInfo>& InOrder() const { return inOrder_; }
  // The find that starts at `sector`, or null.
  const CRawFileInfo* FindByStart(std::uint64_t sector) const;
  // Finds by ascending start sector, one per start sector.
  const std::map<std::uint64_t, const CRawFileInfo*>& ByStart() const { return byStart_; }

 private:
  std::deque<CRawFileInfo> inOrder_;  // a deque keeps the index's pointers valid as it grows
  std::map<std::uint64_t, const CRawFileInfo*> byStart_;
};

}  // namespace korvex
