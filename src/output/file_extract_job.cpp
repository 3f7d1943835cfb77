// Single-file extraction with one lock per node.
#include "output/file_extract_job.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "output/recovered_file_writer.h"
#include "scan/search_sink.h"

namespace korvex {

namespace {

// The per-node locks: made when a node is first extracted, dropped when its last user leaves.
class NodeLocks {
 public:
  static NodeLocks& Instance() {
    static NodeLocks locks;
    return locks;
  }
  void Lock(const CFileNode* node) {
    std::unique_lock<std::mutex> guard(mutex_);
    Entry& entry = entries_[node];
    entry.users += 1;
    released_.wait(guard, [&] { return !entry.held; });
    entry.held = true;
  }
  void Unlock(const CFileNode* node) {
    std::lock_guard<std::mutex> guard(mutex_);
    Entry& entry = entries_[node];
    entry.held = false;
    if (--entry.users == 0)
      entries_.erase(node);
    released_.notify_all();
  }

 private:
  struct Entry {
    bool held = false;
    int users = 0;
  };
  std::mutex mutex_;
  std::condition_variable released_;
  std::map<const CFileNode*, Entry> entries_;
};

}  // namespace

void FileExtractJob::Run() {
  NodeLocks::Instance().Lock(node_);
  RecoveredFileWriter writer(nullptr, device_);
  result_ = writer.WriteFileData(node_, destination_);
  NodeLocks::Instance().Unlock(node_);
}

bool FileExtractJob::Start(bool onThread, IMessagePump* pump) {
  if (!onThread) {
    Run();
    return result_ == kWritten;
  }
  done_.store(0);
  std::thread worker([this] {
    Run();
    done_.store(1);
    done_.notify_all();
  });
  if (pump)
    pump->WaitUntilDone(done_);
  worker.join();
  return result_ == kWritten;
}

}  // namespace korvex
