#include "model/fat_file_attribute.h"

#include "common/byte_reader.h"
#include "model/byte_stream.h"
#include "model/fat_directory_entry.h"

namespace korvex {

std::unique_ptr<CFATFileAttribute> CFATFileAttribute::FromDirectoryEntry(
    std::span<const std::uint8_t, 32> entry) {
  const ByteSpan bytes(entry.data(), entry.size());
  auto file = std::make_unique<CFATFileAttribute>();
  file->SetSize(Le32(bytes, fat_entry::kFileSize));
  file->SetAttributes(Le8(bytes, fat_entry::kAttribute));
  file->SetTimes(
      DosDateTimeToFileTime(Le16(bytes, fat_entry::kCreationDate), Le16(bytes, fat_entry::kCreationTime)),
      DosDateTimeToFileTime(Le16(bytes, fat_entry::kModificationDate),
                            Le16(bytes, fat_entry::kModificationTime)),
      DosDateTimeToFileTime(Le16(bytes, fat_entry::kAccessDate), 0));
  file->SetState(entry[0] == fat_entry::kDeleted ? file_state::kDeleted : file_state::kExisting);
  return file;
}

std::unique_ptr<CFATFileAttribute> CFATFileAttribute::MakeSyntheticFolder(std::string_view name,
                                                                          std::uint8_t state) {
  auto folder = std::make_unique<CFATFileAttribute>();
  folder->AssignName(name);
  folder->SetAttributes(folder->GetAttributes() | file_attr::kDirectory);
  folder->SetState(state);
  return folder;
}

std::uint32_t CFATFileAttribute::Save(IByteStream& stream) const {
  SaveExtension(stream);
  SaveName(stream);
  WriteU16(stream, GetTypeCode());
  WriteU64(stream, GetSize());
  WriteU16(stream, GetAttributes());
  WriteU64(stream, creationTime_);
  WriteU64(stream, modificationTime_);
  WriteU64(stream, accessTime_);
  const std::uint8_t state = GetState();
  stream.WriteBytes(&state, 1);
  WriteU32(stream, firstCluster_);
  WriteU32(stream, parentCluster_);
  stream.WriteBytes(&sectorsPerCluster_, 1);
  WriteU64(stream, dataAreaBase_);
  SaveRunList(stream);
  return 1;
}

std::uint32_t CFATFileAttribute::Load(IByteStream& stream) {
  const std::string extension = LoadCounted(stream);
  const std::string name = LoadCounted(stream);
  RestoreNameAndExtension(name, extension, true);
  SetTypeCode(ReadU16(stream));
  SetSize(ReadU64(stream));
  SetAttributes(ReadU16(stream));
  creationTime_ = ReadU64(stream);
  modificationTime_ = ReadU64(stream);
  accessTime_ = ReadU64(stream);
  std::uint8_t state = 0;
  stream.ReadBytes(&state, 1);
  SetState(state);
  firstCluster_ = ReadU32(stream);
  parentCluster_ = ReadU32(stream);
  stream.ReadBytes(&sectorsPerCluster_, 1);
  dataAreaBase_ = ReadU64(stream);
  LoadRunList(stream);
  ResetViewValues();
  return 1;
}

}  // namespace korvex
