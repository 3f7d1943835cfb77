// Run lists: a found file's content as contiguous stretches of allocation units on its volume. The FAT
// and NTFS analyses and the carving build them while they scan; readers walk them to fetch the bytes.
// The four kinds differ only in their kind code and in how resident NTFS data is marked.
#pragma once

#include <cstdint>
#include <deque>

#include "model/byte_stream.h"

namespace korvex {

// One run: `length` allocation units starting at unit `start` of the file's volume geometry. A start of
// -1 (all bits set) marks a sparse run, which occupies no clusters and reads as zeros.
struct DataRun {
  static constexpr std::int64_t kSparseStart = -1;

  std::int64_t start = 0;
  std::uint64_t length = 0;

  bool IsSparse() const { return start == kSparseStart; }
  friend bool operator==(const DataRun&, const DataRun&) = default;
};

// The kind codes GetKind returns.
enum DataRunListKind : std::uint32_t {
  kFatRunList = 0,
  kResidentNtfsRunList = 1,
  kNonResidentNtfsRunList = 2,
  kRawRunList = 3,
};

class IDataRunList {
 public:
  virtual ~IDataRunList() = default;
  virtual std::uint32_t IsResident() const { return 0; }
  virtual std::uint32_t GetResidentOffset() const { return 0; }
  // Writes the run count (u32) and every run as start u64, length u64.
  virtual void Save(IByteStream& stream) const;
  // Reads what Save wrote and adds those runs at the back, unmerged, so a round trip keeps the list.
  virtual void Load(IByteStream& stream);
  virtual std::uint32_t GetKind() const = 0;

  // Moves the cursor to the first run and returns it; null for an empty list.
  DataRun* First();
  // True when the cursor is past the last run.
  bool AtEnd() const { return cursor_ >= runs_.size(); }
  // Advances the cursor and returns the run there; null once past the last run.
  DataRun* Next();
  // Adds a run, growing the last one instead when it is not sparse and `run` continues it.
  void Append(const DataRun& run);
  // Adds a run at the back without merging.
  void Push(const DataRun& run) { runs_.push_back(run); }

  std::size_t Count() const { return runs_.size(); }
  const std::deque<DataRun>& Runs() const { return runs_; }

 private:
  std::deque<DataRun> runs_;
  std::size_t cursor_ = 0;
};

// Runs of a FAT file: cluster number minus 2, in clusters from the first sector of the data area.
class CFATDataRunList : public IDataRunList {
 public:
  std::uint32_t GetKind() const override { return kFatRunList; }
};

// Resident NTFS data: one run {LBA of the FILE record holding the data, 1}, base 0, and the byte offset
// of the data inside that record.
class CResidentNTFSDataRunList : public IDataRunList {
 public:
  std::uint32_t IsResident() const override { return 1; }
  std::uint32_t GetResidentOffset() const override { return residentOffset_; }
  void SetResidentOffset(std::uint32_t offset) { residentOffset_ = offset; }
  // Save and Load add the resident offset (u32) after the runs.
  void Save(IByteStream& stream) const override;
  void Load(IByteStream& stream) override;
  std::uint32_t GetKind() const override { return kResidentNtfsRunList; }

 private:
  std::uint32_t residentOffset_ = 0;
};

// Non-resident NTFS data: logical cluster numbers counted from the first sector of the partition.
class CNoneResidentNTFSDataRunList : public IDataRunList {
 public:
  std::uint32_t GetKind() const override { return kNonResidentNtfsRunList; }
};

// A carved file: device sectors from LBA 0.
class CRAWDataRunList : public IDataRunList {
 public:
  std::uint32_t GetKind() const override { return kRawRunList; }
};

}  // namespace korvex
