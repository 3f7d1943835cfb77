// CCallback: the bar arithmetic of saving and loading recovery states. A front end derives from it
// and draws the bar in Show(); the figures are atomic because the work runs on a worker thread.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "scan/search_sink.h"

namespace korvex {

class CCallback : public ICallback {
 public:
  std::int32_t BeginProgress(const std::string& /*text*/, std::int32_t maximum) override {
    startTime_ = std::chrono::steady_clock::now().time_since_epoch().count();
    maximum_ = maximum;
    barMaximum_ = maximum;
    barPosition_ = 0;
    Show();
    return 0;
  }
  std::int32_t StepProgress(std::int32_t n) override {
    stepCount_ += n;
    barPosition_ = std::min(barPosition_ + n, barMaximum_.load());
    Show();
    return 0;
  }
  std::int32_t SetProgress(std::int32_t position) override {
    stepCount_ += 1;
    barPosition_ = position;
    Show();
    return 0;
  }
  std::int32_t CompleteProgress() override {
    maximum_ = 0;
    stepCount_ = 0;
    barPosition_ = barMaximum_.load();
    Show();
    return 0;
  }

  std::int32_t BarMaximum() const { return barMaximum_; }
  std::int32_t BarPosition() const { return barPosition_; }
  std::int32_t Maximum() const { return maximum_; }
  std::int32_t StepCount() const { return stepCount_; }

 protected:
  virtual void Show() {}

 private:
  std::atomic<std::int64_t> startTime_{0};
  std::atomic<std::int32_t> maximum_{0};
  std::atomic<std::int32_t> stepCount_{0};
  std::atomic<std::int32_t> barMaximum_{0};
  std::atomic<std::int32_t> barPosition_{0};
};

}  // namespace korvex
