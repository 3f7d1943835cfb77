#include "scan/search_machine.h"

#include <algorithm>
#include <system_error>
#include <thread>

#include "common/database.h"
#include "model/fat_file_attribute.h"
#include "model/file_node.h"
#include "storage/volume.h"

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

CFileSystemNode* CSearchMachine::BuildResultTree(CSearchedPartitionInfo* info, iSearch* sink,
                                                 std::uint64_t progressShare) {
  sink_ = sink;
  progressShare_ = progressShare;
  auto root = std::make_unique<CFileSystemNode>();
  auto folder = CFATFileAttribute::MakeSyntheticFolder("", file_state::kFatSynthetic);
  folder->SetClusters(1, 1);
  root->properties = folder.release();
  resultRoot_ = root.get();

  if (info && info->type == kFsRaw) {
    rawRoot_ = rawTreeBuilder_ && rawFileList_ ? rawTreeBuilder_(*rawFileList_, sink) : nullptr;
    if (rawRoot_ && rawRoot_->firstChild) {
      AddChild(root.get(), rawRoot_);
    } else if (rawRoot_) {
      ReleaseTree(rawRoot_);
      rawRoot_ = nullptr;
    }
    return root.release();
  }

  auto accepts = [&](IFileSystemSearchController* c) {
    return info && c->Accepts(static_cast<std::int32_t>(info->type));
  };
  auto it = std::find_if(controllers_.begin(), controllers_.end(), accepts);
  if (it == controllers_.end()) {
    ReleaseTree(root.release());
    resultRoot_ = nullptr;
    return nullptr;
  }
  (*it)->SetProgressShare(progressShare);
  auto [first, second] = (*it)->BuildTree(info, device_, sink);
  const bool firstUsed = first && first->firstChild;
  const bool secondUsed = second && second->firstChild;
  // Roots that bring nothing are released here, so nothing the controller returned is lost.
  for (CFileSystemNode* r : {first, second}) {
    if (r && !r->firstChild)
      ReleaseTree(r);
  }
  if (!firstUsed && !secondUsed) {
    ReleaseTree(root.release());
    resultRoot_ = nullptr;
    return nullptr;
  }
  // Each becomes the root's first child, so the second ends up in front of the first.
  if (firstUsed)
    AddChild(root.get(), first);
  if (secondUsed)
    AddChild(root.get(), second);
  return root.release();
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
