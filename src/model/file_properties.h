// IFileProperties: what a node of the found-file tree knows of its file or folder (name, extension,
// type code, size, attributes, times, state, check state, volume geometry, stored runs), plus the
// per-view counters and flags the folder, category and search views keep on it.
#pragma once

#include <cstdint>
#include <memory>

#include "common/file_time.h"

namespace korvex {

class IByteStream;
class IDataRunList;

// Attribute bits (the values the FAT directory entry and the NTFS standard information use).
namespace file_attr {
constexpr std::uint16_t kReadOnly = 0x01;
constexpr std::uint16_t kHidden = 0x02;
constexpr std::uint16_t kSystem = 0x04;
constexpr std::uint16_t kVolumeLabel = 0x08;
constexpr std::uint16_t kDirectory = 0x10;
constexpr std::uint16_t kArchive = 0x20;
constexpr std::uint16_t kEncrypted = 0x40;  // an NTFS EFS file, restored through the raw-encrypted path
constexpr std::uint16_t kSparse = 0x200;
constexpr std::uint16_t kCompressed = 0x800;
}  // namespace file_attr

// State bits: deleted, and a synthetic folder the analyser made up.
namespace file_state {
constexpr std::uint8_t kExisting = 0x00;
constexpr std::uint8_t kDeleted = 0x01;
constexpr std::uint8_t kSynthetic = 0x08;
constexpr std::uint8_t kFatSynthetic = 0x09;
}  // namespace file_state

// Check states.
constexpr std::uint8_t kUnchecked = 0;
constexpr std::uint8_t kPartlyChecked = 1;
constexpr std::uint8_t kChecked = 2;

// Bits of GetValidFields: which values the list view may show and the writer may restore.
namespace valid_field {
constexpr std::uint32_t kName = 0x01;
constexpr std::uint32_t kSize = 0x02;
constexpr std::uint32_t kAttributes = 0x04;
constexpr std::uint32_t kCreationTime = 0x08;
constexpr std::uint32_t kModificationTime = 0x10;
constexpr std::uint32_t kAccessTime = 0x20;
constexpr std::uint32_t kState = 0x40;
}  // namespace valid_field

// Kind codes of GetKind; a record of another kind in a recovery state gives a node without properties.
enum PropertiesKind : std::uint32_t {
  kNtfsProperties = 0,
  kFatProperties = 1,
  kRawProperties = 3,
  kRootProperties = 4,
};

class IFileProperties {
 public:
  virtual ~IFileProperties() = default;
  virtual std::uint16_t GetNameLength() const = 0;
  // NUL-terminated name.
  virtual const char* GetName() const = 0;
  // The last "." of the name and what follows, upper case; "" when the name has no dot. Null for a
  // FAT file loaded from a record whose extension was empty.
  virtual const char* GetExtension() const = 0;
  virtual std::uint16_t GetTypeCode() const = 0;
  virtual std::uint32_t IsInOtherFiles() const = 0;
  virtual void SetInOtherFiles(std::uint32_t value) = 0;
  virtual std::uint64_t GetSize() const = 0;
  virtual std::uint16_t GetAttributes() const = 0;
  virtual FileTime* GetCreationTime(FileTime* time) const = 0;
  virtual FileTime* GetModificationTime(FileTime* time) const = 0;
  virtual FileTime* GetAccessTime(FileTime* time) const = 0;
  virtual std::uint8_t GetState() const = 0;
  virtual std::uint8_t GetCheckState() const = 0;
  virtual void SetOtherFilesIndex(std::uint32_t index) = 0;
  virtual std::uint32_t GetOtherFilesIndex() const = 0;
  virtual void SetCheckedCount(std::uint32_t count) = 0;
  virtual std::uint32_t GetCheckedCount() const = 0;
  virtual void SetReserved1(std::uint32_t value) = 0;
  virtual std::uint32_t GetReserved1() const = 0;
  virtual void SetReserved2(std::uint32_t value) = 0;
  virtual std::uint32_t GetReserved2() const = 0;
  virtual void SetFileCount(std::uint32_t count) = 0;
  virtual std::uint32_t GetFileCount() const = 0;
  virtual std::uint32_t GetReserved3() const = 0;
  virtual void SetReserved3(std::uint32_t value) = 0;
  // LBA of the file's FILE record (NTFS); 0 elsewhere.
  virtual std::uint64_t GetRecordSector() const = 0;
  virtual void SetCheckState(std::uint8_t state) = 0;
  // A new run list from the stored runs; null when there are none.
  virtual std::unique_ptr<IDataRunList> CreateDataRunList() const = 0;
  virtual std::uint32_t GetValidFields() const = 0;
  virtual std::uint8_t GetMark() const = 0;
  virtual std::uint32_t SetMark(std::uint8_t mark) = 0;
  virtual std::uint32_t GetReserved4() const = 0;
  virtual void SetReserved4(std::uint32_t value) = 0;
  virtual void SetSearchHit(std::uint32_t hit) = 0;
  virtual std::uint32_t IsSearchHit() const = 0;
  virtual void SetSearchIndex(std::uint32_t index) = 0;
  virtual std::uint32_t GetSearchIndex() const = 0;
  // The LBA that cluster numbers of the runs count from, and the run unit in sectors.
  virtual std::uint64_t GetVolumeBase() const = 0;
  virtual std::uint8_t GetSectorsPerCluster() const = 0;
  virtual void SetExtracted(std::uint32_t extracted) = 0;
  virtual std::uint32_t IsExtracted() const = 0;
  // FAT only: sets the name, upper-cases its extension and recomputes the type code.
  virtual void SetName(const char* name) = 0;
  // The implementation's record; a stream error propagates as the stream's exception. Returns 1.
  virtual std::uint32_t Save(IByteStream& stream) const = 0;
  virtual std::uint32_t GetKind() const = 0;
  virtual std::uint32_t Load(IByteStream& stream) = 0;
};

// A properties record of a recovery state: the kind (u32), then the implementation's Save.
void SavePropertiesRecord(IByteStream& stream, const IFileProperties& properties);
// Reads the kind and makes the matching implementation, which reads its record. Any other kind reads
// nothing more and gives null.
std::unique_ptr<IFileProperties> LoadPropertiesRecord(IByteStream& stream);

}  // namespace korvex
