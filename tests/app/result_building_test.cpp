// Result building after a scan: the roots of the lost-file mode and the probing and naming of the
// lost-partition mode, over a controller that builds small trees on request.
#include <gtest/gtest.h>

#include <map>

#include "app/result_building.h"
#include "common/database.h"
#include "model/fat_file_attribute.h"
#include "model/file_node.h"
#include "scan/progress_sink.h"
#include "scan/search_machine.h"

namespace korvex {
namespace {

CFileSystemNode* Folder(const char* name) {
  auto* node = new CFileSystemNode();
  node->properties = CFATFileAttribute::MakeSyntheticFolder(name, 9).release();
  return node;
}

void AddFile(CFileNode* folder, const char* name) {
  auto* node = new CFileNode();
  auto p = std::make_unique<CFATFileAttribute>();
  p->SetName(name);
  p->SetSize(100);
  node->properties = p.release();
  AddChild(folder, node);
}

// Builds, for a candidate of cluster base b, `files[b]` files under "Normal Files" (none: no tree);
// in probe mode it records the probe values `probes[b]` instead.
class TreeController : public IFileSystemSearchController {
 public:
  void Attach(IDevice*) override {}
  void SetBlockSectors(std::uint32_t) override {}
  void Begin() override {}
  void Finish(iSearch*) override {}
  int ProcessBlock(const std::uint8_t*, std::uint64_t, std::uint64_t, ScanCounters*) override { return 0; }
  std::int32_t GetKind() override { return kControllerFat; }
  void CollectCandidates(CandidateList&, IDevice*) override {}
  void SetRawFileList(RawFileList*) override {}
  void SetProgressShare(std::uint64_t units) override { shares.push_back(units); }
  void Save(IByteStream&) override {}
  void Load(IByteStream&) override {}
  TreeRoots BuildTree(CSearchedPartitionInfo* info, IDevice*, iSearch* sink) override {
    CDataBase& db = CDataBase::Instance();
    modes.push_back(db.analysisMode.load());
    sinks.push_back(sink);
    if (db.analysisMode == 0) {
      EXPECT_EQ(db.probePassed.load(), 0) << "probe fields reset before every probe";
      EXPECT_EQ(db.rootHasDirectories.load(), 0);
      if (probes.count(info->clusterBase)) {
        db.rootHasDirectories = probes[info->clusterBase];
        db.probePassed = probes[info->clusterBase];
        db.probeTried = 1;
      }
      return {nullptr, nullptr};
    }
    const int n = files.count(info->clusterBase) ? files[info->clusterBase] : 0;
    if (n == 0)
      return {nullptr, nullptr};
    CFileSystemNode* normal = Folder("Normal Files");
    for (int i = 0; i < n; ++i)
      AddFile(normal, "A.JPG");
    return {normal, Folder("Unnormal Files")};
  }
  int Accepts(std::int32_t type) override { return type >= 1 && type <= 3; }

  std::map<std::uint64_t, int> files;
  std::map<std::uint64_t, int> probes;
  std::vector<std::int32_t> modes;
  std::vector<iSearch*> sinks;
  std::vector<std::uint64_t> shares;
};

class ResultBuilding : public ::testing::Test {
 protected:
  void SetUp() override {
    CDataBase& db = CDataBase::Instance();
    db.scanInterrupted = 0;
    db.totalBlocks = 100;
    db.progressTotal = 120;
    db.resumeBlock = 0;
    db.ResetProbe();
    machine.AddController(&controller);
  }
  void TearDown() override {
    for (ResultRoot& r : roots)
      ReleaseTree(r.root);
  }
  // Candidates in ranking order, FAT32 with the given cluster base and score.
  void AddCandidate(std::uint64_t base, double score, std::uint32_t flags = 0x10) {
    auto c = std::make_unique<CFATSearchedPartitionInfo>();
    c->type = 3;
    c->clusterBase = base;
    c->score = score;
    c->flags = flags;
    machine.Candidates().push_back(std::move(c));
  }

  TreeController controller;
  CSearchMachine machine;
  std::vector<ResultRoot> roots;
};

TEST_F(ResultBuilding, LostFileModeBuildsEveryQualifyingCandidatePastOneWithoutATree) {
  AddCandidate(1, 1.0);  // spurious: builds nothing
  AddCandidate(2, 0.9);  // the real volume
  AddCandidate(3, 0.2);  // does not qualify
  AddCandidate(4, 0.6);
  controller.files = {{1, 0}, {2, 3}, {3, 5}, {4, 1}};
  roots = BuildLostFileResults(machine, nullptr);
  ASSERT_EQ(roots.size(), 2u) << "no carved files: no Found Files for them";
  EXPECT_EQ(roots[0].name, "Found Files(1)");
  EXPECT_EQ(std::string(roots[0].root->properties->GetName()), "Found Files(1)");
  EXPECT_EQ(CountFiles(roots[0].root), 3u);
  EXPECT_EQ(roots[1].name, "Found Files(2)");
  EXPECT_EQ(CountFiles(roots[1].root), 1u);
  EXPECT_EQ(roots[1].fileSystemType, 3u);
  EXPECT_EQ(controller.modes, (std::vector<std::int32_t>{1, 1, 1})) << "full analysis, candidate 3 skipped";
  EXPECT_EQ(controller.shares, (std::vector<std::uint64_t>{5, 5, 5})) << "the fifth of 100 blocks over 4";
  EXPECT_EQ(CDataBase::Instance().analysisMode.load(), 2);
}

TEST_F(ResultBuilding, LostFileModeLooksAtTheFirstTenOnly) {
  for (std::uint64_t b = 1; b <= 12; ++b)
    AddCandidate(b, 1.0);
  for (std::uint64_t b = 1; b <= 12; ++b)
    controller.files[b] = 1;
  roots = BuildLostFileResults(machine, nullptr);
  EXPECT_EQ(roots.size(), 10u);
  EXPECT_EQ(roots.back().name, "Found Files(10)");
}

TEST_F(ResultBuilding, AfterAStoppedRunTheBuildsShareTheRestOfTheBarWithoutASink) {
  CDataBase& db = CDataBase::Instance();
  db.scanInterrupted = 1;
  db.resumeBlock = 40;
  AddCandidate(1, 1.0);
  AddCandidate(2, 0.1);
  controller.files = {{1, 1}};
  CSearchProgress sink;
  roots = BuildLostFileResults(machine, &sink);
  ASSERT_EQ(controller.shares.size(), 1u);
  EXPECT_EQ(controller.shares[0], 80u) << "(120 - 40) over one qualifying candidate";
  EXPECT_EQ(controller.sinks[0], nullptr);
  db.scanInterrupted = 0;
}

TEST_F(ResultBuilding, LostPartitionModeProbesTwentyAndNamesAtMostTen) {
  for (std::uint64_t b = 1; b <= 25; ++b)
    AddCandidate(b, 1.0);
  // Passing: every odd base up to 25 (13 of them, 10 within the first 20).
  for (std::uint64_t b = 1; b <= 25; b += 2)
    controller.probes[b] = 1;
  CandidateList listed = ProbeLostPartitions(machine, 70'000, nullptr);
  ASSERT_EQ(listed.size(), 11u);
  for (std::size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(listed[i]->name, "Partition" + std::to_string(i + 1));
    EXPECT_EQ(listed[i]->clusterBase, 2 * i + 1);
  }
  EXPECT_EQ(listed[10]->name, "Raw Partition");
  EXPECT_EQ(listed[10]->type, 8u);
  EXPECT_EQ(listed[10]->totalSectors, 70'000u);
  EXPECT_EQ(controller.modes.size(), 19u) << "stops once ten passed (the 19th probe is the tenth)";
  for (std::int32_t m : controller.modes)
    EXPECT_EQ(m, 0);
  EXPECT_EQ(CDataBase::Instance().analysisMode.load(), 2);
  EXPECT_EQ(machine.Candidates().size(), 25u) << "the machine keeps its own list";
}

TEST_F(ResultBuilding, AFailedProbeAfterAPassingOneDoesNotPass) {
  AddCandidate(1, 1.0);
  AddCandidate(2, 0.9);
  controller.probes[1] = 1;
  CandidateList listed = ProbeLostPartitions(machine, 10, nullptr);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0]->clusterBase, 1u);
  EXPECT_EQ(listed[1]->name, "Raw Partition");
}

TEST_F(ResultBuilding, AChosenPartitionIsBuiltInFullWithItsName) {
  AddCandidate(7, 1.0);
  controller.files = {{7, 2}};
  CSearchedPartitionInfo& chosen = *machine.Candidates()[0];
  chosen.name = "Partition1";
  CFileSystemNode* tree = BuildPartitionTree(machine, chosen, nullptr);
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(std::string(tree->properties->GetName()), "Partition1");
  EXPECT_EQ(CountFiles(tree), 2u);
  EXPECT_EQ(controller.modes, (std::vector<std::int32_t>{2}));
  ReleaseTree(tree);
}

}  // namespace
}  // namespace korvex
