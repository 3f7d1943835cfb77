#include "scan/scan_options.h"

#include <numeric>

namespace korvex {

ScanOptions::ScanOptions() : enabledTypes(84) {
  std::iota(enabledTypes.begin(), enabledTypes.end(), 1);
}

const ScanOptions& ScanOptions::Instance() {
  static const ScanOptions options;
  return options;
}

}  // namespace korvex
