#include "model/data_run_list.h"

namespace korvex {

void IDataRunList::Save(IByteStream& stream) const {
  WriteU32(stream, static_cast<std::uint32_t>(runs_.size()));
  for (const DataRun& run : runs_) {
    WriteU64(stream, static_cast<std::uint64_t>(run.start));
    WriteU64(stream, run.length);
  }
}

void IDataRunList::Load(IByteStream& stream) {
  // The count is untrusted: runs are read one by one, so a count larger than the stream holds ends in
  // the stream's short-read error rather than in a large allocation.
  const std::uint32_t count = ReadU32(stream);
  for (std::uint32_t i = 0; i < count; ++i) {
    DataRun run;
    run.start = static_cast<std::int64_t>(ReadU64(stream));
    run.length = ReadU64(stream);
    Push(run);
  }
}

DataRun* IDataRunList::First() {
  cursor_ = 0;
  return runs_.empty() ? nullptr : &runs_.front();
}

DataRun* IDataRunList::Next() {
  if (cursor_ < runs_.size())
    ++cursor_;
  return cursor_ < runs_.size() ? &runs_[cursor_] : nullptr;
}

void IDataRunList::Append(const DataRun& run) {
  if (!runs_.empty() && !run.IsSparse()) {
    DataRun& last = runs_.back();
    // Unsigned arithmetic: a crafted chain may carry any start, and signed overflow is not allowed.
    if (!last.IsSparse() &&
        static_cast<std::uint64_t>(last.start) + last.length == static_cast<std::uint64_t>(run.start)) {
      last.length += run.length;
      return;
    }
  }
  runs_.push_back(run);
}

void CResidentNTFSDataRunList::Save(IByteStream& stream) const {
  IDataRunList::Save(stream);
  WriteU32(stream, residentOffset_);
}

void CResidentNTFSDataRunList::Load(IByteStream& stream) {
  IDataRunList::Load(stream);
  residentOffset_ = ReadU32(stream);
}

}  // namespace korvex
