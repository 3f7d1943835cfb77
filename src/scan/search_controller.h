// The interface of the FAT, NTFS and RAW controllers, which see every block of a scan, and of the
// container that takes them.
#pragma once

#include <cstdint>
#include <utility>

#include "scan/partition_info.h"
#include "scan/scan_options.h"

namespace korvex {

class IDevice;
class iSearch;
class IByteStream;
class RawFileList;
class CFileSystemNode;

// The two folders a file-system analysis yields ("Normal Files" and "Unnormal Files"), or nulls.
using TreeRoots = std::pair<CFileSystemNode*, CFileSystemNode*>;

enum ControllerKind : std::int32_t { kControllerNtfs = 0, kControllerFat = 1, kControllerRaw = 2 };

class IFileSystemSearchController {
 public:
  virtual ~IFileSystemSearchController() = default;
  virtual void Attach(IDevice* device) = 0;
  virtual void SetBlockSectors(std::uint32_t sectors) = 0;
  virtual void Begin() = 0;
  virtual void Finish(iSearch* sink) = 0;
  // Examines `count` sectors starting at `first`; the bytes are valid only during the call.
  virtual int ProcessBlock(const std::uint8_t* block, std::uint64_t first, std::uint64_t count,
                           ScanCounters* counters) = 0;
  virtual std::int32_t GetKind() = 0;
  virtual void CollectCandidates(CandidateList& candidates, IDevice* device) = 0;
  virtual void SetRawFileList(RawFileList* list) = 0;
  virtual void SetProgressShare(std::uint64_t units) = 0;
  virtual void Save(IByteStream& stream) = 0;
  virtual void Load(IByteStream& stream) = 0;
  virtual TreeRoots BuildTree(CSearchedPartitionInfo* info, IDevice* device, iSearch* sink) = 0;
  virtual int Accepts(std::int32_t fileSystemType) = 0;
};

class IContainerofFileSystemSearchController {
 public:
  virtual ~IContainerofFileSystemSearchController() = default;
  virtual void AddController(IFileSystemSearchController* controller) = 0;
};

}  // namespace korvex
