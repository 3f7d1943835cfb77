#include "model/ntfs_file_properties.h"

#include "model/byte_stream.h"

namespace korvex {

std::uint32_t CNTFSFileProperties::Save(IByteStream& stream) const {
  SaveName(stream);
  SaveExtension(stream);
  WriteU16(stream, GetTypeCode());
  WriteU64(stream, GetSize());
  WriteU16(stream, GetAttributes());
  WriteU64(stream, creationTime_);
  const std::uint8_t state = GetState();
  stream.WriteBytes(&state, 1);
  WriteU64(stream, recordSector_);
  // Four bytes of which readers use only the first: the sectors per cluster, then the three low bytes
  // of the partition's first LBA, as recovery states have always had them.
  const std::uint8_t cluster[4] = {sectorsPerCluster_, static_cast<std::uint8_t>(partitionBase_),
                                   static_cast<std::uint8_t>(partitionBase_ >> 8),
                                   static_cast<std::uint8_t>(partitionBase_ >> 16)};
  stream.WriteBytes(cluster, sizeof cluster);
  WriteU64(stream, partitionBase_);
  SaveRunList(stream);
  WriteU64(stream, extra_.size());
  for (const ExtraEntry& entry : extra_) {
    WriteU64(stream, entry.first);
    WriteU64(stream, entry.second);
  }
  return 1;
}

std::uint32_t CNTFSFileProperties::Load(IByteStream& stream) {
  const std::string name = LoadCounted(stream);
  const std::string extension = LoadCounted(stream);
  RestoreNameAndExtension(name, extension, false);
  SetTypeCode(ReadU16(stream));
  SetSize(ReadU64(stream));
  SetAttributes(ReadU16(stream));
  creationTime_ = ReadU64(stream);
  std::uint8_t state = 0;
  stream.ReadBytes(&state, 1);
  SetState(state);
  recordSector_ = ReadU64(stream);
  std::uint8_t cluster[4];
  stream.ReadBytes(cluster, sizeof cluster);
  sectorsPerCluster_ = cluster[0];
  partitionBase_ = ReadU64(stream);
  LoadRunList(stream);
  // The count comes from the file: entries are read one by one, so a count larger than what the
  // stream holds ends in the stream's error rather than in a huge allocation.
  extra_.clear();
  for (std::uint64_t n = ReadU64(stream); n > 0; --n) {
    const std::uint64_t first = ReadU64(stream);
    extra_.emplace_back(first, ReadU64(stream));
  }
  extra_.shrink_to_fit();
  ResetViewValues();
  return 1;
}

}  // namespace korvex
