// The figures a scan shows: bar scale, throttle, remaining-time texts, sectors and percentage.
#include <gtest/gtest.h>

#include "model/byte_stream.h"
#include "scan/callback_progress.h"
#include "scan/partition_info.h"
#include "scan/progress_meter.h"

namespace korvex {
namespace {

TEST(ProgressMeter, Divisor) {
  const std::pair<std::uint64_t, std::uint64_t> cases[] = {
      {500, 1},     {1000, 1},     {1001, 10},      {5000, 10},
      {10'001, 10}, {10'010, 100}, {123'456, 1000}, {3'000'000, 10'000},
  };
  for (auto [range, divisor] : cases)
    EXPECT_EQ(ProgressDivisor(0, range), divisor) << range;
  EXPECT_EQ(ProgressDivisor(10, 5), 1u) << "a negative range";

  CProgressMeter meter;
  meter.SetRange(0, 3'000'000, 0);
  EXPECT_EQ(meter.BarMaximum(), 300);
  meter.SetRange(0, 500, 0);
  EXPECT_EQ(meter.BarMaximum(), 500);
}

TEST(ProgressMeter, RemainingTimeTexts) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "Remaining time:  calculating..."},           {3'600'000, "Remaining time: more than 1 hour"},
      {7'300'000, "Remaining time: more than 2 hours"}, {3'599'900, "Remaining time: about  59  minutes"},
      {420'000, "Remaining time: about  7  minutes"},   {59'900, "Remaining time:   less than 1 minute"},
  };
  for (auto [estimate, text] : cases)
    EXPECT_EQ(RemainingTimeText(estimate), text) << estimate;
}

TEST(ProgressMeter, SectorsAndPercentage) {
  EXPECT_EQ(SectorsText(5, 100'000), "4995 / 100000");
  EXPECT_EQ(SectorsText(0, 100'000), "0 / 100000");
  EXPECT_EQ(SectorsText(200, 100'000), "100000 / 100000") << "never more than the total";
  EXPECT_EQ(PercentText(99, 120), "82%");
  EXPECT_EQ(PercentText(99, 100), "99%");
  EXPECT_EQ(PercentText(5, 0), "0%");
}

TEST(ProgressMeter, ThrottleAndEstimate) {
  CProgressMeter meter;
  meter.SetRange(0, 100, 0);
  EXPECT_TRUE(meter.Update(0, false, 1000, 100'000, 100));
  EXPECT_EQ(meter.RemainingText(), "Remaining time:  calculating...") << "no block done yet";
  EXPECT_FALSE(meter.Update(1, false, 1400, 100'000, 100)) << "400 ms after the last update";
  EXPECT_TRUE(meter.Update(1, true, 1500, 100'000, 100)) << "forced";
  // 10 of 100 blocks in 10 s: 90 blocks to go take 90 s.
  EXPECT_TRUE(meter.Update(10, false, 11'000, 100'000, 100));
  EXPECT_EQ(meter.EstimateMs(), 90'000);
  EXPECT_EQ(meter.RemainingText(), "Remaining time: about  1  minutes");
  EXPECT_EQ(meter.SectorsDoneText(), "9990 / 100000");
  EXPECT_EQ(meter.PercentageText(), "10%");
  EXPECT_EQ(meter.BarPosition(), 10);
}

TEST(Ranking, LogarithmicScoresAndStableOrder) {
  CandidateList candidates;
  auto add = [&](std::int64_t match, std::int64_t boot, std::int64_t files, const char* name) {
    auto c = std::make_unique<CSearchedPartitionInfo>();
    c->matchCount = match;
    c->bootScore = boot;
    c->fileCount = files;
    c->name = name;
    candidates.push_back(std::move(c));
  };
  add(0, 0, 0, "nothing");
  add(0, 100, 0, "hundred");
  add(20, 0, 0, "thousand");      // 50 × 20
  add(0, 60, 40, "hundred too");  // equal to "hundred": stays behind it
  RankCandidates(candidates);
  ASSERT_EQ(candidates.size(), 4u);
  EXPECT_EQ(candidates[0]->name, "thousand");
  EXPECT_DOUBLE_EQ(candidates[0]->score, 1.0);
  EXPECT_EQ(candidates[1]->name, "hundred");
  EXPECT_NEAR(candidates[1]->score, 0.667, 0.001);
  EXPECT_EQ(candidates[2]->name, "hundred too");
  EXPECT_EQ(candidates[3]->name, "nothing");
  EXPECT_DOUBLE_EQ(candidates[3]->score, 0.0);

  CandidateList none;
  RankCandidates(none);
  EXPECT_TRUE(none.empty());
}

TEST(PartitionInfo, SavedFormRoundTrips) {
  CSearchedPartitionInfo info;
  info.type = 3;
  info.sectorsPerCluster = 8;
  info.name = "Partition1";
  info.clusterBase = 0x1'0000'2000;
  info.partitionStart = 2048;
  info.fileCount = 12;
  info.matchCount = -1;
  info.reserved3 = 7;
  info.totalSectors = 0x1'2345'6789;  // saved as its low 32 bits
  info.bootScore = 95;
  info.score = 0.6666;
  CMemoryByteStream stream;
  info.Save(stream);
  EXPECT_EQ(stream.Bytes().size(), 4u + 1 + 6 * 8 + 4 + 4 + 8 + 8);
  CSearchedPartitionInfo back;
  back.Load(stream);
  EXPECT_EQ(back.type, 3u);
  EXPECT_EQ(back.sectorsPerCluster, 8);
  EXPECT_EQ(back.name, "") << "names are not saved";
  EXPECT_EQ(back.clusterBase, info.clusterBase);
  EXPECT_EQ(back.partitionStart, 2048u);
  EXPECT_EQ(back.fileCount, 12);
  EXPECT_EQ(back.matchCount, -1);
  EXPECT_EQ(back.reserved3, 7u);
  EXPECT_EQ(back.totalSectors, 0x2345'6789u);
  EXPECT_EQ(back.bootScore, 95);
  EXPECT_DOUBLE_EQ(back.score, 0.6666);
  EXPECT_EQ(stream.Remaining(), 0u);
  EXPECT_THROW(back.Load(stream), IRSException) << "a short stream";
}

}  // namespace
}  // namespace korvex

namespace korvex {
namespace {

TEST(Callback, BarFollowsStepsAndCompletes) {
  CCallback callback;
  callback.BeginProgress("ignored", 10);
  EXPECT_EQ(callback.BarMaximum(), 10);
  callback.StepProgress(3);
  callback.StepProgress(4);
  EXPECT_EQ(callback.BarPosition(), 7);
  EXPECT_EQ(callback.StepCount(), 7);
  callback.SetProgress(2);
  EXPECT_EQ(callback.BarPosition(), 2);
  EXPECT_EQ(callback.StepCount(), 8) << "SetProgress counts as one step";
  callback.StepProgress(50);
  EXPECT_EQ(callback.BarPosition(), 10) << "a bar does not pass its end";
  callback.CompleteProgress();
  EXPECT_EQ(callback.BarPosition(), 10);
  EXPECT_EQ(callback.Maximum(), 0);
  EXPECT_EQ(callback.StepCount(), 0);
}

}  // namespace
}  // namespace korvex
