#include "model/stored_run_list.h"

#include <algorithm>

#include "model/mapping_pairs.h"

namespace korvex {

std::optional<StoredRunList> ToStored(const IDataRunList& list) {
  if (list.Count() == 0)
    return std::nullopt;
  StoredRunList stored;
  stored.residentOffset = list.GetKind() == kResidentNtfsRunList ? list.GetResidentOffset() : 0;
  stored.bytes = EncodeMappingPairs(list);
  return stored;
}

std::unique_ptr<IDataRunList> CreateDataRunList(const StoredRunList& stored) {
  const std::vector<MappingPairsRun> runs = DecodeMappingPairs(stored.bytes);
  if (stored.residentOffset == 0) {
    auto list = std::make_unique<CNoneResidentNTFSDataRunList>();
    for (const MappingPairsRun& decoded : runs)
      list->Push(decoded.run);
    return list;
  }
  if (runs.empty())
    return nullptr;
  auto list = std::make_unique<CResidentNTFSDataRunList>();
  list->Push(runs.front().run);
  list->SetResidentOffset(stored.residentOffset);
  return list;
}

void SaveStoredRunList(IByteStream& stream, const StoredRunList& stored) {
  WriteU32(stream, static_cast<std::uint32_t>(stored.bytes.size()));
  stream.WriteBytes(stored.bytes.data(), stored.bytes.size());
  WriteU16(stream, static_cast<std::uint16_t>(stored.residentOffset));
}

StoredRunList LoadStoredRunList(IByteStream& stream) {
  StoredRunList stored;
  std::uint32_t remaining = ReadU32(stream);
  constexpr std::uint32_t kPiece = 64 * 1024;
  while (remaining > 0) {
    const std::uint32_t n = std::min(remaining, kPiece);
    const std::size_t at = stored.bytes.size();
    stored.bytes.resize(at + n);
    stream.ReadBytes(stored.bytes.data() + at, n);
    remaining -= n;
  }
  stored.residentOffset = ReadU16(stream);
  return stored;
}

}  // namespace korvex
