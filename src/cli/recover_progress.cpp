// The terminal progress line of korvex-cli recover.
#include "cli/recover_progress.h"

#include <cmath>

#include "storage/volume_entry.h"

namespace korvex::cli {

int CTerminalRecoverProgress::Begin(std::uint32_t files, std::uint64_t bytes) {
  totalFiles_ = files;
  totalBytes_ = bytes;
  start_ = std::chrono::steady_clock::now();
  return 0;
}

int CTerminalRecoverProgress::FileDone(std::uint32_t n) {
  filesDone_ += n;
  MaybeShow();
  return 0;
}

int CTerminalRecoverProgress::BytesWritten(std::uint64_t n) {
  bytesDone_ += n;
  MaybeShow();
  return 0;
}

int CTerminalRecoverProgress::BytesWithdrawn(std::uint32_t n) {
  bytesDone_ -= std::min<std::uint64_t>(n, bytesDone_);
  return 0;
}

int CTerminalRecoverProgress::FileStarted(const char*) {
  return 0;
}

int CTerminalRecoverProgress::Poll() {
  return 0;
}

double CTerminalRecoverProgress::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

std::string CTerminalRecoverProgress::Line() const {
  const double seconds = Seconds();
  const double rate = seconds > 0 ? static_cast<double>(bytesDone_) / seconds : 0;
  std::string line = "Recovering " + std::to_string(filesDone_) + "/" + std::to_string(totalFiles_) +
                     " files  " + SizeText(bytesDone_) + " of " + SizeText(totalBytes_) + "  " +
                     SizeText(static_cast<std::uint64_t>(rate)) + "/s";
  if (rate > 0 && totalBytes_ > bytesDone_) {
    const auto left =
        static_cast<std::uint64_t>(std::ceil(static_cast<double>(totalBytes_ - bytesDone_) / rate));
    char text[32];
    std::snprintf(text, sizeof text, "  %llu:%02llu left", static_cast<unsigned long long>(left / 60),
                  static_cast<unsigned long long>(left % 60));
    line += text;
  }
  return line;
}

void CTerminalRecoverProgress::MaybeShow() {
  if (!live_)
    return;
  const auto now = std::chrono::steady_clock::now();
  if (drawn_ && now - lastShown_ < std::chrono::seconds(1))
    return;
  lastShown_ = now;
  std::fprintf(out_, "\r%s\033[K", Line().c_str());
  std::fflush(out_);
  drawn_ = true;
}

void CTerminalRecoverProgress::Finish() {
  if (drawn_) {
    std::fprintf(out_, "\r%s\033[K\n", Line().c_str());
    std::fflush(out_);
  }
}

}  // namespace korvex::cli
