// Opening the target of a lost-file scan for the scan and recover commands.
#include "cli/scan_target.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/volume_probe.h"
#include "common/database.h"
#include "platform/drive_table.h"
#include "storage/drive_list.h"

namespace korvex::cli {

OpenedTarget OpenScanTarget(const TargetChoice& choice) {
  OpenedTarget opened;
  auto& table = platform::DriveTable::Instance();
  table.Clear();
  const int number = table.AddImage(choice.target, choice.sectorSize);
  std::vector<DriveOpenFailure> failures;
  ListDrives(&failures);
  opened.drive = FindDrive(number);
  if (!opened.drive) {
    const int error = failures.empty() ? 0 : failures.front().error;
    std::fprintf(stderr, "korvex-cli: cannot open %s%s%s\n", choice.target.c_str(), error ? ": " : "",
                 error ? std::strerror(error) : "");
    opened.status = 1;
    return opened;
  }
  ListAllVolumes(VolumeAnalysers());
  CDataBase::Instance().bytesPerSector = opened.drive->GetBytesPerSector();

  const DriveTargets targets = TargetsOfDrive(*opened.drive);
  opened.target = ChooseTarget(targets, choice.volume, choice.gap);
  if (!opened.target) {
    std::fprintf(stderr,
                 "korvex-cli: %s has no %s %zu (it has %zu volumes and %zu gaps; see korvex-cli drives)\n",
                 choice.target.c_str(), choice.gap ? "gap" : "volume",
                 choice.gap ? *choice.gap : *choice.volume, targets.volumes.size(), targets.gaps.size());
    opened.status = 2;
  }
  return opened;
}

}  // namespace korvex::cli
