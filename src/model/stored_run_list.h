// The stored run list: the compact form in which every found file keeps its runs (mapping-pairs
// bytes and, for resident NTFS data, the offset of the data in its FILE record), the conversions to
// and from IDataRunList, and its persisted form inside a properties record.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "model/byte_stream.h"
#include "model/data_run_list.h"

namespace korvex {

struct StoredRunList {
  std::uint32_t residentOffset = 0;  // 0 for non-resident data
  std::vector<std::uint8_t> bytes;   // mapping pairs ended by a 0 byte

  friend bool operator==(const StoredRunList&, const StoredRunList&) = default;
};

// The stored form of `list`: its resident offset when it is a resident list, else 0, and the mapping
// pairs of all its runs. Nothing for a list without runs.
std::optional<StoredRunList> ToStored(const IDataRunList& list);

// A fresh run list from a stored one: with resident offset 0 a non-resident NTFS list of every decoded
// run (FAT and carved files come back this way too); otherwise a resident list of the first decoded run
// only, with the stored offset, or null when nothing decodes.
std::unique_ptr<IDataRunList> CreateDataRunList(const StoredRunList& stored);

// Persisted form: the byte count (u32, the final 0 included), the bytes, then the low 16 bits of the
// resident offset (u16). Loading gives the offset's high 16 bits back as 0; a byte count larger than the
// stream holds ends in the stream's error, without allocating more than the stream delivers.
void SaveStoredRunList(IByteStream& stream, const StoredRunList& stored);
StoredRunList LoadStoredRunList(IByteStream& stream);

}  // namespace korvex
