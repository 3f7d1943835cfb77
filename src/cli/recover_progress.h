// The recovery's progress on a terminal: one line on stderr, redrawn at most once a second (files,
// bytes, rate, remaining time). Off a terminal nothing is drawn; the counters serve the summary.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "output/file_recover_callback.h"

namespace korvex::cli {

class CTerminalRecoverProgress : public IFileRecoverCallback {
 public:
  explicit CTerminalRecoverProgress(std::FILE* out, bool live) : out_(out), live_(live) {}

  int Begin(std::uint32_t files, std::uint64_t bytes) override;
  int FileDone(std::uint32_t n) override;
  int BytesWritten(std::uint64_t n) override;
  int BytesWithdrawn(std::uint32_t n) override;
  int FileStarted(const char* name) override;
  int Poll() override;

  // Ends the live line.
  void Finish();
  // The line as it would be drawn now.
  std::string Line() const;

  std::uint32_t FilesDone() const { return filesDone_; }
  std::uint64_t BytesDone() const { return bytesDone_; }
  double Seconds() const;

 private:
  void MaybeShow();

  std::FILE* out_;
  bool live_;
  bool drawn_ = false;
  std::uint32_t totalFiles_ = 0;
  std::uint64_t totalBytes_ = 0;
  std::uint32_t filesDone_ = 0;
  std::uint64_t bytesDone_ = 0;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastShown_{};
};

}  // namespace korvex::cli
