#include "common/database.h"

#include "storage/device.h"
#include "storage/volume_list.h"

namespace korvex {

CDataBase::CDataBase() = default;

CDataBase::~CDataBase() {
  // The volumes' devices read through the drives: release them before the drives.
  volumeList.clear();
  driveList.clear();
}

CDataBase& CDataBase::Instance() {
  static CDataBase instance;
  return instance;
}

void CDataBase::ResetFoundCounters() {
  for (auto* counter : {&foundPictures, &foundVideos, &foundDocuments, &foundArchives, &foundTotal})
    counter->store(0, std::memory_order_relaxed);
}

}  // namespace korvex
