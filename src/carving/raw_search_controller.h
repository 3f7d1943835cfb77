// CRAWSearchController: the signature search. Every device sector start of every block is offered to
// the analysers in registry order; the first that accepts it claims it and sizes the file.
#pragma once

#include <cstdint>

#include "carving/analyser_registry.h"
#include "carving/raw_file_info.h"
#include "scan/search_controller.h"

namespace korvex {

class CRAWSearchController : public IFileSystemSearchController {
 public:
  // Uses the process-wide registry unless given another one.
  explicit CRAWSearchController(AnalyserRegistry* registry = nullptr)
      : registry_(registry ? registry : &AnalyserRegistry::Instance()) {}

  void Attach(IDevice* device) override { device_ = device; }
  void SetBlockSectors(std::uint32_t sectors) override { blockSectors_ = sectors; }
  // Rebuilds the registry from the enabled types.
  void Begin() override;
  void Finish(iSearch*) override {}
  int ProcessBlock(const std::uint8_t* block, std::uint64_t first, std::uint64_t count,
                   ScanCounters* counters) override;
  std::int32_t GetKind() override { return kControllerRaw; }
  void CollectCandidates(CandidateList&, IDevice*) override {}
  void SetRawFileList(RawFileList* list) override { list_ = list; }
  void SetProgressShare(std::uint64_t) override {}
  void Save(IByteStream&) override {}
  void Load(IByteStream&) override {}
  TreeRoots BuildTree(CSearchedPartitionInfo*, IDevice*, iSearch*) override { return {nullptr, nullptr}; }
  int Accepts(std::int32_t) override { return 0; }

 private:
  // Offers one sector start to the analysers; the find when one claimed and sized it.
  void ExamineSector(const std::uint8_t* unit, std::uint64_t sector);

  AnalyserRegistry* registry_;
  IDevice* device_ = nullptr;
  std::uint32_t blockSectors_ = 0;
  RawFileList* list_ = nullptr;
};

// Increases the found-file counters for an accepted find of `type`.
void CountFind(std::uint32_t type);

}  // namespace korvex
