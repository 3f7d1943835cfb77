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

}  // namespace korvex
