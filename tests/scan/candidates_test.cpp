// The candidate kinds, their saved forms and the factory by kind, the set keyed by identity, and the
// probe and qualification rules of the result building.
#include <gtest/gtest.h>

#include "common/database.h"
#include "model/byte_stream.h"
#include "scan/candidate_set.h"
#include "scan/partition_info.h"

namespace korvex {
namespace {

TEST(Candidates, DefaultsOfTheKinds) {
  CFATSearchedPartitionInfo fat;
  EXPECT_EQ(fat.GetKind(), 1);
  EXPECT_EQ(fat.type, 0u);
  EXPECT_EQ(fat.bootScore, 1);
  EXPECT_EQ(fat.flags, 0u);
  EXPECT_EQ(fat.fromBootSector, 0u);
  CSearchedNTFSPartitionInfo ntfs;
  EXPECT_EQ(ntfs.GetKind(), 0);
  EXPECT_EQ(ntfs.type, 4u);
  EXPECT_EQ(ntfs.reservedA, 2u);
  EXPECT_EQ(ntfs.mftKnown, 0u);
  for (std::uint64_t v :
       {ntfs.clusterCount, ntfs.logCount, ntfs.attrDefCount, ntfs.upCaseCount, ntfs.mftPosition,
        ntfs.logPosition, ntfs.attrDefPosition, ntfs.upCasePosition, ntfs.bitmapSectors})
    EXPECT_EQ(v, ~std::uint64_t{0});
  EXPECT_EQ(CSearchedPartitionInfo().GetKind(), 3);
}

// Every kind saved with its kind word, made again by the factory and loaded, gives the same fields.
TEST(Candidates, SavedKindsRoundTripThroughTheFactory) {
  auto fat = std::make_unique<CFATSearchedPartitionInfo>();
  fat->type = 3;
  fat->sectorsPerCluster = 8;
  fat->clusterBase = 10'240;
  fat->partitionStart = 2048;
  fat->reservedSectors = 32;
  fat->fatSectors = 1009;
  fat->clusterCount = 129'000;
  fat->root = 2;
  fat->flags = 0x04 | 0x08 | 0x40 | 0x80;
  fat->bootScore = 95;
  auto ntfs = std::make_unique<CSearchedNTFSPartitionInfo>();
  ntfs->clusterBase = ntfs->partitionStart = 63;
  ntfs->sectorsPerCluster = 8;
  ntfs->volumeSerial = 0x1122'3344'5566'7788;
  ntfs->evidenceFlags = 0x21;
  ntfs->mftKnown = 1;
  ntfs->logCount = 0;
  ntfs->mftPosition = 6'291'519;
  ntfs->bitmapSectors = 1'000'000;
  auto raw = std::make_unique<CSearchedPartitionInfo>();
  raw->type = 8;
  raw->totalSectors = 70'000;

  CMemoryByteStream stream;
  CandidateList saved;
  saved.push_back(std::move(fat));
  saved.push_back(std::move(ntfs));
  saved.push_back(std::move(raw));
  for (const auto& c : saved) {
    WriteU32(stream, static_cast<std::uint32_t>(c->GetKind()));
    c->Save(stream);
  }
  CandidateList loaded;
  for (std::size_t i = 0; i < saved.size(); ++i) {
    auto c = MakeCandidateOfKind(static_cast<std::int32_t>(ReadU32(stream)));
    ASSERT_TRUE(c);
    c->Load(stream);
    loaded.push_back(std::move(c));
  }
  EXPECT_EQ(stream.Remaining(), 0u);
  NameLoadedCandidates(loaded);

  const auto& f = dynamic_cast<const CFATSearchedPartitionInfo&>(*loaded[0]);
  EXPECT_EQ(f.name, "Partition1");
  EXPECT_EQ(f.clusterBase, 10'240u);
  EXPECT_EQ(f.reservedSectors, 32);
  EXPECT_EQ(f.fatSectors, 1009u);
  EXPECT_EQ(f.clusterCount, 129'000u);
  EXPECT_EQ(f.root, 2u);
  EXPECT_EQ(f.flags, 0xCCu);
  EXPECT_EQ(f.fromBootSector, 1u) << "restored from the boot-sector flags";
  EXPECT_EQ(f.FirstFatLba(), 2080u);
  EXPECT_EQ(f.SecondFatLba(), 3089u);
  const auto& n = dynamic_cast<const CSearchedNTFSPartitionInfo&>(*loaded[1]);
  EXPECT_EQ(n.name, "Partition2");
  EXPECT_EQ(n.volumeSerial, 0x1122'3344'5566'7788u);
  EXPECT_EQ(n.evidenceFlags, 0x21u);
  EXPECT_EQ(n.mftKnown, 1u);
  EXPECT_EQ(n.logCount, 0u);
  EXPECT_EQ(n.attrDefCount, ~std::uint64_t{0});
  EXPECT_EQ(n.mftPosition, 6'291'519u);
  EXPECT_EQ(n.bitmapSectors, 1'000'000u);
  EXPECT_EQ(loaded[2]->GetKind(), 3);
  EXPECT_EQ(loaded[2]->name, "RAW3");
  EXPECT_EQ(loaded[2]->totalSectors, 70'000u);

  EXPECT_FALSE(MakeCandidateOfKind(2)) << "the RAW controller's kind makes no candidate";
  EXPECT_FALSE(MakeCandidateOfKind(-1));
  CMemoryByteStream shortStream(std::vector<std::uint8_t>(60, 0));
  EXPECT_THROW(CFATSearchedPartitionInfo().Load(shortStream), IRSException);
}

TEST(Candidates, CloneKeepsKindAndFields) {
  CFATSearchedPartitionInfo fat;
  fat.flags = 0x10;
  fat.matchCount = 3;
  fat.name = "x";
  auto copy = fat.Clone();
  ASSERT_EQ(copy->GetKind(), 1);
  EXPECT_EQ(dynamic_cast<CFATSearchedPartitionInfo&>(*copy).flags, 0x10u);
  EXPECT_EQ(copy->matchCount, 3);
  CSearchedNTFSPartitionInfo ntfs;
  ntfs.upCaseCount = 5;
  EXPECT_EQ(dynamic_cast<CSearchedNTFSPartitionInfo&>(*ntfs.Clone()).upCaseCount, 5u);
}

TEST(CandidateSet, OneCandidatePerClusterBaseAndClusterSize) {
  CCandidateSet set;
  auto make = [](std::uint64_t base, std::uint8_t spc, std::uint32_t flags) {
    auto c = std::make_unique<CFATSearchedPartitionInfo>();
    c->clusterBase = base;
    c->sectorsPerCluster = spc;
    c->flags = flags;
    return c;
  };
  auto [a, newA] = set.Insert(make(9002, 1, 0x04));
  EXPECT_TRUE(newA);
  auto [b, newB] = set.Insert(make(9002, 2, 0x10));
  EXPECT_TRUE(newB);
  auto [again, newAgain] = set.Insert(make(9002, 1, 0x08));
  EXPECT_FALSE(newAgain);
  EXPECT_EQ(again, a) << "the existing candidate is handed back";
  EXPECT_EQ(dynamic_cast<CFATSearchedPartitionInfo*>(a)->flags, 0x04u);
  set.Insert(make(100, 8, 0));
  EXPECT_EQ(set.Size(), 3u);
  EXPECT_EQ(set.Find({9002, 2}), b);
  EXPECT_EQ(set.Find({9002, 4}), nullptr);

  CandidateList list;
  set.CopyTo(list);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0]->clusterBase, 100u) << "identity order";
  list[0]->matchCount = 7;
  EXPECT_EQ(set.Find({100, 8})->matchCount, 0) << "copies, not the set's own";

  set.EraseIf([](const CSearchedPartitionInfo& c) { return c.sectorsPerCluster == 1; });
  EXPECT_EQ(set.Size(), 2u);
  EXPECT_EQ(set.Find({9002, 1}), nullptr);
}

TEST(CandidateSet, IsBounded) {
  CCandidateSet set;
  for (std::size_t i = 0; i < CCandidateSet::kMaxCandidates; ++i) {
    auto c = std::make_unique<CSearchedPartitionInfo>();
    c->clusterBase = i;
    ASSERT_TRUE(set.Insert(std::move(c)).second);
  }
  auto extra = std::make_unique<CSearchedPartitionInfo>();
  extra->clusterBase = CCandidateSet::kMaxCandidates;
  EXPECT_EQ(set.Insert(std::move(extra)).first, nullptr);
  EXPECT_EQ(set.Size(), CCandidateSet::kMaxCandidates);
}

TEST(ProbeRule, WhichProbedCandidatesPass) {
  struct Case {
    std::uint32_t type;
    std::uint32_t fatFlags;
    ProbeOutcome outcome;
    bool passes;
    const char* why;
  };
  const Case cases[] = {
      {3, 0x10, {true, false, false, 0}, true, "a directory in the root"},
      {3, 0x10, {false, false, false, 9}, false, "derived, nothing confirmed"},
      {3, 0x10, {false, true, true, 1}, true, "derived, the content probe passed"},
      {3, 0x10, {false, true, false, 1}, false, "derived, the content probe failed"},
      {2, 0x02, {false, false, false, 0}, true, "a boot sector seen"},
      {1, 0x140, {false, false, false, 0}, true, "both FAT copies seen"},
      {4, 0, {false, true, true, 0}, true, "NTFS probe tried and passed"},
      {4, 0, {false, true, false, 5}, false, "NTFS probe tried and failed"},
      {4, 0, {false, false, false, 1}, true, "NTFS without a probe, a file counted"},
      {4, 0, {false, false, false, 0}, false, "NTFS without a probe, nothing counted"},
      {8, 0, {}, true, "other types"},
  };
  for (const Case& c : cases) {
    std::unique_ptr<CSearchedPartitionInfo> candidate;
    if (c.type == 4) {
      candidate = std::make_unique<CSearchedNTFSPartitionInfo>();
    } else if (c.type <= 3) {
      auto fat = std::make_unique<CFATSearchedPartitionInfo>();
      fat->flags = c.fatFlags;
      candidate = std::move(fat);
    } else {
      candidate = std::make_unique<CSearchedPartitionInfo>();
    }
    candidate->type = c.type;
    EXPECT_EQ(PassesProbe(*candidate, c.outcome), c.passes) << c.why;
  }
}

TEST(ProbeRule, OutcomeIsTakenFreshAfterEachReset) {
  CDataBase& db = CDataBase::Instance();
  db.probeTried = 1;
  db.probePassed = 1;
  db.rootHasDirectories = 1;
  db.probeFileCount = 4;
  ProbeOutcome before = ProbeOutcome::FromDataBase();
  EXPECT_TRUE(before.passed && before.tried && before.rootHasDirectories);
  EXPECT_EQ(before.fileCount, 4u);
  db.ResetProbe();
  ProbeOutcome after = ProbeOutcome::FromDataBase();
  EXPECT_FALSE(after.passed || after.tried || after.rootHasDirectories);
  EXPECT_EQ(after.fileCount, 0u);
  EXPECT_EQ(db.probeStop.load(), 0);
}

TEST(QualificationRule, ScoreOrEvidence) {
  CSearchedPartitionInfo c;
  c.score = 0.49;
  EXPECT_FALSE(QualifiesForLostFiles(c));
  c.score = 0.5;
  EXPECT_TRUE(QualifiesForLostFiles(c));
  c.score = 0;
  c.matchCount = 1;
  EXPECT_TRUE(QualifiesForLostFiles(c));
  c.matchCount = 0;
  c.fileCount = 2;
  EXPECT_TRUE(QualifiesForLostFiles(c));
}

}  // namespace
}  // namespace korvex
