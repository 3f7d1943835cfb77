// CSearchMachine reads a device once, in blocks of 1000 sectors on a worker thread, shows every block
// to its controllers in order, honours stop requests between blocks so that a scan can be resumed,
// and afterwards collects and ranks the lost-partition candidates.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "scan/partition_info.h"
#include "scan/scan_options.h"
#include "scan/search_controller.h"
#include "scan/search_sink.h"
#include "storage/device.h"

namespace korvex {

class CSearchMachine : public IContainerofFileSystemSearchController {
 public:
  static constexpr std::uint32_t kBlockSectors = CStorageDeviceWithCache::kBlockSectors;

  CSearchMachine() = default;
  CSearchMachine(const CSearchMachine&) = delete;
  CSearchMachine& operator=(const CSearchMachine&) = delete;

  // Appends a controller; the machine does not own it.
  void AddController(IFileSystemSearchController* controller) override { controllers_.push_back(controller); }
  void SetDevice(IDevice* device) { device_ = device; }
  IDevice* GetDevice() const { return device_; }
  void SetRawFileList(RawFileList* list) { rawFileList_ = list; }
  RawFileList* GetRawFileList() const { return rawFileList_; }
  // How the calling thread waits while the worker runs; the blocking pump when none is set.
  void SetMessagePump(IMessagePump* pump) { pump_ = pump; }

  // One run over the device (or over [rangeStart, rangeStart + rangeLength) when rangeMode is
  // nonzero), from resumeBlock of CDataBase on. Waits through the pump, then collects and ranks the
  // candidates and hands them to the sink. 0 when the worker cannot be started.
  int Start(iSearch* sink, std::int32_t rangeMode, std::int32_t reserved, std::uint64_t rangeStart,
            std::uint64_t rangeLength);

  const CandidateList& Candidates() const { return candidates_; }
  CandidateList& Candidates() { return candidates_; }
  const ScanCounters& Counters() const { return counters_; }
  const std::vector<IFileSystemSearchController*>& Controllers() const { return controllers_; }

 private:
  void ScanThread();

  std::vector<IFileSystemSearchController*> controllers_;
  IDevice* device_ = nullptr;
  RawFileList* rawFileList_ = nullptr;
  IMessagePump* pump_ = nullptr;
  ScanCounters counters_;
  CandidateList candidates_;
  iSearch* sink_ = nullptr;
  std::atomic<std::int32_t> done_{0};
  CStorageDeviceWithCache cache_;
  std::int32_t rangeMode_ = 0;
  std::uint64_t rangeStart_ = 0;
  std::uint64_t rangeLength_ = 0;
};

}  // namespace korvex
