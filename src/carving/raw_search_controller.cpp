#include "carving/raw_search_controller.h"

#include <cstring>

#include "common/database.h"
#include "model/file_type_catalogue.h"
#include "scan/scan_options.h"

namespace korvex {

void CountFind(std::uint32_t type) {
  CDataBase& db = CDataBase::Instance();
  ++db.foundTotal;
  switch (FileTypeCatalogue::Instance().GetCounter(type)) {
    case FoundCounter::kPictures:
      ++db.foundPictures;
      break;
    case FoundCounter::kVideos:
      ++db.foundVideos;
      break;
    case FoundCounter::kDocuments:
      ++db.foundDocuments;
      break;
    case FoundCounter::kArchives:
      ++db.foundArchives;
      break;
    case FoundCounter::kNone:
      break;
  }
}

void CRAWSearchController::Begin() {
  registry_->Rebuild(ScanOptions::Instance().enabledTypes);
}

int CRAWSearchController::ProcessBlock(const std::uint8_t* block, std::uint64_t first, std::uint64_t count,
                                       ScanCounters*) {
  if (registry_->Empty())
    return 1;
  const std::uint32_t sectorSize = CDataBase::Instance().bytesPerSector;
  if (sectorSize < 512)
    return 1;
  // Only the first 512 bytes of each device sector are offered; a unit starting with four zero
  // bytes costs one comparison.
  for (std::uint64_t s = 0; s < count; ++s) {
    const std::uint8_t* unit = block + s * sectorSize;
    std::uint32_t head;
    std::memcpy(&head, unit, sizeof head);
    if (head != 0)
      ExamineSector(unit, first + s);
  }
  return 1;
}

void CRAWSearchController::ExamineSector(const std::uint8_t* unit, std::uint64_t sector) {
  for (IRawFileAnalyser* analyser : registry_->CandidatesFor(unit[0])) {
    CRawFileInfo info;
    bool accepted = false;
    try {
      accepted = analyser->CheckSignature(unit, info) != 0;
    } catch (...) {
      accepted = false;  // a check that throws counts as no
    }
    if (!accepted)
      continue;
    info.startSector = sector;
    info.analyser = analyser;
    info.analyserType = static_cast<std::uint32_t>(analyser->TypeId()) & 0xFFFF;
    // The first analyser that accepts claims the sector, even when its size step then fails; a size
    // step that throws has failed.
    if (info.size == 0) {
      bool sized = false;
      try {
        sized = device_ && analyser->DetermineSize(info, *device_) != 0;
      } catch (...) {
        sized = false;
      }
      if (!sized)
        return;
    }
    if (list_)
      list_->Add(info);
    CountFind(info.type);
    return;
  }
}

}  // namespace korvex
