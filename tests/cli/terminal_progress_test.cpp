// The terminal sink: one redrawn line on a terminal, only the summary elsewhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "cli/terminal_progress.h"
#include "common/database.h"

namespace korvex::cli {
namespace {

class ClockedProgress : public CTerminalProgress {
 public:
  using CTerminalProgress::CTerminalProgress;
  std::uint64_t now = 0;

 protected:
  std::uint64_t NowMs() override { return now; }
};

std::string Written(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  for (int c; (c = std::fgetc(f)) != EOF;)
    text += static_cast<char>(c);
  return text;
}

TEST(TerminalProgress, RedrawsOneLineAtMostOnceASecond) {
  CDataBase& db = CDataBase::Instance();
  db.progressTotal = 100;
  db.totalBlocks = 100;
  db.unreadableSectors = 3;
  db.scanInterrupted = 0;
  std::FILE* out = std::tmpfile();
  ClockedProgress sink(out, true);
  sink.SetTotalSectors(100'000);
  sink.SetRange(0, 100);
  sink.now = 1000;
  sink.Progress(0, 0);
  sink.now = 1500;
  sink.Progress(1, 0);  // throttled
  sink.now = 11'000;
  sink.Progress(50, 0);
  EXPECT_EQ(
      sink.Line(),
      "[###############...............] 50%  49950 / 100000 sectors  Remaining time:   less than 1 minute"
      "  unreadable: 3");
  sink.PrintSummary(12.0);
  const std::string text = Written(out);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 2) << text;
  EXPECT_NE(text.find("Scanned 100 blocks in 12.0 s; 3 sectors could not be read"), std::string::npos)
      << text;
  std::fclose(out);
  db.unreadableSectors = 0;
}

TEST(TerminalProgress, OffATerminalOnlyTheSummary) {
  CDataBase::Instance().totalBlocks = 7;
  std::FILE* out = std::tmpfile();
  ClockedProgress sink(out, false);
  sink.SetRange(0, 7);
  sink.Progress(3, 1);
  sink.PrintSummary(0.5);
  EXPECT_EQ(Written(out), "Scanned 7 blocks in 0.5 s.\n");
  std::fclose(out);
}

}  // namespace
}  // namespace korvex::cli
