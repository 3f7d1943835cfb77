// FileExtractJob: one found file written to a path for the preview and the thumbnails, without a
// progress callback, under a lock of its own node so that two extractions of one node never overlap.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace korvex {

class CFileNode;
class IDevice;
class IMessagePump;

class FileExtractJob {
 public:
  FileExtractJob(IDevice* device, CFileNode* node, std::string destination)
      : device_(device), node_(node), destination_(std::move(destination)) {}

  // Runs the extraction on the calling thread, or with `onThread` on a worker while the caller waits
  // through `pump` (blocking when null). True when the file was written (result code 0).
  bool Start(bool onThread, IMessagePump* pump = nullptr);
  std::uint32_t Result() const { return result_; }

 private:
  void Run();

  IDevice* device_;
  CFileNode* node_;
  std::string destination_;
  std::uint32_t result_ = 1;
  std::atomic<std::int32_t> done_{0};
};

}  // namespace korvex
