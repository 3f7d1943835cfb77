// A small builder of disk bytes for the crafted partition-table cases: MBR and EBR sectors, GPT
// entries, and boot sectors of a fake volume analyser whose type, size and label the test chooses.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "storage/memory_device.h"
#include "storage/volume.h"

namespace korvex::test {

struct TableEntry {
  std::uint8_t type;
  std::uint32_t relativeStart;
  std::uint32_t sectorCount;
  std::uint8_t bootFlag = 0;
};

class DiskBuilder {
 public:
  DiskBuilder(std::uint32_t sectorSize, std::uint64_t sectors)
      : sectorSize_(sectorSize), bytes_(sectorSize * sectors) {}

  std::uint8_t* Sector(std::uint64_t lba) { return bytes_.data() + lba * sectorSize_; }

  // An MBR or EBR at `lba`: the entries in slots 0.. and the 0x55 0xAA signature.
  DiskBuilder& Table(std::uint64_t lba, std::initializer_list<TableEntry> entries) {
    std::uint8_t* s = Sector(lba);
    std::size_t offset = 446;
    for (const TableEntry& e : entries) {
      s[offset] = e.bootFlag;
      s[offset + 4] = e.type;
      Put32(s + offset + 8, e.relativeStart);
      Put32(s + offset + 12, e.sectorCount);
      offset += 16;
    }
    s[510] = 0x55;
    s[511] = 0xAA;
    return *this;
  }

  // GPT entry `index` of the array at sector 2: type GUID in its text form, first and last LBA, name.
  DiskBuilder& GptEntry(std::size_t index, const std::string& guid, std::uint64_t first, std::uint64_t last,
                        const std::u16string& name) {
    std::uint8_t* e = Sector(2) + index * 128;
    const auto hex = [&](std::size_t at) {
      return static_cast<std::uint8_t>(std::stoul(guid.substr(at, 2), nullptr, 16));
    };
    // Mixed byte order: the first three fields little-endian, the last eight bytes as written.
    const std::size_t order[16] = {6, 4, 2, 0, 11, 9, 16, 14, 19, 21, 24, 26, 28, 30, 32, 34};
    for (std::size_t i = 0; i < 16; ++i)
      e[i] = hex(order[i]);
    Put64(e + 32, first);
    Put64(e + 40, last);
    for (std::size_t k = 0; k < name.size() && k < 36; ++k) {
      e[56 + 2 * k] = static_cast<std::uint8_t>(name[k] & 0xFF);
      e[57 + 2 * k] = static_cast<std::uint8_t>(name[k] >> 8);
    }
    return *this;
  }

  // A boot sector that FakeAnalyser recognises: "KVXFAKE", type, total sectors, label.
  DiskBuilder& FakeVolume(std::uint64_t lba, std::int32_t type, std::uint64_t totalSectors,
                          const std::string& label) {
    std::uint8_t* s = Sector(lba);
    std::memcpy(s, "KVXFAKE", 7);
    Put32(s + 8, static_cast<std::uint32_t>(type));
    Put64(s + 16, totalSectors);
    std::memcpy(s + 32, label.data(), std::min<std::size_t>(label.size(), sectorSize_ - 32));
    return *this;
  }

  std::unique_ptr<CMemoryDevice> Device() const {
    return std::make_unique<CMemoryDevice>(bytes_, sectorSize_);
  }

 private:
  static void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
      p[i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
  static void Put64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
      p[i] = static_cast<std::uint8_t>(v >> (8 * i));
  }

  std::uint32_t sectorSize_;
  std::vector<std::uint8_t> bytes_;
};

// The analyser of the fake volumes above, reading sectors of `sectorSize` bytes; it reports the type
// written there plus `typeOffset`, so that two analysers over the same sector can be told apart.
class FakeVolumeAnalyser : public IVolume {
 public:
  FakeVolumeAnalyser(IDevice* device, std::uint64_t lba, std::uint32_t sectorSize, std::int32_t typeOffset) {
    std::vector<std::uint8_t> s(sectorSize, 0);
    if (!device->Read(s.data(), lba, 1, sectorSize) || std::memcmp(s.data(), "KVXFAKE", 7) != 0)
      return;
    const std::int32_t type = static_cast<std::int32_t>(Le32(s, 8));
    type_ = type == 0 ? 0 : type + typeOffset;
    total_ = Le64(s, 16);
    std::memcpy(label_, s.data() + 32, std::min<std::size_t>(sizeof label_, sectorSize - 32));
    label_[sizeof label_ - 1] = 0;
  }
  std::int32_t GetVolumeType() override { return type_; }
  std::uint64_t GetTotalSectors() override { return total_; }
  void GetVolumeLabel(char* buffer, std::size_t size) override {
    std::memcpy(buffer, label_, std::min(size, sizeof label_));
  }

 private:
  std::int32_t type_ = 0;
  std::uint64_t total_ = 0;
  char label_[kLabelSize] = {};
};

inline VolumeAnalyserFactory FakeAnalyser(std::uint32_t sectorSize, std::int32_t typeOffset = 0) {
  return [=](IDevice* device, std::uint64_t lba) -> std::unique_ptr<IVolume> {
    return std::make_unique<FakeVolumeAnalyser>(device, lba, sectorSize, typeOffset);
  };
}

}  // namespace korvex::test
