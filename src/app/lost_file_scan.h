// The lost-file scan that both front ends run: a target chosen among a drive's volumes and gaps,
// the controllers made for it, one run of the search machine, and the tree of what was found.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "carving/raw_file_info.h"
#include "carving/raw_search_controller.h"
#include "scan/search_machine.h"
#include "storage/volume_list.h"

namespace korvex {

class CFileSystemNode;

// What a scan reads: a volume's device, or a drive (whole, or a range of it for a gap).
struct ScanTarget {
  std::string description;
  IDevice* device = nullptr;
  std::int32_t fileSystemType = kFsRaw;
  bool range = false;
  std::uint64_t rangeStart = 0;
  std::uint64_t rangeLength = 0;
  std::uint64_t SectorsToScan() const { return range ? rangeLength : device ? device->GetSectorCount() : 0; }
};

// The volumes and gaps of a listed drive, as the drive list shows them.
struct DriveTargets {
  CDevice* drive = nullptr;
  std::vector<const ListedVolume*> volumes;
  std::vector<UnallocatedGap> gaps;
};
DriveTargets TargetsOfDrive(CDevice& drive);

// The target of a lost-file scan: volume `volume` (1-based) or gap `gap` (1-based) when given, else
// the only volume of a drive that has one, else the whole drive. Nothing when the number is not there.
std::optional<ScanTarget> ChooseTarget(const DriveTargets& targets, std::optional<std::size_t> volume,
                                       std::optional<std::size_t> gap);

// The file-system controllers of a scan, in the order the blocks are shown to them: FAT, then NTFS.
// The RAW controller comes after them and is CLostFileScan's own. A controller's analysis finds the
// carved files through `finds` and checks contents through the output layer.
std::vector<std::unique_ptr<IFileSystemSearchController>> MakeFileSystemControllers(
    std::uint32_t bytesPerSector, RawFileList& finds);

class CLostFileScan {
 public:
  // With `fileSystems` false only the RAW controller takes part (the carved files alone).
  explicit CLostFileScan(std::uint32_t bytesPerSector = 512, bool fileSystems = true);
  ~CLostFileScan();

  // A fresh scan of `target` with progress to `sink`, waiting through `pump` (blocking when null).
  // False when the scan could not be started.
  // `scanMode` 0 lost files, 1 lost partitions.
  bool Run(const ScanTarget& target, iSearch& sink, IMessagePump* pump = nullptr, std::int32_t scanMode = 0);
  // The tree of the carved files under a synthetic root (owned by the caller; release it with
  // ReleaseTree).
  CFileSystemNode* BuildRawTree(iSearch* sink);

  const RawFileList& Finds() const { return finds_; }
  CSearchMachine& Machine() { return machine_; }

 private:
  CSearchMachine machine_;
  std::vector<std::unique_ptr<IFileSystemSearchController>> fileSystems_;
  CRAWSearchController raw_;
  RawFileList finds_;
};

}  // namespace korvex
