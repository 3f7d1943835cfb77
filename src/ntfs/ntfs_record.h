// MFT FILE records: update-sequence fix-ups, the FILE-record test with its attribute walk, finding
// attributes (in the record and in the extension records its attribute list names), choosing a
// file's name, mapping-pairs checks and decoding, and the system-file test. Every offset and length
// read from a record is checked against the record before use; walks end at the record's end.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "model/mapping_pairs.h"
#include "storage/device.h"

namespace korvex {

using MutableByteSpan = std::span<std::uint8_t>;

// Update-sequence fix-ups work in 512-byte strides whatever the device's sector size.
constexpr std::size_t kFixupStride = 512;
constexpr std::size_t kDefaultFileRecordSize = 1024;

// FILE record header (little-endian).
namespace file_record {
constexpr std::size_t kUpdateSequenceOffset = 0x04;  // u16
constexpr std::size_t kUpdateSequenceCount = 0x06;   // u16, entries including the sequence number
constexpr std::size_t kLogSequenceNumber = 0x08;     // u64
constexpr std::size_t kFirstAttribute = 0x14;        // u16
constexpr std::size_t kFlags = 0x16;                 // u16
constexpr std::size_t kBaseRecord = 0x20;            // u64, 0 for a base record
constexpr std::size_t kRecordNumberHigh = 0x2A;      // u16, 0 in the later layout
constexpr std::size_t kRecordNumber = 0x2C;          // u32, later layout only
constexpr std::uint16_t kInUse = 0x01;
constexpr std::uint16_t kDirectory = 0x02;
}  // namespace file_record

// Attribute header.
namespace attribute {
constexpr std::size_t kType = 0x00;             // u32
constexpr std::size_t kLength = 0x04;           // u32
constexpr std::size_t kNonResident = 0x08;      // u8
constexpr std::size_t kNameLength = 0x09;       // u8, characters; 0 = unnamed
constexpr std::size_t kNameOffset = 0x0A;       // u16
constexpr std::size_t kFlags = 0x0C;            // u16
constexpr std::size_t kValueLength = 0x10;      // u32 (resident)
constexpr std::size_t kValueOffset = 0x14;      // u16 (resident)
constexpr std::size_t kFirstVcn = 0x10;         // u64 (non-resident)
constexpr std::size_t kLastVcn = 0x18;          // u64 (non-resident)
constexpr std::size_t kMappingPairs = 0x20;     // u16 (non-resident)
constexpr std::size_t kAllocatedSize = 0x28;    // u64 (non-resident)
constexpr std::size_t kRealSize = 0x30;         // u64 (non-resident)
constexpr std::size_t kInitializedSize = 0x38;  // u64 (non-resident)
constexpr std::uint16_t kCompressed = 0x0001;
constexpr std::uint16_t kSparse = 0x8000;
constexpr std::uint16_t kEncrypted = 0x4000;
constexpr std::uint32_t kEnd = 0xFFFFFFFF;

constexpr std::uint32_t kStandardInformation = 0x10;
constexpr std::uint32_t kAttributeList = 0x20;
constexpr std::uint32_t kFileName = 0x30;
constexpr std::uint32_t kVolumeName = 0x60;
constexpr std::uint32_t kData = 0x80;
constexpr std::uint32_t kIndexRoot = 0x90;
constexpr std::uint32_t kIndexAllocation = 0xA0;
constexpr std::uint32_t kLoggedUtilityStream = 0x100;
}  // namespace attribute

// File-name attribute value.
namespace file_name {
constexpr std::size_t kParent = 0x00;         // u64: 48-bit record number, 16-bit sequence
constexpr std::size_t kCreationTime = 0x08;   // u64
constexpr std::size_t kAllocatedSize = 0x28;  // u64
constexpr std::size_t kRealSize = 0x30;       // u64
constexpr std::size_t kFlags = 0x38;          // u32
constexpr std::size_t kNameLength = 0x40;     // u8, characters
constexpr std::size_t kNamespace = 0x41;      // u8: 0 POSIX, 1 Win32, 2 DOS, 3 Win32 and DOS
constexpr std::size_t kName = 0x42;           // UTF-16
constexpr std::uint32_t kFlagDirectory = 0x10000000;
constexpr std::uint8_t kWin32 = 1;
}  // namespace file_name

constexpr std::uint64_t kRecordNumberMask = 0x0000FFFFFFFFFFFF;
constexpr std::uint64_t kRootDirectoryRecord = 5;

// Checks the update-sequence array and replaces the last u16 of every 512-byte block by its saved
// value. False, with nothing changed, when a block does not end with the sequence number or when the
// array or the blocks it covers do not lie inside `record`.
bool ApplyFixup(MutableByteSpan record);
// Puts the block ends back into the array and the sequence number back into the block ends. Does
// nothing where ApplyFixup would have refused.
void UndoFixup(MutableByteSpan record);

// The FILE-record test; `record` holds the bytes available (the record as read, usually its whole
// size). The record is fixed up for the walk and left as it was read.
bool IsFileRecord(MutableByteSpan record);

// An attribute found in a record: its offset and its bytes (header included, within the record).
struct NtfsAttribute {
  std::size_t offset = 0;
  ByteSpan bytes;

  std::uint32_t Type() const { return Le32(bytes, attribute::kType); }
  bool IsNonResident() const { return Le8(bytes, attribute::kNonResident) != 0; }
  std::uint8_t NameLength() const { return Le8(bytes, attribute::kNameLength); }
  std::uint16_t Flags() const { return Le16(bytes, attribute::kFlags); }
  // A resident attribute's value; nothing when non-resident or outside the attribute.
  std::optional<ByteSpan> ResidentValue() const;
  // Offset of the resident value from the record's start (attribute offset + value offset).
  std::size_t ResidentValueOffset() const { return offset + Le16(bytes, attribute::kValueOffset); }
  // A non-resident attribute's mapping pairs (to the attribute's end); empty when resident or malformed.
  ByteSpan MappingPairs() const;
  std::uint64_t FirstVcn() const { return Le64(bytes, attribute::kFirstVcn); }
  std::uint64_t LastVcn() const { return Le64(bytes, attribute::kLastVcn); }
  std::uint64_t RealSize() const { return Le64(bytes, attribute::kRealSize); }
  std::uint64_t InitializedSize() const { return Le64(bytes, attribute::kInitializedSize); }
};

// The attributes of a (fixed-up) record in order: the walk of IsFileRecord without its checks beyond
// the bounds. Ends at the end marker, a length of 0, a length that leaves the record, or 8 bytes before
// the record's end.
std::vector<NtfsAttribute> Attributes(ByteSpan record);

// The n-th (0-based) attribute of `type` in a fixed-up record.
std::optional<NtfsAttribute> FindAttribute(ByteSpan record, std::uint32_t type, std::uint32_t n);

// One extension record of a file: where it lies and its record number (the file's extra entries).
struct ExtraEntry {
  std::uint64_t lba = 0;
  std::uint64_t recordNumber = 0;
};

// An attribute found through the attribute list, with a copy of the fixed-up record that holds it and
// that record's LBA (`fromBase` when it is the base record itself).
struct ListedAttribute {
  std::vector<std::uint8_t> record;
  std::uint64_t recordLba = 0;
  bool fromBase = false;
  std::size_t offset = 0;
  std::size_t length = 0;

  NtfsAttribute Attribute() const { return {offset, ByteSpan(record).subspan(offset, length)}; }
};

// The n-th attribute of `type` counted over the base record and then each extension record in the
// order given; each extension record is read at its LBA (`recordSize` bytes, whole sectors), must pass
// IsFileRecord, and is fixed up. Nothing when there are fewer than n + 1.
std::optional<ListedAttribute> FindAttributeInList(ByteSpan baseRecord, std::uint64_t baseLba,
                                                   std::uint32_t type, std::uint32_t n,
                                                   const std::vector<ExtraEntry>& extensions, IDevice& device,
                                                   std::uint32_t bytesPerSector,
                                                   std::size_t recordSize = kDefaultFileRecordSize);

// The record numbers an attribute-list value names, each once, in order of first mention.
std::vector<std::uint64_t> AttributeListRecords(ByteSpan attributeList);

// LBA of MFT record `n` placed through the $MFT's data runs (clusters from `partitionLba`); nothing when
// the runs do not reach it or it falls in a sparse run.
std::optional<std::uint64_t> MftRecordLba(const std::vector<MappingPairsRun>& mftRuns,
                                          std::uint64_t partitionLba, std::uint32_t sectorsPerCluster,
                                          std::uint32_t bytesPerSector, std::size_t recordSize,
                                          std::uint64_t n);

// The name ChooseFileName settles on, the parent it names, and what the chosen attribute says.
struct ChosenFileName {
  std::string name;                   // UTF-8, "_" for what cannot convert
  std::uint64_t parentReference = 0;  // 48-bit record number and 16-bit sequence
  std::uint8_t nameSpace = 0;
  std::uint64_t realSize = 0;
  std::uint32_t flags = 0;

  std::uint64_t ParentRecord() const { return parentReference & kRecordNumberMask; }
};

// From the first two file-name attributes of a fixed-up record: the second when it is a Win32 name,
// else the first; the parent from the second, else the first, when it names record 5 or above, else the
// chosen one's. Nothing when there is no file-name attribute or the chosen name is empty.
std::optional<ChosenFileName> ChooseFileName(ByteSpan record);
// The same, with file-name attributes searched through the attribute list as well.
std::optional<ChosenFileName> ChooseFileName(ByteSpan baseRecord, std::uint64_t baseLba,
                                             const std::vector<ExtraEntry>& extensions, IDevice& device,
                                             std::uint32_t bytesPerSector,
                                             std::size_t recordSize = kDefaultFileRecordSize);

// True when the headers end in a 0 byte inside `bytes` and no delta or length is wider than 4 bytes.
bool IsMappingPairsSane(ByteSpan bytes);

// The runs of a non-resident attribute's mapping pairs with their starting virtual clusters; the
// first virtual cluster is added so that the runs of a later extent count from where it starts.
std::vector<MappingPairsRun> DecodeRuns(ByteSpan mappingPairs, std::uint64_t firstVcn = 0);

// Sectors per cluster implied by a non-resident attribute and the size it holds: size over its total
// run length in sectors, rounded up to a power of two; 0 when there are no runs or the result is 0 or
// above 128.
std::uint8_t SectorsPerClusterFromAttribute(const NtfsAttribute& nonResident, std::uint64_t size,
                                            std::uint32_t bytesPerSector);

// The system-file id (0..11, 32..34) of a fixed-up record whose first file name is a system file's
// and whose standard information has hidden and system set; nothing otherwise.
std::optional<std::uint32_t> IsSystemFile(ByteSpan record);

// The resident value of the data attribute whose value lies at `residentOffset` of the FILE record at
// `recordLba` (the source resident run lists read through). False when the record fails IsFileRecord
// or holds no such value.
bool ReadResidentData(IDevice& device, std::uint32_t bytesPerSector, std::size_t recordSize,
                      std::uint64_t recordLba, std::uint32_t residentOffset,
                      std::vector<std::uint8_t>& value);

}  // namespace korvex
