// The arithmetic behind every number a scan shows: the bar's scale, the once-a-second throttle, the
// remaining-time estimate and its text, the sectors text and the percentage. Toolkit-free, so the
// terminal and the GUI show the same figures; time comes in as milliseconds from the caller's clock.
#pragma once

#include <cstdint>
#include <string>

namespace korvex {

// Bar units for a run of `high - low` positions: 1 up to 1000 positions, else the smallest power of
// ten from 10 on that brings the range to 1000 units or fewer.
std::uint64_t ProgressDivisor(std::uint64_t low, std::uint64_t high);

// "Remaining time: " followed by the estimate in words, spaces exactly as the dialog shows them.
std::string RemainingTimeText(std::int64_t estimateMs);
// "<done> / <total>" with done = min(position × 999, total), 0 at position 0.
std::string SectorsText(std::uint64_t position, std::uint64_t totalSectors);
// trunc(position / progressTotal × 100) followed by "%", in single precision.
std::string PercentText(std::uint64_t position, std::uint64_t progressTotal);

class CProgressMeter {
 public:
  // A new run: scale from the range, clock restarted.
  void SetRange(std::uint64_t low, std::uint64_t high, std::uint64_t nowMs);
  // One Progress call; false when the throttle drops it (less than a second since the last update
  // and not forced). When true, the texts below are fresh.
  bool Update(std::uint64_t position, bool force, std::uint64_t nowMs, std::uint64_t totalSectors,
              std::uint64_t progressTotal);

  std::uint64_t Divisor() const { return divisor_; }
  std::int64_t BarMaximum() const { return barMaximum_; }
  std::int64_t BarPosition() const { return barPosition_; }
  std::int64_t EstimateMs() const { return estimateMs_; }
  const std::string& RemainingText() const { return remainingText_; }
  const std::string& SectorsDoneText() const { return sectorsText_; }
  const std::string& PercentageText() const { return percentText_; }

 private:
  std::uint64_t divisor_ = 1;
  std::int64_t barMaximum_ = 0;
  std::int64_t barPosition_ = 0;
  std::uint64_t startMs_ = 0;
  bool started_ = false;
  bool updatedOnce_ = false;
  std::uint64_t lastUpdateMs_ = 0;
  std::int64_t estimateMs_ = 0;
  std::string remainingText_ = RemainingTimeText(0);
  std::string sectorsText_;
  std::string percentText_;
};

}  // namespace korvex
