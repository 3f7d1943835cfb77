// IFileRecoverCallback: the progress and cancel sink of the recovered-file writer. Every operation
// answers 0 to go on and -1 once the user has cancelled.
#pragma once

#include <cstdint>

namespace korvex {

// Result codes of every write operation.
enum RecoverResult : std::uint32_t {
  kWritten = 0,
  kFailed = 1,
  kCancelled = 2,
};

class IFileRecoverCallback {
 public:
  virtual ~IFileRecoverCallback() = default;
  // Totals of the job; the front end calls it when it starts the job, the writer never does.
  virtual int Begin(std::uint32_t files, std::uint64_t bytes) = 0;
  // n more files finished (the writer passes 1).
  virtual int FileDone(std::uint32_t n) = 0;
  virtual int BytesWritten(std::uint64_t n) = 0;
  // Takes n bytes back from the written total (the padding of an encrypted file).
  virtual int BytesWithdrawn(std::uint32_t n) = 0;
  // The file now being written.
  virtual int FileStarted(const char* name) = 0;
  // A turn for the user interface; no counter changes.
  virtual int Poll() = 0;
};

}  // namespace korvex
