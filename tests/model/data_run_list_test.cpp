// Run lists, mapping pairs and the stored run list: merging, walking, encoding widths, sign extension,
// round trips through the stored and persisted forms, and decoding of bytes that end too early.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "model/data_run_list.h"
#include "model/mapping_pairs.h"
#include "model/stored_run_list.h"

namespace korvex {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::int64_t kSparse = DataRun::kSparseStart;

std::vector<DataRun> RunsOf(const IDataRunList& list) {
  return {list.Runs().begin(), list.Runs().end()};
}

std::vector<DataRun> Decode(const Bytes& bytes) {
  std::vector<DataRun> runs;
  for (const MappingPairsRun& r : DecodeMappingPairs(bytes))
    runs.push_back(r.run);
  return runs;
}

TEST(DataRunList, AppendMergesOnlyContiguousNonSparseRuns) {
  CFATDataRunList list;
  list.Append({10, 5});
  list.Append({15, 3});  // continues 10..14
  list.Append({20, 1});  // gap
  list.Append({kSparse, 4});
  list.Append({kSparse, 4});  // a sparse run is never merged
  list.Append({21, 2});       // nothing is merged onto a sparse run
  list.Append({23, 1});
  EXPECT_EQ(RunsOf(list), (std::vector<DataRun>{{10, 8}, {20, 1}, {kSparse, 4}, {kSparse, 4}, {21, 3}}));

  CRAWDataRunList pushed;
  pushed.Push({10, 5});
  pushed.Push({15, 3});
  EXPECT_EQ(pushed.Count(), 2u) << "Push never merges";
}

TEST(DataRunList, CursorWalksEveryRunOnce) {
  CNoneResidentNTFSDataRunList empty;
  EXPECT_EQ(empty.First(), nullptr);
  EXPECT_TRUE(empty.AtEnd());
  EXPECT_EQ(empty.Next(), nullptr);

  CNoneResidentNTFSDataRunList list;
  for (std::int64_t s : {1, 5, 9})
    list.Push({s, 1});
  std::vector<std::int64_t> seen;
  for (const DataRun* r = list.First(); !list.AtEnd(); r = list.Next())
    seen.push_back(r->start);
  EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 5, 9}));
  EXPECT_EQ(list.Next(), nullptr) << "stays past the end";
  EXPECT_TRUE(list.AtEnd());
  EXPECT_EQ(list.First()->start, 1) << "First starts over";
}

TEST(DataRunList, KindsAndResidence) {
  CFATDataRunList fat;
  CResidentNTFSDataRunList resident;
  CNoneResidentNTFSDataRunList nonResident;
  CRAWDataRunList raw;
  resident.SetResidentOffset(0x118);
  const IDataRunList* lists[] = {&fat, &resident, &nonResident, &raw};
  for (std::uint32_t kind = 0; kind < 4; ++kind) {
    EXPECT_EQ(lists[kind]->GetKind(), kind);
    EXPECT_EQ(lists[kind]->IsResident(), kind == 1 ? 1u : 0u);
    EXPECT_EQ(lists[kind]->GetResidentOffset(), kind == 1 ? 0x118u : 0u);
  }
}

TEST(DataRunList, SaveWritesCountRunsAndResidentOffset) {
  CResidentNTFSDataRunList list;
  list.Push({0x1234, 1});
  list.SetResidentOffset(0x98);
  CMemoryByteStream out;
  list.Save(out);
  const Bytes expected = {1, 0, 0, 0, 0x34, 0x12, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0x98, 0, 0, 0};
  EXPECT_EQ(out.Bytes(), expected);

  CMemoryByteStream in(out.Bytes());
  CResidentNTFSDataRunList back;
  back.Load(in);
  EXPECT_EQ(RunsOf(back), RunsOf(list));
  EXPECT_EQ(back.GetResidentOffset(), 0x98u);
  EXPECT_EQ(in.Remaining(), 0u);
}

TEST(DataRunList, SaveLoadKeepsEveryRunOfEveryKind) {
  // Contiguous runs stay apart and sparse and extreme values survive.
  const std::vector<DataRun> runs = {{0, 1}, {1, 1}, {kSparse, 7}, {INT64_MAX, UINT64_MAX}, {-5, 2}};
  CFATDataRunList fat;
  CNoneResidentNTFSDataRunList ntfs;
  CRAWDataRunList raw;
  for (IDataRunList* list : std::initializer_list<IDataRunList*>{&fat, &ntfs, &raw}) {
    for (const DataRun& r : runs)
      list->Push(r);
    CMemoryByteStream stream;
    list->Save(stream);
    EXPECT_EQ(stream.Bytes().size(), 4 + 16 * runs.size());
    CRAWDataRunList back;
    back.Load(stream);
    EXPECT_EQ(RunsOf(back), runs);
  }
}

TEST(DataRunList, LoadOfATruncatedStreamThrowsTheStreamError) {
  // A count of four billion runs with one run behind it: the stream runs dry, nothing huge is allocated.
  CMemoryByteStream stream(Bytes{0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0});
  CNoneResidentNTFSDataRunList list;
  EXPECT_THROW(list.Load(stream), IRSException);
  EXPECT_EQ(list.Count(), 1u);
}

TEST(MappingPairs, EncodesWithTheSmallestWidths) {
  struct Case {
    const char* what;
    std::vector<DataRun> runs;
    Bytes bytes;
  };
  const Case cases[] = {
      {"empty list", {}, {0}},
      {"textbook run", {{0x5634, 0x18}}, {0x21, 0x18, 0x34, 0x56, 0}},
      {"delta -1 is one byte 0xFF", {{10, 1}, {9, 1}}, {0x11, 1, 10, 0x11, 1, 0xFF, 0}},
      {"length 200 takes two bytes", {{1, 200}}, {0x12, 200, 0, 1, 0}},
      {"length 128 takes two bytes, 127 one", {{1, 128}, {2, 127}}, {0x12, 128, 0, 1, 0x11, 127, 1, 0}},
      {"delta 128 takes two bytes", {{128, 1}}, {0x21, 1, 128, 0, 0}},
      {"delta -128 takes one byte", {{200, 1}, {72, 1}}, {0x21, 1, 200, 0, 0x11, 1, 0x80, 0}},
      {"sparse run has no delta and keeps the running start",
       {{100, 2}, {kSparse, 3}, {101, 1}},
       {0x11, 2, 100, 0x01, 3, 0x11, 1, 1, 0}},
      {"sparse first run", {{kSparse, 16}, {5, 16}}, {0x01, 16, 0x11, 16, 5, 0}},
      {"3-byte negative delta", {{0x800000, 1}, {0, 1}}, {0x41, 1, 0, 0, 0x80, 0, 0x31, 1, 0, 0, 0x80, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(EncodeMappingPairs(c.runs), c.bytes);
    EXPECT_EQ(Decode(c.bytes), c.runs);
  }
}

TEST(MappingPairs, DeltaWidthsOneToEightSignExtend) {
  // For every width n: the extremes of n-byte two's complement, just inside and just outside.
  for (std::uint32_t n = 1; n <= 8; ++n) {
    SCOPED_TRACE(n);
    const std::int64_t max = n == 8 ? INT64_MAX : (std::int64_t{1} << (8 * n - 1)) - 1;
    const std::int64_t min = n == 8 ? INT64_MIN : -(std::int64_t{1} << (8 * n - 1));
    EXPECT_EQ(SignedByteWidth(max), n);
    EXPECT_EQ(SignedByteWidth(min), n);
    if (n < 8) {
      EXPECT_EQ(SignedByteWidth(max + 1), n + 1);
      EXPECT_EQ(SignedByteWidth(min - 1), n + 1);
    }
    // A run at 0 then one at `min`: the second delta is `min`, written in n bytes with the top bit set.
    const std::vector<DataRun> runs = {{0, 1}, {min, 1}};
    const Bytes bytes = EncodeMappingPairs(runs);
    ASSERT_EQ(bytes[3], (n << 4) | 1);
    EXPECT_EQ(bytes[5 + n - 1], 0x80);
    EXPECT_EQ(Decode(bytes), runs);
  }
  // The 3-byte delta 0x800000 on its own, as a volume would hold it.
  EXPECT_EQ(Decode({0x31, 0x01, 0x00, 0x00, 0x80, 0}), (std::vector<DataRun>{{-8388608, 1}}));
}

TEST(MappingPairs, RoundTripOfRunListTables) {
  const std::vector<std::vector<DataRun>> tables = {
      {{0x10000, 0x40}, {0x200, 0x10}, {0x7FFFFFFF, 1}, {0, 0x123456789}},
      {{kSparse, 0x100}, {kSparse, 1}, {3, 1}, {kSparse, 0x10000}, {2, 0xFFFF}},
      {{INT64_MAX, 1}, {INT64_MIN + 1, 1}, {0, std::numeric_limits<std::uint64_t>::max()}},
      {{1, 1},
       {0x100, 1},
       {0x10000, 1},
       {0x1000000, 1},
       {0x100000000, 1},
       {0x10000000000, 1},
       {0x1000000000000, 1},
       {0x100000000000000, 1}},
  };
  for (const auto& runs : tables) {
    const Bytes bytes = EncodeMappingPairs(runs);
    const std::vector<MappingPairsRun> decoded = DecodeMappingPairs(bytes);
    ASSERT_EQ(decoded.size(), runs.size());
    std::uint64_t vcn = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
      EXPECT_EQ(decoded[i].run, runs[i]) << i;
      EXPECT_EQ(decoded[i].vcn, vcn) << "starting virtual cluster counts sparse runs too";
      vcn += runs[i].length;
    }
  }
}

TEST(MappingPairs, DecodingStopsWhereTheBytesEnd) {
  struct Case {
    const char* what;
    Bytes bytes;
    std::vector<DataRun> runs;
  };
  const Case cases[] = {
      {"no bytes", {}, {}},
      {"no final 0", {0x11, 4, 7}, {{7, 4}}},
      {"stops at the first 0", {0x11, 4, 7, 0, 0x11, 4, 7}, {{7, 4}}},
      {"second pair promises more than remains", {0x11, 4, 7, 0x44, 1, 2}, {{7, 4}}},
      {"length width above 8", {0x11, 4, 7, 0x19, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0}, {{7, 4}}},
      {"delta width above 8", {0x91, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0}, {}},
      {"length width 0 is a run of 0", {0x10, 7, 0}, {{7, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Decode(c.bytes), c.runs);
  }
}

TEST(StoredRunList, ConversionsKeepRunsAndChooseTheKind) {
  CFATDataRunList fat;
  fat.Append({0, 4});
  fat.Append({4, 4});
  fat.Append({100, 2});
  const std::optional<StoredRunList> stored = ToStored(fat);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->residentOffset, 0u);
  const std::unique_ptr<IDataRunList> back = CreateDataRunList(*stored);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->GetKind(), kNonResidentNtfsRunList) << "a FAT file comes back as kind 2";
  EXPECT_EQ(RunsOf(*back), RunsOf(fat));

  EXPECT_FALSE(ToStored(CRAWDataRunList{})) << "an empty list has no stored form";

  CResidentNTFSDataRunList resident;
  resident.Push({0x2000, 1});
  resident.Push({0x3000, 1});
  resident.SetResidentOffset(0x118);
  const std::optional<StoredRunList> residentStored = ToStored(resident);
  ASSERT_TRUE(residentStored);
  EXPECT_EQ(residentStored->residentOffset, 0x118u);
  const std::unique_ptr<IDataRunList> residentBack = CreateDataRunList(*residentStored);
  ASSERT_TRUE(residentBack);
  EXPECT_EQ(residentBack->GetKind(), kResidentNtfsRunList);
  EXPECT_EQ(residentBack->GetResidentOffset(), 0x118u);
  EXPECT_EQ(RunsOf(*residentBack), (std::vector<DataRun>{{0x2000, 1}})) << "only the first run";

  EXPECT_EQ(CreateDataRunList(StoredRunList{0x118, {0}}), nullptr) << "resident with nothing to decode";
  const std::unique_ptr<IDataRunList> none = CreateDataRunList(StoredRunList{0, {0}});
  ASSERT_TRUE(none);
  EXPECT_EQ(none->Count(), 0u);
}

TEST(StoredRunList, PersistedFormKeepsTheLow16BitsOfTheOffset) {
  const StoredRunList stored{0x12345, {0x11, 4, 7, 0}};
  CMemoryByteStream stream;
  SaveStoredRunList(stream, stored);
  EXPECT_EQ(stream.Bytes(), (Bytes{4, 0, 0, 0, 0x11, 4, 7, 0, 0x45, 0x23}));
  const StoredRunList back = LoadStoredRunList(stream);
  EXPECT_EQ(back.bytes, stored.bytes);
  EXPECT_EQ(back.residentOffset, 0x2345u);

  // A byte count far beyond the stream: the stream error, not a 4 GiB allocation.
  CMemoryByteStream truncated(Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x11, 4, 7, 0});
  EXPECT_THROW(LoadStoredRunList(truncated), IRSException);
}

}  // namespace
}  // namespace korvex
