#include "common/database.h"

namespace korvex {

CDataBase::CDataBase() = default;

CDataBase::~CDataBase() = default;

CDataBase& CDataBase::Instance() {
  static CDataBase instance;
  return instance;
}

void CDataBase::ResetFoundCounters() {
  for (auto* counter : {&foundPictures, &foundVideos, &foundDocuments, &foundArchives, &foundTotal})
    counter->store(0, std::memory_order_relaxed);
}

void CDataBase::ResetProbe() {
  probeFileCount = 0;
  probeTried = 0;
  probePassed = 0;
  probeStop = 0;
  rootHasDirectories = 0;
}

}  // namespace korvex
