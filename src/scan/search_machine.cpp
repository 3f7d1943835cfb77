#include "scan/search_machine.h"

#include <algorithm>
#include <system_error>
#include <thread>

#include "common/database.h"

namespace korvex {

int CSearchMachine::Start(iSearch* sink, std::int32_t rangeMode, std::int32_t /*reserved*/,
                          std::uint64_t rangeStart, std::uint64_t rangeLength) {
  if (!sink || !device_)
    return 0;
  sink_ = sink;
  rangeMode_ = rangeMode;
  rangeStart_ = rangeStart;
  rangeLength_ = rangeLength;
  done_ = 0;
  candidates_.clear();

  std::thread worker;
  try {
    worker = std::thread([this] { ScanThread(); });
  } catch (const std::system_error&) {
    return 0;
  }
  CBlockingPump blocking;
  (pump_ ? pump_ : &blocking)->WaitUntilDone(done_);
  worker.join();

  for (IFileSystemSearchController* controller : controllers_)
    controller->CollectCandidates(candidates_, device_);
  RankCandidates(candidates_);
  sink_->SetCandidates(candidates_);
  return 1;
}

void CSearchMachine::ScanThread() {
  CDataBase& db = CDataBase::Instance();
  cache_.SetInner(device_);
  cache_.InitCache();
  for (auto* c : controllers_)
    c->Attach(&cache_);
  for (auto* c : controllers_)
    c->SetBlockSectors(kBlockSectors);
  for (auto* c : controllers_)
    c->Begin();

  const std::uint64_t sectors = cache_.GetSectorCount();
  const std::uint64_t span = rangeMode_ ? rangeLength_ : sectors;
  const std::uint64_t totalBlocks = span / kBlockSectors + (span % kBlockSectors != 0 ? 1 : 0);
  const std::uint64_t firstBlock = rangeMode_ ? (rangeStart_ + 1) / kBlockSectors : 0;
  db.totalBlocks = totalBlocks;
  db.progressTotal = db.scanMode == 1 ? totalBlocks : totalBlocks + totalBlocks / 5;
  sink_->SetRange(0, db.progressTotal);
  sink_->SetStopRequested(0);

  for (std::uint64_t k = db.resumeBlock; k < totalBlocks; ++k) {
    if (sink_->IsStopRequested()) {
      db.scanInterrupted = 1;
      db.resumeBlock = k;
      db.resumeSector = k * kBlockSectors;
      break;
    }
    const std::uint64_t block = firstBlock + k;
    const std::uint64_t first = block * kBlockSectors;
    // A block at or past the device's end (a range reaching beyond it) has nothing to show.
    if (first < sectors && cache_.LoadBlock(block)) {
      db.unreadableSectors += cache_.LastUnreadableSectors();
      const std::uint64_t count = std::min<std::uint64_t>(kBlockSectors, sectors - first);
      // The cache holds exactly this block: the controllers read it in place, without a copy.
      const std::uint8_t* bytes = cache_.GetCache();
      for (auto* c : controllers_) {
        try {
          c->ProcessBlock(bytes, first, count, &counters_);
        } catch (...) {
          break;  // the other controllers miss this block; the scan goes on
        }
      }
    }
    sink_->Progress(k, 0);
    if (!rangeMode_)
      sink_->SetCounters(&counters_);
  }

  for (auto* c : controllers_)
    c->Finish(sink_);
  db.scanInterrupted = sink_->IsStopRequested() ? 1 : 0;
  if (db.scanInterrupted == 0)
    db.resumeBlock = 0;
  done_ = 1;
  done_.notify_all();
}

}  // namespace korvex
