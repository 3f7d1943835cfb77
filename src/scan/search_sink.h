// The progress sinks of long work: iSearch for a scan and the tree builds after it, ICallback for
// saving and loading recovery states, and IMessagePump, which keeps the waiting thread's user
// interface alive while a worker runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "scan/partition_info.h"
#include "scan/scan_options.h"

namespace korvex {

class iSearch {
 public:
  virtual ~iSearch() = default;
  // `position` is the index of the block just processed; displays update at most once a second
  // unless `force` is nonzero.
  virtual void Progress(std::uint64_t position, std::int32_t force) = 0;
  // Start of a run: clears the stop and second flags, sets the bar's scale and starts the clock.
  virtual void SetRange(std::uint64_t low, std::uint64_t high) = 0;
  virtual std::int32_t Reserved1() { return 0; }
  virtual void SetCandidates(const CandidateList& candidates) = 0;
  virtual std::int32_t GetSecondFlag() = 0;
  virtual void BeginPhase(std::int32_t ignored, std::int32_t steps) = 0;
  virtual void Step(std::int32_t n) = 0;
  virtual std::int32_t Reserved2() { return 0; }
  // Lets pending user-interface work run; -1 asks a running analysis to cancel.
  virtual std::int32_t PumpMessages() = 0;
  virtual void SetStatusText(const std::string& text) = 0;
  virtual std::int32_t IsStopRequested() = 0;
  virtual void SetStopRequested(std::int32_t stop) = 0;
  virtual void GetCounters(ScanCounters& out) = 0;
  virtual void SetCounters(const ScanCounters* counters) = 0;
};

class ICallback {
 public:
  virtual ~ICallback() = default;
  virtual std::int32_t BeginProgress(const std::string& text, std::int32_t maximum) = 0;
  virtual std::int32_t StepProgress(std::int32_t n) = 0;
  virtual std::int32_t SetProgress(std::int32_t position) = 0;
  virtual std::int32_t CompleteProgress() = 0;
  virtual std::int32_t Tick() { return 0; }
};

// How a thread waits for a worker: the terminal blocks; the GUI runs its event loop meanwhile.
class IMessagePump {
 public:
  virtual ~IMessagePump() = default;
  // Returns once `done` is nonzero. The worker stores 1 and calls done.notify_all().
  virtual void WaitUntilDone(const std::atomic<std::int32_t>& done) = 0;
};

// The pump of a thread without a user interface: it sleeps until the worker is done.
class CBlockingPump : public IMessagePump {
 public:
  void WaitUntilDone(const std::atomic<std::int32_t>& done) override {
    while (done.load() == 0)
      done.wait(0);
  }
};

}  // namespace korvex
