// The reading loop of CSearchMachine: blocks, ranges, stop and resume, failing controllers,
// unreadable sectors, and the candidates handed to the sink.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <stdexcept>

#include "common/database.h"
#include "scan/progress_sink.h"
#include "scan/search_machine.h"

namespace korvex {
namespace {

std::uint8_t Mark(std::uint64_t sector) {
  return static_cast<std::uint8_t>(sector % 251 + 1);
}

// Sector k holds Mark(k) in every byte; reads touching a sector of `bad` fail, as a dying disk's do.
class PatternDevice : public IDevice {
 public:
  explicit PatternDevice(std::uint64_t sectors, std::set<std::uint64_t> bad = {})
      : sectors_(sectors), bad_(std::move(bad)) {}
  int Read(void* buffer, std::uint64_t first, std::uint64_t count, std::uint32_t b) override {
    if (first >= sectors_)
      return 0;
    count = std::min(count, sectors_ - first);
    auto it = bad_.lower_bound(first);
    if (it != bad_.end() && *it < first + count)
      return 0;
    for (std::uint64_t k = 0; k < count; ++k)
      std::memset(static_cast<std::uint8_t*>(buffer) + k * b, Mark(first + k), b);
    return 1;
  }
  std::uint64_t GetSectorCount() override { return sectors_; }
  int Open() override { return 1; }
  int Close() override { return 1; }

 private:
  std::uint64_t sectors_;
  std::set<std::uint64_t> bad_;
};

struct SeenBlock {
  std::uint64_t first, count;
  bool intact;  // every sector held its own mark, or zeros where `zeros` says
};

class RecordingController : public IFileSystemSearchController {
 public:
  void Attach(IDevice* device) override { attached = device; }
  void SetBlockSectors(std::uint32_t n) override { blockSectors = n; }
  void Begin() override { ++begins; }
  void Finish(iSearch*) override { ++finishes; }
  int ProcessBlock(const std::uint8_t* block, std::uint64_t first, std::uint64_t count,
                   ScanCounters* c) override {
    bool intact = true;
    for (std::uint64_t k = 0; k < count; ++k) {
      const std::uint8_t expected = zeros.count(first + k) ? 0 : Mark(first + k);
      for (std::uint32_t i = 0; i < 512; i += 97)
        intact = intact && block[k * 512 + i] == expected;
    }
    seen.push_back({first, count, intact});
    ++c->words[0];
    if (onBlock)
      onBlock(first / 1000);
    return 1;
  }
  std::int32_t GetKind() override { return kControllerRaw; }
  void CollectCandidates(CandidateList& list, IDevice*) override {
    for (std::int64_t boot : candidateBootScores) {
      list.push_back(std::make_unique<CSearchedPartitionInfo>());
      list.back()->bootScore = boot;
    }
  }
  void SetRawFileList(RawFileList*) override {}
  void SetProgressShare(std::uint64_t) override {}
  void Save(IByteStream&) override {}
  void Load(IByteStream&) override {}
  TreeRoots BuildTree(CSearchedPartitionInfo*, IDevice*, iSearch*) override { return {nullptr, nullptr}; }
  int Accepts(std::int32_t) override { return 0; }

  IDevice* attached = nullptr;
  std::uint32_t blockSectors = 0;
  int begins = 0, finishes = 0;
  std::vector<SeenBlock> seen;
  std::set<std::uint64_t> zeros;
  std::vector<std::int64_t> candidateBootScores;
  std::function<void(std::uint64_t block)> onBlock;

  std::vector<std::uint64_t> FirstSectors() const {
    std::vector<std::uint64_t> out;
    for (const auto& s : seen)
      out.push_back(s.first);
    return out;
  }
};

class RecordingSink : public CSearchProgress {
 public:
  void Progress(std::uint64_t position, std::int32_t force) override {
    positions.push_back(position);
    CSearchProgress::Progress(position, force);
  }
  void SetRange(std::uint64_t low, std::uint64_t high) override {
    ranges.emplace_back(low, high);
    CSearchProgress::SetRange(low, high);
  }
  void SetCandidates(const CandidateList& list) override {
    ++candidateCalls;
    scores.clear();
    for (const auto& c : list)
      scores.push_back(c->score);
  }
  std::vector<std::uint64_t> positions;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
  std::vector<double> scores;
  int candidateCalls = 0;
};

class SearchMachine : public ::testing::Test {
 protected:
  void SetUp() override {
    CDataBase& db = CDataBase::Instance();
    db.bytesPerSector = 512;
    db.scanMode = 0;
    db.resumeBlock = 0;
    db.scanInterrupted = 0;
    db.unreadableSectors = 0;
  }
  std::vector<std::uint64_t> Range(std::uint64_t from, std::uint64_t to, std::uint64_t step = 1) {
    std::vector<std::uint64_t> v;
    for (std::uint64_t x = from; x < to; x += step)
      v.push_back(x);
    return v;
  }
};

TEST_F(SearchMachine, ShowsEveryBlockToEveryControllerInOrder) {
  PatternDevice device(2500);
  RecordingController a, b;
  RecordingSink sink;
  CSearchMachine machine;
  machine.AddController(&a);
  machine.AddController(&b);
  machine.SetDevice(&device);
  std::vector<char> order;
  a.onBlock = [&](std::uint64_t) { order.push_back('a'); };
  b.onBlock = [&](std::uint64_t) { order.push_back('b'); };

  ASSERT_EQ(machine.Start(&sink, 0, 0, 0, 0), 1);
  for (const auto* c : {&a, &b}) {
    ASSERT_EQ(c->seen.size(), 3u);
    EXPECT_EQ(c->seen[2].count, 500u) << "the short last block";
    EXPECT_EQ(c->FirstSectors(), (std::vector<std::uint64_t>{0, 1000, 2000}));
    for (const auto& s : c->seen)
      EXPECT_TRUE(s.intact) << s.first;
    EXPECT_EQ(c->begins, 1);
    EXPECT_EQ(c->finishes, 1);
    EXPECT_EQ(c->blockSectors, 1000u);
    EXPECT_NE(c->attached, nullptr);
    EXPECT_EQ(c->attached->GetSectorCount(), 2500u) << "controllers read through the cached device";
  }
  EXPECT_EQ(order, (std::vector<char>{'a', 'b', 'a', 'b', 'a', 'b'}));
  EXPECT_EQ(sink.positions, (std::vector<std::uint64_t>{0, 1, 2}));
  EXPECT_EQ(sink.ranges, (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{0, 3}}));
  EXPECT_EQ(machine.Counters().words[0], 6u);
  EXPECT_EQ(CDataBase::Instance().totalBlocks, 3u);
  EXPECT_EQ(CDataBase::Instance().scanInterrupted, 0);
}

TEST_F(SearchMachine, ProgressRangeLeavesAFifthForTreesOutsidePartitionMode) {
  PatternDevice device(10'000);
  RecordingController c;
  CSearchMachine machine;
  machine.AddController(&c);
  machine.SetDevice(&device);
  for (auto [mode, total] : {std::pair{0, 12u}, std::pair{1, 10u}}) {
    CDataBase::Instance().scanMode = mode;
    RecordingSink sink;
    ASSERT_EQ(machine.Start(&sink, 0, 0, 0, 0), 1);
    EXPECT_EQ(CDataBase::Instance().progressTotal, total) << mode;
    EXPECT_EQ(sink.ranges.back().second, total) << mode;
  }
}

TEST_F(SearchMachine, StopDuringBlockSevenResumesAtEight) {
  PatternDevice device(10'000);
  RecordingController a, b;
  RecordingSink sink;
  a.onBlock = [&](std::uint64_t block) {
    if (block == 7)
      sink.SetStopRequested(1);
  };
  CSearchMachine machine;
  machine.AddController(&a);
  machine.AddController(&b);
  machine.SetDevice(&device);

  ASSERT_EQ(machine.Start(&sink, 0, 0, 0, 0), 1);
  const CDataBase& db = CDataBase::Instance();
  EXPECT_EQ(b.FirstSectors(), Range(0, 8000, 1000)) << "block 7 is shown to every controller";
  EXPECT_EQ(db.resumeBlock, 8u);
  EXPECT_EQ(db.resumeSector, 8000u);
  EXPECT_EQ(db.scanInterrupted, 1);
  EXPECT_EQ(a.finishes, 1);
  EXPECT_EQ(b.finishes, 1);

  a.onBlock = nullptr;
  a.seen.clear();
  ASSERT_EQ(machine.Start(&sink, 0, 0, 0, 0), 1);
  EXPECT_EQ(a.FirstSectors(), (std::vector<std::uint64_t>{8000, 9000}));
  EXPECT_EQ(db.resumeBlock, 0u);
  EXPECT_EQ(db.scanInterrupted, 0);
  EXPECT_EQ(a.begins, 2);
  EXPECT_EQ(b.finishes, 2);
}

TEST_F(SearchMachine, RangeScans) {
  PatternDevice device(40'000);
  RecordingController c;
  CSearchMachine machine;
  machine.AddController(&c);
  machine.SetDevice(&device);

  // A range from sector 1 starts with block 0; progress counts blocks of the range.
  RecordingSink sink;
  sink.SetTotalSectors(25'000);
  ASSERT_EQ(machine.Start(&sink, 1, 0, 1, 25'000), 1);
  EXPECT_EQ(c.FirstSectors(), Range(0, 25'000, 1000));
  EXPECT_EQ(sink.positions, Range(0, 25));

  // A gap starting at 5999 begins with block 6; stopped at progress 1, it resumes with block 7.
  c.seen.clear();
  RecordingSink gapSink;
  c.onBlock = [&](std::uint64_t block) {
    if (block == 6)
      gapSink.SetStopRequested(1);
  };
  ASSERT_EQ(machine.Start(&gapSink, 1, 0, 5999, 3000), 1);
  EXPECT_EQ(c.FirstSectors(), (std::vector<std::uint64_t>{6000}));
  EXPECT_EQ(CDataBase::Instance().resumeBlock, 1u);
  c.onBlock = nullptr;
  ASSERT_EQ(machine.Start(&gapSink, 1, 0, 5999, 3000), 1);
  EXPECT_EQ(c.FirstSectors(), (std::vector<std::uint64_t>{6000, 7000, 8000}));
}

TEST_F(SearchMachine, AControllerThatThrowsCostsOnlyThatBlock) {
  PatternDevice device(5000);
  RecordingController before, thrower, after;
  thrower.onBlock = [](std::uint64_t block) {
    if (block == 2)
      throw std::runtime_error("malformed structure");
  };
  CSearchMachine machine;
  for (auto* c : {&before, &thrower, &after})
    machine.AddController(c);
  machine.SetDevice(&device);
  RecordingSink sink;
  ASSERT_EQ(machine.Start(&sink, 0, 0, 0, 0), 1);
  EXPECT_EQ(before.seen.size(), 5u);
  EXPECT_EQ(thrower.seen.size(), 5u);
  EXPECT_EQ(after.FirstSectors(), (std::vector<std::uint64_t>{0, 1000, 3000, 4000}));
  EXPECT_EQ(after.finishes, 1);
}

TEST_F(SearchMachine, UnreadableSectorsReachControllersAsZerosAndAreCounted) {
  const std::set<std::uint64_t> bad = {1500, 1501, 2999, 3000};
  PatternDevice device(4200, bad);
  RecordingController c;
  c.zeros = bad;
  CSearchMachine machine;
  machine.AddController(&c);
  machine.SetDevice(&device);
  RecordingSink sink;
  ASSERT_EQ(machine.Start(&sink, 0, 0, 0, 0), 1);
  ASSERT_EQ(c.seen.size(), 5u);
  for (const auto& s : c.seen)
    EXPECT_TRUE(s.intact) << "block at " << s.first << " holds stale or wrong bytes";
  EXPECT_EQ(CDataBase::Instance().unreadableSectors, 4u);
}

TEST_F(SearchMachine, CandidatesAreRankedAndHandedToTheSink) {
  PatternDevice device(1000);
  RecordingController fat, ntfs;
  fat.candidateBootScores = {100};
  ntfs.candidateBootScores = {1000, 0};
  CSearchMachine machine;
  machine.AddController(&fat);
  machine.AddController(&ntfs);
  machine.SetDevice(&device);
  RecordingSink sink;
  ASSERT_EQ(machine.Start(&sink, 0, 0, 0, 0), 1);
  ASSERT_EQ(sink.scores.size(), 3u);
  EXPECT_DOUBLE_EQ(sink.scores[0], 1.0);
  EXPECT_NEAR(sink.scores[1], 0.667, 0.001);
  EXPECT_DOUBLE_EQ(sink.scores[2], 0.0);
  EXPECT_EQ(machine.Candidates().front()->bootScore, 1000);

  RecordingController quiet;
  CSearchMachine empty;
  empty.AddController(&quiet);
  empty.SetDevice(&device);
  RecordingSink emptySink;
  ASSERT_EQ(empty.Start(&emptySink, 0, 0, 0, 0), 1);
  EXPECT_EQ(emptySink.candidateCalls, 1);
  EXPECT_TRUE(emptySink.scores.empty());
}

TEST_F(SearchMachine, WaitsThroughTheGivenPump) {
  struct CountingPump : IMessagePump {
    int waits = 0;
    void WaitUntilDone(const std::atomic<std::int32_t>& done) override {
      ++waits;
      while (done.load() == 0)
        std::this_thread::yield();
    }
  } pump;
  PatternDevice device(3000);
  RecordingController c;
  CSearchMachine machine;
  machine.AddController(&c);
  machine.SetDevice(&device);
  machine.SetMessagePump(&pump);
  RecordingSink sink;
  ASSERT_EQ(machine.Start(&sink, 0, 0, 0, 0), 1);
  EXPECT_EQ(pump.waits, 1);
  EXPECT_EQ(c.seen.size(), 3u);
  EXPECT_EQ(CSearchMachine().Start(&sink, 0, 0, 0, 0), 0) << "no device";
}

}  // namespace
}  // namespace korvex
