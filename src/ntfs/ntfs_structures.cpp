#include "ntfs/ntfs_structures.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace korvex {

namespace {

constexpr std::size_t kLogPageSectors = 8;

// The entries from the first: the walk ends with success at a last entry or one of length 0.
bool EntriesAreSound(ByteSpan bytes, std::size_t from, std::size_t to) {
  to = std::min(to, bytes.size());
  const std::uint64_t firstParent = Le64(bytes, from + index_entry::kKey + file_name::kParent);
  constexpr std::size_t kCheckedSpan = index_entry::kKey + file_name::kNameLength;
  for (std::size_t at = from; at < to;) {
    const std::uint16_t length = Le16(bytes, at + index_entry::kLength);
    const std::uint16_t flags = Le16(bytes, at + index_entry::kFlags);
    if (!InBounds(bytes.size(), at, index_entry::kKey))
      return false;
    if ((flags & index_entry::kLast) || length == 0)
      return true;
    if (flags != index_entry::kSubNode) {
      if (!InBounds(bytes.size(), at, kCheckedSpan))
        return false;
      const std::size_t key = at + index_entry::kKey;
      if (Le64(bytes, key + file_name::kAllocatedSize) < Le64(bytes, key + file_name::kRealSize) ||
          Le64(bytes, key + file_name::kParent) != firstParent)
        return false;
    }
    at += length;
  }
  return true;
}

bool SectorEndsEqual(ByteSpan page, std::uint16_t value) {
  for (std::size_t k = 1; k <= kLogPageSectors; ++k) {
    if (Le16(page, k * kFixupStride - 2) != value)
      return false;
  }
  return true;
}

struct UpCaseRange {
  std::uint16_t first, last;
  int difference;
  bool everySecond;
};

// Code-unit ranges that map to another unit, with the difference to add; every other unit maps to
// itself (636 units change). Newer formatters, mkntfs among them, write a larger table.
constexpr UpCaseRange kUpCaseRanges[] = {
    {0x0061, 0x007A, -32, false},  {0x00E0, 0x00F6, -32, false},  {0x00F8, 0x00FE, -32, false},
    {0x00FF, 0x00FF, 121, false},  {0x0101, 0x012F, -1, true},    {0x0133, 0x0137, -1, true},
    {0x013A, 0x0148, -1, true},    {0x014B, 0x0177, -1, true},    {0x017A, 0x017E, -1, true},
    {0x0183, 0x0185, -1, true},    {0x0188, 0x0188, -1, false},   {0x018C, 0x018C, -1, false},
    {0x0192, 0x0192, -1, false},   {0x0199, 0x0199, -1, false},   {0x01A1, 0x01A5, -1, true},
    {0x01A8, 0x01A8, -1, false},   {0x01AD, 0x01AD, -1, false},   {0x01B0, 0x01B0, -1, false},
    {0x01B4, 0x01B6, -1, true},    {0x01B9, 0x01B9, -1, false},   {0x01BD, 0x01BD, -1, false},
    {0x01C6, 0x01C6, -2, false},   {0x01C9, 0x01C9, -2, false},   {0x01CC, 0x01CC, -2, false},
    {0x01CE, 0x01DC, -1, true},    {0x01DD, 0x01DD, -79, false},  {0x01DF, 0x01EF, -1, true},
    {0x01F3, 0x01F3, -2, false},   {0x01F5, 0x01F5, -1, false},   {0x01FB, 0x0217, -1, true},
    {0x0253, 0x0253, -210, false}, {0x0254, 0x0254, -206, false}, {0x0256, 0x0257, -205, false},
    {0x0259, 0x0259, -202, false}, {0x025B, 0x025B, -203, false}, {0x0260, 0x0260, -205, false},
    {0x0263, 0x0263, -207, false}, {0x0268, 0x0268, -209, false}, {0x0269, 0x0269, -211, false},
    {0x026F, 0x026F, -211, false}, {0x0272, 0x0272, -213, false}, {0x0275, 0x0275, -214, false},
    {0x0283, 0x0283, -218, false}, {0x0288, 0x0288, -218, false}, {0x028A, 0x028B, -217, false},
    {0x0292, 0x0292, -219, false}, {0x03AC, 0x03AC, -38, false},  {0x03AD, 0x03AF, -37, false},
    {0x03B1, 0x03C1, -32, false},  {0x03C2, 0x03C2, -31, false},  {0x03C3, 0x03CB, -32, false},
    {0x03CC, 0x03CC, -64, false},  {0x03CD, 0x03CE, -63, false},  {0x03E3, 0x03EF, -1, true},
    {0x0430, 0x044F, -32, false},  {0x0451, 0x045C, -80, false},  {0x045E, 0x045F, -80, false},
    {0x0461, 0x0481, -1, true},    {0x0491, 0x04BF, -1, true},    {0x04C2, 0x04C4, -1, true},
    {0x04C8, 0x04C8, -1, false},   {0x04CC, 0x04CC, -1, false},   {0x04D1, 0x04EB, -1, true},
    {0x04EF, 0x04F5, -1, true},    {0x04F9, 0x04F9, -1, false},   {0x0561, 0x0586, -48, false},
    {0x1E01, 0x1E95, -1, true},    {0x1EA1, 0x1EF9, -1, true},    {0x1F00, 0x1F07, 8, false},
    {0x1F10, 0x1F15, 8, false},    {0x1F20, 0x1F27, 8, false},    {0x1F30, 0x1F37, 8, false},
    {0x1F40, 0x1F45, 8, false},    {0x1F51, 0x1F57, 8, true},     {0x1F60, 0x1F67, 8, false},
    {0x1F70, 0x1F71, 74, false},   {0x1F72, 0x1F75, 86, false},   {0x1F76, 0x1F77, 100, false},
    {0x1F78, 0x1F79, 128, false},  {0x1F7A, 0x1F7B, 112, false},  {0x1F7C, 0x1F7D, 126, false},
    {0x1FB0, 0x1FB1, 8, false},    {0x1FD0, 0x1FD1, 8, false},    {0x1FE0, 0x1FE1, 8, false},
    {0x1FE5, 0x1FE5, 7, false},    {0x2170, 0x217F, -16, false},  {0x24D0, 0x24E9, -26, false},
    {0xFF41, 0xFF5A, -32, false},
};

struct AttrDefinition {
  std::u16string_view name;
  std::uint32_t type;
  std::uint32_t flags;
  std::int64_t minimum;
  std::int64_t maximum;
};

constexpr AttrDefinition kAttrDefinitions[] = {
    {u"$STANDARD_INFORMATION", 0x10, 0x40, 48, 72},
    {u"$ATTRIBUTE_LIST", 0x20, 0x80, 0, -1},
    {u"$FILE_NAME", 0x30, 0x42, 68, 578},
    {u"$OBJECT_ID", 0x40, 0x40, 0, 256},
    {u"$SECURITY_DESCRIPTOR", 0x50, 0x80, 0, -1},
    {u"$VOLUME_NAME", 0x60, 0x40, 2, 256},
    {u"$VOLUME_INFORMATION", 0x70, 0x40, 12, 12},
    {u"$DATA", 0x80, 0, 0, -1},
    {u"$INDEX_ROOT", 0x90, 0x40, 0, -1},
    {u"$INDEX_ALLOCATION", 0xA0, 0x80, 0, -1},
    {u"$BITMAP", 0xB0, 0x80, 0, -1},
    {u"$REPARSE_POINT", 0xC0, 0x80, 0, 16384},
    {u"$EA_INFORMATION", 0xD0, 0x40, 8, 8},
    {u"$EA", 0xE0, 0, 0, 65536},
    {u"$LOGGED_UTILITY_STREAM", 0x100, 0x80, 0, 65536},
};

void PutLe(std::uint8_t* at, std::uint64_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i)
    at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

bool IsIndexRecord(MutableByteSpan bytes) {
  using namespace index_record;
  if (bytes.size() < 0x28 || std::memcmp(bytes.data(), "INDX", 4) != 0)
    return false;
  const std::uint32_t entriesOffset = Le32(bytes, kEntriesOffset);
  const std::uint32_t total = Le32(bytes, kTotalSize);
  const std::uint32_t allocated = Le32(bytes, kAllocatedSize);
  const std::uint16_t count = Le16(bytes, kUpdateSequenceCount);
  const std::uint16_t usaOffset = Le16(bytes, kUpdateSequenceOffset);
  if (allocated > bytes.size() || allocated < total || count > 16 ||
      count != (std::uint64_t{allocated} + entriesOffset) / kFixupStride + 1 ||
      bytes.size() / kFixupStride < std::size_t{count} - 1 || usaOffset < 40 || usaOffset > 256)
    return false;
  if (!ApplyFixup(bytes))
    return false;
  const std::uint64_t from = std::uint64_t{kHeader} + entriesOffset;
  const bool sound =
      from < bytes.size() &&
      EntriesAreSound(bytes, static_cast<std::size_t>(from),
                      static_cast<std::size_t>(std::min<std::uint64_t>(from + total, bytes.size())));
  UndoFixup(bytes);
  return sound;
}

bool IsLogRecordPage(ByteSpan page) {
  return page.size() >= kLogPageSectors * kFixupStride && std::memcmp(page.data(), "RCRD", 4) == 0 &&
         Le16(page, 0x06) == 9 && Le16(page, 0x04) == 40 && SectorEndsEqual(page, Le16(page, 40));
}

bool IsLogRestartPage(ByteSpan page) {
  static constexpr std::uint8_t kClientName[] = {'N', 0, 'T', 0, 'F', 0, 'S', 0};
  return page.size() >= kLogPageSectors * kFixupStride && std::memcmp(page.data(), "RSTR", 4) == 0 &&
         std::memcmp(page.data() + 0x90, kClientName, sizeof kClientName) == 0 &&
         SectorEndsEqual(page, Le16(page, 0x1E));
}

const std::array<std::uint16_t, 65536>& UpCaseTable() {
  static const std::array<std::uint16_t, 65536> table = [] {
    std::array<std::uint16_t, 65536> t{};
    for (std::size_t i = 0; i < t.size(); ++i)
      t[i] = static_cast<std::uint16_t>(i);
    for (const UpCaseRange& r : kUpCaseRanges) {
      for (std::uint32_t c = r.first; c <= r.last; c += r.everySecond ? 2 : 1)
        t[c] = static_cast<std::uint16_t>(static_cast<int>(c) + r.difference);
    }
    return t;
  }();
  return table;
}

bool IsUpCaseSector(ByteSpan sector) {
  if (sector.size() < 512)
    return false;
  const std::array<std::uint16_t, 65536>& table = UpCaseTable();
  const std::size_t first = 256 * std::size_t{sector[1]};
  for (std::size_t i = 0; i < 256; ++i) {
    if (Le16(sector, 2 * i) != table[first + i])
      return false;
  }
  return true;
}

const std::array<std::uint8_t, kAttrDefSize>& StandardAttrDef() {
  static const std::array<std::uint8_t, kAttrDefSize> content = [] {
    std::array<std::uint8_t, kAttrDefSize> c{};
    std::size_t at = 0;
    for (const AttrDefinition& d : kAttrDefinitions) {
      for (std::size_t i = 0; i < d.name.size(); ++i)
        PutLe(&c[at + 2 * i], d.name[i], 2);
      PutLe(&c[at + 0x80], d.type, 4);
      PutLe(&c[at + 0x8C], d.flags, 4);
      PutLe(&c[at + 0x90], static_cast<std::uint64_t>(d.minimum), 8);
      PutLe(&c[at + 0x98], static_cast<std::uint64_t>(d.maximum), 8);
      at += 160;
    }
    return c;
  }();
  return content;
}

bool IsAttrDefSector(ByteSpan sector) {
  if (sector.size() < 512)
    return false;
  const std::array<std::uint8_t, kAttrDefSize>& content = StandardAttrDef();
  for (std::size_t k = 0; k < kAttrDefSize / 512; ++k) {
    if (std::memcmp(sector.data(), content.data() + 512 * k, 512) == 0)
      return true;
  }
  return false;
}

}  // namespace korvex
