// CSearchProgress: the iSearch state every front end shares (stop flag, meter, stored counters and
// candidates). A front end derives from it and draws in Show(), which runs on the calling (worker)
// thread whenever the meter has fresh figures; it must hand them to its own thread to display.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "common/database.h"
#include "scan/progress_meter.h"
#include "scan/search_sink.h"

namespace korvex {

class CSearchProgress : public iSearch {
 public:
  void Progress(std::uint64_t position, std::int32_t force) override {
    std::lock_guard lock(mutex_);
    if (meter_.Update(position, force != 0, NowMs(), totalSectors_.load(),
                      CDataBase::Instance().progressTotal))
      Show();
  }
  void SetRange(std::uint64_t low, std::uint64_t high) override {
    std::lock_guard lock(mutex_);
    stop_ = 0;
    secondFlag_ = 0;
    meter_.SetRange(low, high, NowMs());
  }
  void SetCandidates(const CandidateList& candidates) override { candidateCount_ = candidates.size(); }
  std::int32_t GetSecondFlag() override { return secondFlag_; }
  void BeginPhase(std::int32_t, std::int32_t steps) override {
    phaseSteps_ = steps;
    phasePosition_ = 0;
    PumpMessages();
  }
  void Step(std::int32_t n) override {
    phasePosition_ += n;
    PumpMessages();
  }
  // Work off the user-interface thread has nothing to pump.
  std::int32_t PumpMessages() override { return 0; }
  void SetStatusText(const std::string& text) override {
    std::lock_guard lock(mutex_);
    statusText_ = text;
    Show();
  }
  std::int32_t IsStopRequested() override { return stop_; }
  void SetStopRequested(std::int32_t stop) override { stop_ = stop; }
  void GetCounters(ScanCounters& out) override {
    std::lock_guard lock(mutex_);
    out = counters_;
  }
  void SetCounters(const ScanCounters* counters) override {
    std::lock_guard lock(mutex_);
    if (counters)
      counters_ = *counters;
  }

  // The scan target's size, shown in the sectors text.
  void SetTotalSectors(std::uint64_t sectors) { totalSectors_ = sectors; }
  std::size_t CandidateCount() const { return candidateCount_; }
  std::int32_t PhaseSteps() const { return phaseSteps_; }
  std::int32_t PhasePosition() const { return phasePosition_; }

 protected:
  // Called with the sink's lock held, on the thread that reported progress.
  virtual void Show() {}
  virtual std::uint64_t NowMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  const CProgressMeter& Meter() const { return meter_; }
  const std::string& StatusText() const { return statusText_; }

 private:
  std::mutex mutex_;
  CProgressMeter meter_;
  ScanCounters counters_;
  std::string statusText_;
  std::atomic<std::int32_t> stop_{0};
  std::atomic<std::int32_t> secondFlag_{0};
  std::atomic<std::uint64_t> totalSectors_{0};
  std::atomic<std::size_t> candidateCount_{0};
  std::atomic<std::int32_t> phaseSteps_{0};
  std::atomic<std::int32_t> phasePosition_{0};
};

}  // namespace korvex
