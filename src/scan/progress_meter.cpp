#include "scan/progress_meter.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace korvex {

std::uint64_t ProgressDivisor(std::uint64_t low, std::uint64_t high) {
  const auto d = static_cast<std::int64_t>(high - low);
  if (d <= 1000)
    return 1;
  std::uint64_t divisor = 10;
  while (static_cast<std::uint64_t>(d) / divisor > 1000)
    divisor *= 10;
  return divisor;
}

std::string RemainingTimeText(std::int64_t estimateMs) {
  std::string text = "Remaining time: ";
  if (estimateMs == 0)
    return text + " calculating...";
  const std::int64_t hours = estimateMs / 3'600'000;
  const std::int64_t minutes = (estimateMs / 60'000) % 60;
  if (hours >= 1)
    return text + "more than " + std::to_string(hours) + (hours == 1 ? " hour" : " hours");
  if (minutes >= 1)
    return text + "about  " + std::to_string(minutes) + "  minutes";
  return text + "  less than 1 minute";
}

std::string SectorsText(std::uint64_t position, std::uint64_t totalSectors) {
  const std::uint64_t done = position == 0 ? 0 : std::min(position * 999, totalSectors);
  char text[64];
  std::snprintf(text, sizeof text, "%" PRIu64 " / %" PRIu64, done, totalSectors);
  return text;
}

std::string PercentText(std::uint64_t position, std::uint64_t progressTotal) {
  const float x = static_cast<float>(position) / static_cast<float>(progressTotal) * 100.0f;
  return std::to_string(progressTotal == 0 ? 0 : static_cast<std::int64_t>(x)) + "%";
}

void CProgressMeter::SetRange(std::uint64_t low, std::uint64_t high, std::uint64_t nowMs) {
  divisor_ = ProgressDivisor(low, high);
  const auto d = static_cast<std::int64_t>(high - low);
  barMaximum_ = d < 0 ? 0 : d / static_cast<std::int64_t>(divisor_);
  barPosition_ = 0;
  startMs_ = nowMs;
}

bool CProgressMeter::Update(std::uint64_t position, bool force, std::uint64_t nowMs,
                            std::uint64_t totalSectors, std::uint64_t progressTotal) {
  if (!started_) {
    started_ = true;
    startMs_ = nowMs;
  }
  if (!force && updatedOnce_ && nowMs - lastUpdateMs_ < 1000)
    return false;
  updatedOnce_ = true;
  lastUpdateMs_ = nowMs;

  const auto g = static_cast<std::int64_t>(position / divisor_);
  if (g >= 1) {
    const auto elapsed = static_cast<std::int64_t>(nowMs - startMs_);
    estimateMs_ = (elapsed / 100) * (barMaximum_ - g) / g * 100;
  }
  remainingText_ = RemainingTimeText(estimateMs_);
  sectorsText_ = SectorsText(position, totalSectors);
  percentText_ = PercentText(position, progressTotal);
  barPosition_ = g;
  return true;
}

}  // namespace korvex
