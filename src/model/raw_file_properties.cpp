#include "model/raw_file_properties.h"

#include <string>

#include "model/byte_stream.h"
#include "model/data_run_list.h"
#include "model/extension_classification.h"
#include "model/stored_run_list.h"

namespace korvex {

namespace {
constexpr std::uint16_t kFolderBits = file_attr::kDirectory;  // 16: attributes and state of folders
constexpr std::uint16_t kFileAttributes = file_attr::kArchive;
constexpr std::uint64_t kFolderStart = ~std::uint64_t{0};
}  // namespace

CRAWFileProperties::CRAWFileProperties() {
  SetTypeCode(kTypeCarvedUnset);
}

std::unique_ptr<CRAWFileProperties> CRAWFileProperties::MakeFolder(std::string_view name) {
  auto folder = std::make_unique<CRAWFileProperties>();
  folder->AssignNameAndExtension(name, {});
  folder->SetAttributes(kFolderBits);
  folder->SetState(static_cast<std::uint8_t>(kFolderBits));
  folder->SetRunOf(kFolderStart, 0);
  return folder;
}

std::unique_ptr<CRAWFileProperties> CRAWFileProperties::MakeFile(std::string_view name,
                                                                 std::uint64_t startSector,
                                                                 std::uint64_t size,
                                                                 std::string_view extension) {
  auto file = std::make_unique<CRAWFileProperties>();
  const std::string dotted = "." + std::string(extension);
  file->AssignNameAndExtension(name, dotted);
  file->SetTypeCode(ClassifyExtension(dotted));
  file->SetAttributes(kFileAttributes);
  file->SetSize(size);
  file->SetRunOf(startSector, size);
  return file;
}

void CRAWFileProperties::Rename(std::string_view name) {
  const std::string extension = GetExtension() ? GetExtension() : "";
  AssignNameAndExtension(name, extension);
}

FileTime* CRAWFileProperties::Zero(FileTime* time) {
  if (time)
    *time = 0;
  return time;
}

void CRAWFileProperties::SetRunOf(std::uint64_t startSector, std::uint64_t size) {
  CRAWDataRunList runs;
  runs.Push({static_cast<std::int64_t>(startSector), (size + 511) / 512});
  std::optional<StoredRunList> stored = ToStored(runs);
  SetStoredRunList(stored ? std::make_unique<StoredRunList>(std::move(*stored)) : nullptr);
}

std::uint32_t CRAWFileProperties::Save(IByteStream& stream) const {
  const auto nameLength = static_cast<std::uint8_t>(GetNameLength());
  stream.WriteBytes(&nameLength, 1);
  stream.WriteBytes(GetName(), nameLength);  // the length counts the NUL, which is written too
  WriteU64(stream, GetSize());
  WriteU16(stream, GetAttributes());
  const std::uint8_t state = GetState();
  stream.WriteBytes(&state, 1);
  const auto typeCode = static_cast<std::uint8_t>(static_cast<std::int8_t>(GetTypeCode() - 1024));
  stream.WriteBytes(&typeCode, 1);
  const std::string extension = GetExtension() ? GetExtension() : "";
  const auto extensionLength = static_cast<std::uint8_t>(extension.empty() ? 0 : extension.size() + 1);
  stream.WriteBytes(&extensionLength, 1);
  if (extensionLength)
    stream.WriteBytes(extension.c_str(), extensionLength);
  SaveStoredRunList(stream, GetStoredRunList() ? *GetStoredRunList() : StoredRunList{});
  return 1;
}

std::uint32_t CRAWFileProperties::Load(IByteStream& stream) {
  auto readCounted = [&stream] {
    std::uint8_t length = 0;
    stream.ReadBytes(&length, 1);
    std::string text(length, '\0');
    stream.ReadBytes(text.data(), length);
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    return text;
  };
  const std::string name = readCounted();
  SetSize(ReadU64(stream));
  SetAttributes(ReadU16(stream));
  std::uint8_t state = 0;
  stream.ReadBytes(&state, 1);
  SetState(state);
  std::uint8_t typeCode = 0;
  stream.ReadBytes(&typeCode, 1);
  SetTypeCode(static_cast<std::uint16_t>(1024 + static_cast<std::int8_t>(typeCode)));
  const std::string extension = readCounted();
  AssignNameAndExtension(name, extension);
  SetStoredRunList(std::make_unique<StoredRunList>(LoadStoredRunList(stream)));
  ResetViewValues();
  return 1;
}

}  // namespace korvex
