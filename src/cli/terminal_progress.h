// The scan's progress on a terminal: one line on stderr, redrawn at most once a second (bar,
// percentage, sectors, remaining time, found files). Off a terminal only the final summary is shown.
#pragma once

#include <cstdio>
#include <string>

#include "scan/progress_sink.h"

namespace korvex::cli {

class CTerminalProgress : public CSearchProgress {
 public:
  // `out` is where the line goes; `live` whether to draw it while the scan runs (a terminal).
  explicit CTerminalProgress(std::FILE* out = stderr, bool live = IsTerminal(stderr))
      : out_(out), live_(live) {}

  // Ends the live line and prints the summary of the scan.
  void PrintSummary(double seconds);

  // The live line as it would be drawn now.
  std::string Line() const;

  static bool IsTerminal(std::FILE* stream);

 protected:
  void Show() override;

 private:
  std::FILE* out_;
  bool live_;
  bool drawn_ = false;
};

}  // namespace korvex::cli
