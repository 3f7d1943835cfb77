// The target of a lost-file scan from the command line, shared by `scan` and `recover`: the image or
// device added to the drive table, listed with its volumes, and the volume, gap or whole drive chosen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "app/lost_file_scan.h"

namespace korvex::cli {

struct TargetChoice {
  std::string target;
  std::uint32_t sectorSize = 512;
  std::optional<std::size_t> volume;
  std::optional<std::size_t> gap;
};

struct OpenedTarget {
  CDevice* drive = nullptr;
  std::optional<ScanTarget> target;
  // 0 when both are set; else the exit status, with the message already printed on stderr.
  int status = 0;
};

OpenedTarget OpenScanTarget(const TargetChoice& choice);

}  // namespace korvex::cli
