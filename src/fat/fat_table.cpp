#include "fat/fat_table.h"

#include "common/byte_reader.h"
#include "fat/fat_volume.h"

namespace korvex {

CFATTableBase::CFATTableBase(IDevice* device, std::uint64_t firstLba, std::uint32_t length,
                             std::uint32_t minLength, std::uint32_t maxLength, std::uint32_t entriesPerSector)
    : device_(device), firstLba_(firstLba), length_(length) {
  if (length < minLength || length > maxLength)
    return;
  entries_ = length * entriesPerSector;
  entryBytes_ = entriesPerSector ? kFatSectorSize / entriesPerSector : 0;
  buffer_.assign(std::size_t{length} * kFatSectorSize, 0);
  if (!device || !device->Read(buffer_.data(), firstLba, length, kFatSectorSize)) {
    std::fill(buffer_.begin(), buffer_.end(), 0);
  }
}

std::uint32_t CFATTableBase::RawEntry(std::uint32_t i) const {
  return entryBytes_ == 2 ? Le16(buffer_, std::uint64_t{i} * 2) : Le32(buffer_, std::uint64_t{i} * 4);
}

int CFATTableBase::ValidateLinks(std::uint32_t maxLink) const {
  const std::uint32_t n = entries_;
  for (std::uint32_t i = 2; i < n; ++i) {
    const std::uint32_t e = RawEntry(i);
    if ((e >= n && e <= maxLink) || e == 1 || e == i)
      return 0;
  }
  // Every cluster may have one predecessor, and no chain may loop. Each link is walked once: a walk
  // that reaches a cluster already walked joins that chain, which was checked then.
  std::vector<std::uint32_t> predecessor(n, 0);
  std::vector<bool> walked(n, false);
  for (std::uint32_t head = 2; head < n; ++head) {
    if (predecessor[head] != 0)
      continue;
    std::uint32_t current = head;
    walked[current] = true;
    for (std::uint32_t e = RawEntry(current); e >= 2 && e <= maxLink; e = RawEntry(current)) {
      if (predecessor[e] != 0 || e == head)
        return 0;  // two links to one cluster, or a loop
      predecessor[e] = current;
      if (walked[e])
        break;  // the head of an earlier chain
      walked[e] = true;
      current = e;
    }
  }
  return 1;
}

CFAT12Table::CFAT12Table(IDevice* device, std::uint64_t firstLba, std::uint32_t length)
    : CFATTableBase(device, firstLba, length, 1, 12, 0) {}

std::uint32_t CFAT12Table::GetEntry(std::uint32_t index) {
  const std::uint64_t offset = std::uint64_t{index} * 3 / 2;
  // Both bytes of the 12-bit entry's word must lie inside the copy.
  if (!InBounds(buffer_.size(), offset, 2))
    return 0;
  const std::uint16_t word = Le16(buffer_, offset);
  const std::uint32_t v = index % 2 ? word >> 4 : word & 0xFFF;
  if (v == 0xFFF)
    return kFatEntryLast;
  if (v >= 0xFF8)
    return kFatEntryReserved;
  return v;
}

int CFAT12Table::Validate() {
  if (buffer_.size() < 3)
    return 0;
  const std::uint32_t v = buffer_[0] | (buffer_[1] << 8) | (buffer_[2] << 16);
  return (v & 0xFFFFF0) == 0xFFFFF0 ? 1 : 0;
}

CFAT16Table::CFAT16Table(IDevice* device, std::uint64_t firstLba, std::uint32_t length)
    : CFATTableBase(device, firstLba, length, 12, 256, 256) {}

std::uint32_t CFAT16Table::GetEntry(std::uint32_t index) {
  if (index / 256 >= length_ || buffer_.empty())
    return 0;
  const std::uint16_t v = Le16(buffer_, std::uint64_t{index} * 2);
  if (v == 0xFFFF)
    return kFatEntryLast;
  if (v >= 0xFFF8)
    return kFatEntryReserved;
  return v;
}

int CFAT16Table::Validate() {
  if (buffer_.empty() || Le32(buffer_, 0) != 0xFFFFFFF8)
    return 0;
  return ValidateLinks(0xFFF6);
}

CFAT32Table::CFAT32Table(IDevice* device, std::uint64_t firstLba, std::uint32_t length)
    : CFATTableBase(device, firstLba, length, 256, 128000, 128) {}

std::uint32_t CFAT32Table::GetEntry(std::uint32_t index) {
  if (index / 128 >= length_ || buffer_.empty())
    return 0;
  return Le32(buffer_, std::uint64_t{index} * 4);
}

int CFAT32Table::Validate() {
  if (buffer_.empty())
    return 0;
  if ((Le32(buffer_, 0) & 0x0FFFFFFF) != 0x0FFFFFF8 || (Le32(buffer_, 4) & 0x0FFFFFF8) != 0x0FFFFFF8)
    return 0;
  return ValidateLinks(0x0FFFFFF6);
}

std::unique_ptr<IRealFATTable> MakeFatTable(IDevice* device, std::int32_t type, std::uint64_t firstLba,
                                            std::uint32_t length) {
  std::unique_ptr<IRealFATTable> table;
  switch (type) {
    case kFsFat12:
      table = std::make_unique<CFAT12Table>(device, firstLba, length);
      break;
    case kFsFat16:
      table = std::make_unique<CFAT16Table>(device, firstLba, length);
      break;
    case kFsFat32:
      table = std::make_unique<CFAT32Table>(device, firstLba, length);
      break;
    default:
      return nullptr;
  }
  if (table->Validate() != 1)
    table.reset();
  return table;
}

std::uint32_t CDoubleFATTable::GetEntry(std::uint32_t cluster) {
  if (first_)
    return first_->GetEntry(cluster);
  if (second_)
    return second_->GetEntry(cluster);
  return 0;
}

std::unique_ptr<CDoubleFATTable> MakeDoubleFatTable(IDevice* device, std::int32_t type,
                                                    std::uint64_t firstLba, std::uint32_t fatSectors,
                                                    bool useFirst, bool useSecond) {
  std::unique_ptr<IRealFATTable> first =
      useFirst ? MakeFatTable(device, type, firstLba, fatSectors) : nullptr;
  std::unique_ptr<IRealFATTable> second;
  if (useSecond && !first)
    second = MakeFatTable(device, type, firstLba + fatSectors, fatSectors);
  return std::make_unique<CDoubleFATTable>(std::move(first), std::move(second));
}

}  // namespace korvex
