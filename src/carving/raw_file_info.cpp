#include "carving/raw_file_info.h"

namespace korvex {

void RawFileList::Add(const CRawFileInfo& info) {
  inOrder_.push_back(info);
  byStart_.emplace(info.startSector, &inOrder_.back());
}

void RawFileList::Clear() {
  byStart_.clear();
  inOrder_.clear();
}

const CRawFileInfo* RawFileList::FindByStart(std::uint64_t sector) const {
  auto it = byStart_.find(sector);
  return it == byStart_.end() ? nullptr : it->second;
}

}  // namespace korvex
