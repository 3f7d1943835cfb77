// Reading a file through its runs: units and base of the volume geometry, fragments in list order,
// sparse runs as zeros, the cut to the file size, resident data, and the failures that must not pass
// for success (runs too short, unreadable or unaddressable sectors).
#include <gtest/gtest.h>

#include <vector>

#include "model/data_run_reader.h"
#include "storage/memory_device.h"

namespace korvex {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A device whose every byte tells its position: byte i of sector s is (s * 7 + i) mod 251.
CMemoryDevice PatternDevice(std::uint64_t sectors, std::uint32_t sectorSize) {
  Bytes bytes(sectors * sectorSize);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>((i / sectorSize * 7 + i % sectorSize) % 251);
  return CMemoryDevice(std::move(bytes), sectorSize);
}

Bytes SectorsOf(CMemoryDevice& device, std::uint64_t first, std::uint64_t count, std::uint32_t sectorSize) {
  const auto begin = device.Bytes().begin() + static_cast<std::ptrdiff_t>(first * sectorSize);
  return Bytes(begin, begin + static_cast<std::ptrdiff_t>(count * sectorSize));
}

struct Read {
  bool ok;
  Bytes bytes;
};

Read ReadAll(IDevice& device, IDataRunList& runs, RunGeometry geometry, std::uint64_t size,
             std::uint32_t sectorSize, const ResidentDataSource& resident = {}) {
  Read r{false, {}};
  r.ok = ReadThroughRuns(
      device, runs, geometry, size, sectorSize,
      [&](ByteSpan piece) {
        r.bytes.insert(r.bytes.end(), piece.begin(), piece.end());
        return true;
      },
      resident);
  return r;
}

TEST(DataRunReader, FragmentsInListOrderFromTheVolumeBase) {
  for (std::uint32_t sectorSize : {512u, 4096u}) {
    SCOPED_TRACE(sectorSize);
    CMemoryDevice device = PatternDevice(200, sectorSize);
    CNoneResidentNTFSDataRunList runs;
    runs.Push({30, 2});  // clusters 30..31 = sectors 10 + 120..127
    runs.Push({5, 1});   // a fragment before the first
    const RunGeometry geometry{10, 4};
    const std::uint64_t size = 2 * 4 * sectorSize + 100;  // ends 100 bytes into the second fragment

    Bytes expected = SectorsOf(device, 130, 8, sectorSize);
    const Bytes tail = SectorsOf(device, 30, 1, sectorSize);
    expected.insert(expected.end(), tail.begin(), tail.begin() + 100);

    const Read r = ReadAll(device, runs, geometry, size, sectorSize);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.bytes, expected);
  }
}

TEST(DataRunReader, SparseRunsReadAsZerosAndReadNothing) {
  CMemoryDevice device = PatternDevice(64, 512);
  CNoneResidentNTFSDataRunList runs;
  runs.Push({1, 1});
  runs.Push({DataRun::kSparseStart, 3});
  runs.Push({2, 1});
  const Read r = ReadAll(device, runs, {0, 2}, 5 * 1024, 512);
  ASSERT_TRUE(r.ok);
  Bytes expected = SectorsOf(device, 2, 2, 512);
  expected.resize(expected.size() + 3 * 1024, 0);
  const Bytes last = SectorsOf(device, 4, 2, 512);
  expected.insert(expected.end(), last.begin(), last.end());
  EXPECT_EQ(r.bytes, expected);
  EXPECT_EQ(device.ReadCount(), 2);
}

TEST(DataRunReader, LargeRunIsReadInBoundedPieces) {
  // 3 MiB in one run: several reads, each at most 1 MiB, together the whole run.
  CMemoryDevice device = PatternDevice(6144 + 8, 512);
  CRAWDataRunList runs;
  runs.Push({8, 6144});
  std::size_t largest = 0;
  std::uint64_t total = 0;
  EXPECT_TRUE(ReadThroughRuns(device, runs, {0, 1}, 6144 * 512, 512, [&](ByteSpan piece) {
    largest = std::max(largest, piece.size());
    total += piece.size();
    return true;
  }));
  EXPECT_EQ(total, 6144u * 512);
  EXPECT_LE(largest, 1024u * 1024);
  EXPECT_GE(device.ReadCount(), 3);
}

TEST(DataRunReader, ReportsWhatItCouldNotDeliver) {
  CMemoryDevice device = PatternDevice(32, 512);
  struct Case {
    const char* what;
    std::vector<DataRun> runs;
    RunGeometry geometry;
    std::uint64_t size;
    std::size_t delivered;
  };
  const Case cases[] = {
      {"runs end before the size", {{1, 2}}, {0, 1}, 3 * 512, 1024},
      {"run past the device's end", {{1, 1}, {40, 1}}, {0, 1}, 1024, 512},
      {"start times unit overflows", {{INT64_MAX, 1}}, {0, 8}, 512, 0},
      {"base plus start overflows", {{1, 1}}, {UINT64_MAX, 1}, 512, 0},
      {"negative start that is not sparse", {{-2, 1}}, {0, 1}, 512, 0},
      {"cluster size 0", {{1, 1}}, {0, 0}, 512, 0},
      {"a length of 2^64-1 clusters of 64 sectors", {{0, UINT64_MAX}}, {0, 64}, 512, 512},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CNoneResidentNTFSDataRunList runs;
    for (const DataRun& run : c.runs)
      runs.Push(run);
    const Read r = ReadAll(device, runs, c.geometry, c.size, 512);
    EXPECT_EQ(r.ok, c.delivered == c.size);
    EXPECT_EQ(r.bytes.size(), c.delivered);
  }
}

TEST(DataRunReader, SinkCanStopTheReading) {
  CMemoryDevice device = PatternDevice(32, 512);
  CRAWDataRunList runs;
  runs.Push({0, 1});
  runs.Push({4, 1});
  int calls = 0;
  EXPECT_FALSE(ReadThroughRuns(device, runs, {0, 1}, 1024, 512, [&](ByteSpan) { return ++calls < 1; }));
  EXPECT_EQ(calls, 1);
}

TEST(DataRunReader, ResidentDataComesFromItsRecord) {
  CMemoryDevice device = PatternDevice(8, 512);
  CResidentNTFSDataRunList runs;
  runs.Push({0x40, 1});
  runs.SetResidentOffset(0x98);
  std::uint64_t askedLba = 0;
  std::uint32_t askedOffset = 0;
  const ResidentDataSource source = [&](std::uint64_t lba, std::uint32_t offset, Bytes& value) {
    askedLba = lba;
    askedOffset = offset;
    value = {'h', 'e', 'l', 'l', 'o'};
    return true;
  };
  Read r = ReadAll(device, runs, {0, 1}, 4, 512, source);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, (Bytes{'h', 'e', 'l', 'l'}));
  EXPECT_EQ(askedLba, 0x40u);
  EXPECT_EQ(askedOffset, 0x98u);
  EXPECT_EQ(device.ReadCount(), 0) << "the run does not point at the data";

  r = ReadAll(device, runs, {0, 1}, 6, 512, source);
  EXPECT_FALSE(r.ok) << "the value is shorter than the file";
  EXPECT_EQ(r.bytes.size(), 5u);
  EXPECT_FALSE(ReadAll(device, runs, {0, 1}, 4, 512).ok) << "no source for resident data";
}

}  // namespace
}  // namespace korvex
