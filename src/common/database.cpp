#include "common/database.h"

namespace korvex {

CDataBase& CDataBase::Instance() {
  static CDataBase instance;
  return instance;
}

}  // namespace korvex
