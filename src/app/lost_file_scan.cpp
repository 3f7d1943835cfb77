#include "app/lost_file_scan.h"

#include "carving/raw_tree_builder.h"
#include "common/database.h"
#include "model/file_node.h"

namespace korvex {

DriveTargets TargetsOfDrive(CDevice& drive) {
  DriveTargets targets;
  targets.drive = &drive;
  targets.volumes = VolumesOfDrive(drive.GetDriveNumber());
  std::vector<VolumeExtent> extents;
  for (const ListedVolume* v : targets.volumes)
    extents.push_back(v->entry.extents[0]);
  int counter = 0;
  targets.gaps = ListUnallocatedGaps(extents, drive.GetSectorCount(), drive.GetBytesPerSector(), counter);
  return targets;
}

std::optional<ScanTarget> ChooseTarget(const DriveTargets& targets, std::optional<std::size_t> volume,
                                       std::optional<std::size_t> gap) {
  ScanTarget target;
  if (gap) {
    if (*gap < 1 || *gap > targets.gaps.size())
      return std::nullopt;
    const UnallocatedGap& g = targets.gaps[*gap - 1];
    target.description = g.name;
    target.device = targets.drive;
    target.range = true;
    target.rangeStart = g.startSector;
    target.rangeLength = g.sectorCount;
    return target;
  }
  if (volume || targets.volumes.size() == 1) {
    const std::size_t n = volume.value_or(1);
    if (n < 1 || n > targets.volumes.size())
      return std::nullopt;
    const ListedVolume& v = *targets.volumes[n - 1];
    target.description = VolumeDisplayName(v.entry);
    target.device = v.volumeDevice.get();
    target.fileSystemType = v.entry.fsType;
    return target;
  }
  target.description = "the whole drive";
  target.device = targets.drive;
  return target;
}

std::vector<std::unique_ptr<IFileSystemSearchController>> MakeFileSystemControllers(
    std::uint32_t /*bytesPerSector*/, RawFileList& /*finds*/) {
  std::vector<std::unique_ptr<IFileSystemSearchController>> controllers;
  // FAT first, then NTFS: each is pushed here when its analysis is built.
  return controllers;
}

CLostFileScan::CLostFileScan(std::uint32_t bytesPerSector, bool fileSystems) {
  if (fileSystems)
    fileSystems_ = MakeFileSystemControllers(bytesPerSector, finds_);
  for (auto& c : fileSystems_) {
    c->SetRawFileList(&finds_);
    machine_.AddController(c.get());
  }
  raw_.SetRawFileList(&finds_);
  machine_.AddController(&raw_);
  machine_.SetRawFileList(&finds_);
  machine_.SetRawTreeBuilder(
      [](const RawFileList& list, iSearch* sink) { return RawTreeBuilder().Build(list, sink); });
}

CLostFileScan::~CLostFileScan() = default;

bool CLostFileScan::Run(const ScanTarget& target, iSearch& sink, IMessagePump* pump, std::int32_t scanMode) {
  CDataBase& db = CDataBase::Instance();
  db.scanMode = scanMode;
  db.resumeBlock = 0;
  db.scanInterrupted = 0;
  db.unreadableSectors = 0;
  db.ResetFoundCounters();
  finds_.Clear();
  machine_.SetDevice(target.device);
  machine_.SetMessagePump(pump);
  return machine_.Start(&sink, target.range ? 1 : 0, 0, target.rangeStart, target.rangeLength) != 0;
}

CFileSystemNode* CLostFileScan::BuildRawTree(iSearch* sink) {
  CSearchedPartitionInfo raw;
  raw.type = kFsRaw;
  return machine_.BuildResultTree(&raw, sink, 0);
}

}  // namespace korvex
