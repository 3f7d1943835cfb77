#include "ntfs/ntfs_record.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "common/text.h"

namespace korvex {

namespace {

constexpr std::size_t kAttributeHeader = 16;

struct FixupLayout {
  std::size_t arrayOffset = 0;
  std::size_t count = 0;  // entries including the sequence number
};

// The update-sequence layout when the array and every block it covers lie inside the record.
std::optional<FixupLayout> FixupOf(ByteSpan record) {
  FixupLayout f{Le16(record, file_record::kUpdateSequenceOffset),
                Le16(record, file_record::kUpdateSequenceCount)};
  if (f.count == 0)
    return f;
  if (!InBounds(record.size(), f.arrayOffset, 2 * f.count) || (f.count - 1) * kFixupStride > record.size())
    return std::nullopt;
  return f;
}

std::uint16_t Get16(ByteSpan b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
void Put16(MutableByteSpan b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// Characters a file name may not hold.
bool HasForbiddenCharacter(ByteSpan utf16) {
  constexpr std::string_view kForbidden = "\"*/:<>?\\|";
  for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
    const std::uint16_t c = Get16(utf16, i);
    if (c < 0x80 && kForbidden.find(static_cast<char>(c)) != std::string_view::npos)
      return true;
  }
  return false;
}

// The file-name attribute value's name, when the value holds it whole.
std::optional<ByteSpan> FileNameOf(ByteSpan value) {
  if (value.size() < file_name::kName)
    return std::nullopt;
  const std::size_t bytes = 2 * std::size_t{value[file_name::kNameLength]};
  if (!InBounds(value.size(), file_name::kName, bytes))
    return std::nullopt;
  return value.subspan(file_name::kName, bytes);
}

// Walks the attribute chain of `record`; `visit` returns false to stop. The result is false when the
// walk met an attribute that does not fit the record (fewer than 16 bytes left, or a length past the end).
template <typename Visit>
bool WalkAttributes(ByteSpan record, Visit&& visit) {
  if (record.size() < 8)
    return false;
  const std::size_t limit = record.size() - 8;
  for (std::size_t at = Le16(record, file_record::kFirstAttribute); at < limit;) {
    if (Le32(record, at + attribute::kType) == attribute::kEnd)
      return true;
    const std::uint32_t length = Le32(record, at + attribute::kLength);
    if (length == 0)
      return true;
    const std::size_t remaining = record.size() - at;
    if (remaining < kAttributeHeader || length > remaining)
      return false;
    if (!visit(NtfsAttribute{at, record.subspan(at, length)}))
      return true;
    at += length;
  }
  return true;
}

bool AttributeIsSound(const NtfsAttribute& a) {
  if (a.IsNonResident()) {
    const std::uint16_t pairs = Le16(a.bytes, attribute::kMappingPairs);
    if (a.bytes.size() < pairs)
      return false;
    if (a.Type() == attribute::kData && !IsMappingPairsSane(a.bytes.subspan(pairs)))
      return false;
    return true;
  }
  const std::uint64_t valueEnd =
      std::uint64_t{Le16(a.bytes, attribute::kValueOffset)} + Le32(a.bytes, attribute::kValueLength);
  if (a.bytes.size() < valueEnd)
    return false;
  if (a.Type() == attribute::kFileName) {
    const std::optional<ByteSpan> name = FileNameOf(*a.ResidentValue());
    if (name && HasForbiddenCharacter(*name))
      return false;
  }
  return true;
}

struct FileNameSlot {
  ByteSpan value;
  std::uint64_t parent = 0;
};

std::optional<FileNameSlot> SlotOf(const std::optional<NtfsAttribute>& a) {
  if (!a)
    return std::nullopt;
  const std::optional<ByteSpan> value = a->ResidentValue();
  if (!value || value->size() < file_name::kName)
    return std::nullopt;
  return FileNameSlot{*value, Le64(*value, file_name::kParent)};
}

std::optional<ChosenFileName> Choose(const std::optional<FileNameSlot>& first,
                                     const std::optional<FileNameSlot>& second) {
  if (!first)
    return std::nullopt;
  const FileNameSlot& chosen =
      second && second->value[file_name::kNamespace] == file_name::kWin32 ? *second : *first;
  const std::optional<ByteSpan> name = FileNameOf(chosen.value);
  if (!name || name->empty())
    return std::nullopt;
  ChosenFileName out;
  out.name = Utf16LeToUtf8(*name);
  if (second && second->parent >= kRootDirectoryRecord)
    out.parentReference = second->parent;
  else if (first->parent >= kRootDirectoryRecord)
    out.parentReference = first->parent;
  else
    out.parentReference = chosen.parent;
  out.nameSpace = chosen.value[file_name::kNamespace];
  out.realSize = Le64(chosen.value, file_name::kRealSize);
  out.flags = Le32(chosen.value, file_name::kFlags);
  return out;
}

// Reads `recordSize` bytes at `lba` in whole sectors; empty when the read fails.
std::vector<std::uint8_t> ReadRecord(IDevice& device, std::uint64_t lba, std::uint32_t bytesPerSector,
                                     std::size_t recordSize) {
  if (bytesPerSector == 0 || recordSize == 0 || recordSize > 64 * 1024)
    return {};
  const std::size_t sectors = (recordSize + bytesPerSector - 1) / bytesPerSector;
  std::vector<std::uint8_t> buffer(sectors * bytesPerSector, 0);
  if (!device.Read(buffer.data(), lba, sectors, bytesPerSector))
    return {};
  buffer.resize(recordSize);
  return buffer;
}

}  // namespace

bool ApplyFixup(MutableByteSpan record) {
  const std::optional<FixupLayout> f = FixupOf(record);
  if (!f)
    return false;
  if (f->count < 2)
    return true;
  const std::uint16_t sequence = Get16(record, f->arrayOffset);
  for (std::size_t k = 0; k + 1 < f->count; ++k) {
    if (Get16(record, (k + 1) * kFixupStride - 2) != sequence)
      return false;
  }
  // The array is copied first: a crafted record may place it across a block end.
  std::vector<std::uint16_t> saved(f->count);
  for (std::size_t k = 0; k < f->count; ++k)
    saved[k] = Get16(record, f->arrayOffset + 2 * k);
  for (std::size_t k = 0; k + 1 < f->count; ++k)
    Put16(record, (k + 1) * kFixupStride - 2, saved[k + 1]);
  return true;
}

void UndoFixup(MutableByteSpan record) {
  const std::optional<FixupLayout> f = FixupOf(record);
  if (!f || f->count < 2)
    return;
  const std::uint16_t sequence = Get16(record, f->arrayOffset);
  for (std::size_t k = 0; k + 1 < f->count; ++k) {
    const std::size_t end = (k + 1) * kFixupStride - 2;
    Put16(record, f->arrayOffset + 2 * (k + 1), Get16(record, end));
    Put16(record, end, sequence);
  }
}

bool IsFileRecord(MutableByteSpan record) {
  if (record.size() < 0x30 || std::memcmp(record.data(), "FILE", 4) != 0)
    return false;
  const std::uint16_t usaOffset = Le16(record, file_record::kUpdateSequenceOffset);
  if (Le16(record, file_record::kUpdateSequenceCount) > 16 || usaOffset < 42 || usaOffset > 256)
    return false;
  const bool fixed = ApplyFixup(record);
  bool sound = true;
  const bool walked = WalkAttributes(record, [&](const NtfsAttribute& a) {
    sound = AttributeIsSound(a);
    return sound;
  });
  if (fixed)
    UndoFixup(record);
  return walked && sound;
}

std::optional<ByteSpan> NtfsAttribute::ResidentValue() const {
  if (IsNonResident())
    return std::nullopt;
  const std::uint16_t valueOffset = Le16(bytes, attribute::kValueOffset);
  const std::uint32_t length = Le32(bytes, attribute::kValueLength);
  if (!InBounds(bytes.size(), valueOffset, length))
    return std::nullopt;
  return bytes.subspan(valueOffset, length);
}

ByteSpan NtfsAttribute::MappingPairs() const {
  if (!IsNonResident())
    return {};
  const std::uint16_t pairs = Le16(bytes, attribute::kMappingPairs);
  return pairs < bytes.size() ? bytes.subspan(pairs) : ByteSpan{};
}

std::vector<NtfsAttribute> Attributes(ByteSpan record) {
  std::vector<NtfsAttribute> out;
  WalkAttributes(record, [&](const NtfsAttribute& a) {
    out.push_back(a);
    return true;
  });
  return out;
}

std::optional<NtfsAttribute> FindAttribute(ByteSpan record, std::uint32_t type, std::uint32_t n) {
  std::optional<NtfsAttribute> found;
  std::uint32_t seen = 0;
  WalkAttributes(record, [&](const NtfsAttribute& a) {
    if (a.Type() == type && seen++ == n)
      found = a;
    return !found;
  });
  return found;
}

std::optional<ListedAttribute> FindAttributeInList(ByteSpan baseRecord, std::uint64_t baseLba,
                                                   std::uint32_t type, std::uint32_t n,
                                                   const std::vector<ExtraEntry>& extensions, IDevice& device,
                                                   std::uint32_t bytesPerSector, std::size_t recordSize) {
  std::uint32_t seen = 0;
  auto search = [&](ByteSpan record, std::uint64_t lba, bool fromBase) -> std::optional<ListedAttribute> {
    std::optional<ListedAttribute> out;
    WalkAttributes(record, [&](const NtfsAttribute& a) {
      if (a.Type() == type && seen++ == n)
        out = ListedAttribute{std::vector<std::uint8_t>(record.begin(), record.end()), lba, fromBase,
                              a.offset, a.bytes.size()};
      return !out;
    });
    return out;
  };
  if (std::optional<ListedAttribute> found = search(baseRecord, baseLba, true))
    return found;
  for (const ExtraEntry& e : extensions) {
    std::vector<std::uint8_t> record = ReadRecord(device, e.lba, bytesPerSector, recordSize);
    if (record.empty() || !IsFileRecord(record) || !ApplyFixup(record))
      continue;
    if (std::optional<ListedAttribute> found = search(record, e.lba, false))
      return found;
  }
  return std::nullopt;
}

std::vector<std::uint64_t> AttributeListRecords(ByteSpan list) {
  // Entry: type u32, entry length u16 at 4, ..., file reference u64 at 0x10, attribute id u16 at 0x18.
  constexpr std::size_t kEntryHeader = 0x1A;
  std::vector<std::uint64_t> records;
  for (std::size_t at = 0; InBounds(list.size(), at, kEntryHeader);) {
    const std::uint16_t length = Le16(list, at + 4);
    if (length < kEntryHeader)
      break;
    const std::uint64_t record = Le64(list, at + 0x10) & kRecordNumberMask;
    if (std::find(records.begin(), records.end(), record) == records.end())
      records.push_back(record);
    at += length;
  }
  return records;
}

std::optional<std::uint64_t> MftRecordLba(const std::vector<MappingPairsRun>& mftRuns,
                                          std::uint64_t partitionLba, std::uint32_t sectorsPerCluster,
                                          std::uint32_t bytesPerSector, std::size_t recordSize,
                                          std::uint64_t n) {
  const std::uint64_t clusterBytes = std::uint64_t{sectorsPerCluster} * bytesPerSector;
  std::uint64_t offset = 0;
  if (clusterBytes == 0 || __builtin_mul_overflow(n, std::uint64_t{recordSize}, &offset))
    return std::nullopt;
  const std::uint64_t vcn = offset / clusterBytes;
  for (const MappingPairsRun& r : mftRuns) {
    if (vcn < r.vcn || vcn - r.vcn >= r.run.length)
      continue;
    if (r.run.IsSparse() || r.run.start < 0)
      return std::nullopt;
    std::uint64_t lba = 0;
    if (__builtin_mul_overflow(static_cast<std::uint64_t>(r.run.start) + (vcn - r.vcn), sectorsPerCluster,
                               &lba) ||
        __builtin_add_overflow(lba, partitionLba + offset % clusterBytes / bytesPerSector, &lba))
      return std::nullopt;
    return lba;
  }
  return std::nullopt;
}

std::optional<ChosenFileName> ChooseFileName(ByteSpan record) {
  return Choose(SlotOf(FindAttribute(record, attribute::kFileName, 0)),
                SlotOf(FindAttribute(record, attribute::kFileName, 1)));
}

std::optional<ChosenFileName> ChooseFileName(ByteSpan baseRecord, std::uint64_t baseLba,
                                             const std::vector<ExtraEntry>& extensions, IDevice& device,
                                             std::uint32_t bytesPerSector, std::size_t recordSize) {
  const std::optional<ListedAttribute> first = FindAttributeInList(
      baseRecord, baseLba, attribute::kFileName, 0, extensions, device, bytesPerSector, recordSize);
  const std::optional<ListedAttribute> second = FindAttributeInList(
      baseRecord, baseLba, attribute::kFileName, 1, extensions, device, bytesPerSector, recordSize);
  auto slot = [](const std::optional<ListedAttribute>& l) {
    return l ? SlotOf(l->Attribute()) : std::nullopt;
  };
  return Choose(slot(first), slot(second));
}

bool IsMappingPairsSane(ByteSpan bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    const std::uint8_t header = bytes[at];
    if (header == 0)
      return true;
    if ((header & 0x80) || (header >> 4) > 4 || (header & 0x0F) > 4)
      return false;
    at += 1 + (header >> 4) + (header & 0x0F);
  }
  return false;
}

std::vector<MappingPairsRun> DecodeRuns(ByteSpan mappingPairs, std::uint64_t firstVcn) {
  std::vector<MappingPairsRun> runs = DecodeMappingPairs(mappingPairs);
  for (MappingPairsRun& r : runs)
    r.vcn += firstVcn;
  return runs;
}

std::uint8_t SectorsPerClusterFromAttribute(const NtfsAttribute& a, std::uint64_t size,
                                            std::uint32_t bytesPerSector) {
  if (!a.IsNonResident() || bytesPerSector == 0)
    return 0;
  std::uint64_t clusters = 0;
  for (const MappingPairsRun& r : DecodeMappingPairs(a.MappingPairs())) {
    if (__builtin_add_overflow(clusters, r.run.length, &clusters))
      return 0;
  }
  if (clusters == 0)
    return 0;
  // Data instances must cover exactly their virtual clusters, unless compressed.
  if (a.Type() == attribute::kData && !(a.Flags() & attribute::kCompressed) &&
      (a.LastVcn() < a.FirstVcn() || clusters != a.LastVcn() - a.FirstVcn() + 1))
    return 0;
  std::uint64_t bytesPerCluster = 0;
  std::uint64_t x = 0;
  if (__builtin_mul_overflow(clusters, std::uint64_t{bytesPerSector}, &bytesPerCluster))
    x = size == 0 ? 0 : 1;
  else
    x = size / bytesPerCluster + (size % bytesPerCluster != 0);
  if (x == 0 || x > 128)
    return 0;
  std::uint8_t spc = 1;
  while (spc < x)
    spc = static_cast<std::uint8_t>(spc * 2);
  return spc;
}

std::optional<std::uint32_t> IsSystemFile(ByteSpan record) {
  struct SystemFile {
    std::uint32_t id;
    std::string_view name;
  };
  static constexpr SystemFile kSystemFiles[] = {
      {0, "$MFT"},     {1, "$MFTMirr"}, {2, "$LogFile"}, {3, "$Volume"},  {4, "$AttrDef"},
      {5, "."},        {6, "$Bitmap"},  {7, "$Boot"},    {8, "$BadClus"}, {9, "$Secure"},
      {10, "$UpCase"}, {11, "$Extend"}, {32, "$Quota"},  {33, "$ObjId"},  {34, "$Reparse"},
  };
  const std::optional<FileNameSlot> first = SlotOf(FindAttribute(record, attribute::kFileName, 0));
  const std::optional<NtfsAttribute> info = FindAttribute(record, attribute::kStandardInformation, 0);
  if (!first || !info)
    return std::nullopt;
  const std::optional<ByteSpan> infoValue = info->ResidentValue();
  constexpr std::uint32_t kHiddenSystem = 0x06;
  if (!infoValue || (Le32(*infoValue, 0x20) & kHiddenSystem) != kHiddenSystem)
    return std::nullopt;
  const std::optional<ByteSpan> name = FileNameOf(first->value);
  if (!name)
    return std::nullopt;
  const std::string text = Utf16LeToUtf8(*name);
  for (const SystemFile& s : kSystemFiles) {
    if (text == s.name)
      return s.id;
  }
  return std::nullopt;
}

bool ReadResidentData(IDevice& device, std::uint32_t bytesPerSector, std::size_t recordSize,
                      std::uint64_t recordLba, std::uint32_t residentOffset,
                      std::vector<std::uint8_t>& value) {
  std::vector<std::uint8_t> record = ReadRecord(device, recordLba, bytesPerSector, recordSize);
  if (record.empty() || !IsFileRecord(record) || !ApplyFixup(record))
    return false;
  std::optional<ByteSpan> found;
  std::optional<ByteSpan> unnamed;
  WalkAttributes(record, [&](const NtfsAttribute& a) {
    if (a.Type() == attribute::kData && !a.IsNonResident()) {
      if (a.ResidentValueOffset() == residentOffset)
        found = a.ResidentValue();
      else if (!unnamed && a.NameLength() == 0)
        unnamed = a.ResidentValue();
    }
    return !found;
  });
  if (!found)
    found = unnamed;
  if (!found)
    return false;
  value.assign(found->begin(), found->end());
  return true;
}

}  // namespace korvex
