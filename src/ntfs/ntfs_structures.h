// Recognisers for the other on-disk structures that betray an NTFS volume: index records of
// directories, log-file record and restart pages, sectors of the upper-case table and of the
// attribute-definition table. The lost-partition search uses them on sectors of unknown origin.
#pragma once

#include <array>
#include <cstdint>

#include "common/byte_reader.h"
#include "ntfs/ntfs_record.h"

namespace korvex {

// Index record header ("INDX"); the index header starts at 0x18 and its offsets count from there.
namespace index_record {
constexpr std::size_t kUpdateSequenceOffset = 0x04;
constexpr std::size_t kUpdateSequenceCount = 0x06;
constexpr std::size_t kVcn = 0x10;            // u64
constexpr std::size_t kHeader = 0x18;         // index header
constexpr std::size_t kEntriesOffset = 0x18;  // u32, from 0x18
constexpr std::size_t kTotalSize = 0x1C;      // u32, from 0x18
constexpr std::size_t kAllocatedSize = 0x20;  // u32, from 0x18
}  // namespace index_record

// Index entry.
namespace index_entry {
constexpr std::size_t kFileReference = 0x00;  // u64
constexpr std::size_t kLength = 0x08;         // u16
constexpr std::size_t kKeyLength = 0x0A;      // u16
constexpr std::size_t kFlags = 0x0C;          // u16
constexpr std::size_t kKey = 0x10;            // a file-name value
constexpr std::uint16_t kSubNode = 0x01;
constexpr std::uint16_t kLast = 0x02;
}  // namespace index_entry

// The index-record test over the bytes available; fixed up for the entry check and left as read.
bool IsIndexRecord(MutableByteSpan bytes);

// A log-file record page ("RCRD") as written, never fixed up: 8 sectors of 512 bytes.
bool IsLogRecordPage(ByteSpan page);
// A log-file restart page ("RSTR") of client "NTFS": 8 sectors of 512 bytes.
bool IsLogRestartPage(ByteSpan page);

// The upper-case table as an NTFS volume's $UpCase file holds it: entry i is the upper case of UTF-16
// code unit i.
const std::array<std::uint16_t, 65536>& UpCaseTable();
// A 512-byte sector equal to the part of the table it claims by its byte 1 (entries 256h .. 256h + 255).
bool IsUpCaseSector(ByteSpan sector);

// The standard $AttrDef content of NTFS 3.x: 16 definitions of 160 bytes.
constexpr std::size_t kAttrDefSize = 2560;
const std::array<std::uint8_t, kAttrDefSize>& StandardAttrDef();
// A 512-byte sector equal to one of the five sectors of the standard $AttrDef content.
bool IsAttrDefSector(ByteSpan sector);

}  // namespace korvex
