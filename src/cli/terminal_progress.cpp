#include "cli/terminal_progress.h"

#include <unistd.h>

#include <algorithm>

#include "common/database.h"

namespace korvex::cli {

bool CTerminalProgress::IsTerminal(std::FILE* stream) {
  return ::isatty(::fileno(stream)) == 1;
}

std::string CTerminalProgress::Line() const {
  constexpr int kWidth = 30;
  const CProgressMeter& m = Meter();
  const std::int64_t filled =
      m.BarMaximum() > 0 ? std::clamp<std::int64_t>(m.BarPosition() * kWidth / m.BarMaximum(), 0, kWidth) : 0;
  std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                     std::string(static_cast<std::size_t>(kWidth - filled), '.') + "] ";
  line += m.PercentageText() + "  " + m.SectorsDoneText() + " sectors  " + m.RemainingText();
  const std::uint64_t unreadable = CDataBase::Instance().unreadableSectors;
  if (unreadable)
    line += "  unreadable: " + std::to_string(unreadable);
  if (!StatusText().empty())
    line += "  " + StatusText();
  return line;
}

void CTerminalProgress::Show() {
  if (!live_)
    return;
  // \r and clear-to-end redraw the one line in place.
  std::fprintf(out_, "\r%s\033[K", Line().c_str());
  std::fflush(out_);
  drawn_ = true;
}

void CTerminalProgress::PrintSummary(double seconds) {
  if (drawn_)
    std::fputc('\n', out_);
  const CDataBase& db = CDataBase::Instance();
  std::fprintf(out_, "Scanned %llu blocks in %.1f s%s",
               static_cast<unsigned long long>(db.totalBlocks.load()), seconds,
               db.scanInterrupted ? " (stopped)" : "");
  if (const std::uint64_t unreadable = db.unreadableSectors) {
    std::fprintf(out_, "; %llu sectors could not be read and were scanned as zeros",
                 static_cast<unsigned long long>(unreadable));
  }
  std::fputs(".\n", out_);
  std::fflush(out_);
}

}  // namespace korvex::cli
