#include "storage/partition_table.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_set>

#include "common/byte_reader.h"
#include "common/database.h"
#include "common/text.h"

namespace korvex {

namespace {

// The partition types whose GPT entries are listed.
constexpr std::array<std::string_view, 40> kAcceptedGptTypes = {
    "024DEE41-33E7-11D3-9D69-0008C781F39F",  // MBR partition scheme
    "C12A7328-F81F-11D2-BA4B-00A0C93EC93B",  // EFI system partition
    "E3C9E316-0B5C-4DB8-817D-F92DF00215AE",  // Microsoft reserved
    "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7",  // basic data
    "5808C8AA-7E8F-42E0-85D2-E1E90434CFB3",  // LDM metadata
    "AF9B60A0-1431-4F62-BC68-3311714A69AD",  // LDM data
    "DE94BBA4-06D1-4D40-A16A-BFD50179D6AC",  // Windows recovery
    "37AFFC90-EF7D-4E96-91C3-2D7AE055B174",  // IBM GPFS
    "75894C1E-3AEB-11D3-B7C1-7B03A0000000",  // HP-UX data
    "E2A1E728-32E3-11D6-A682-7B03A0000000",  // HP-UX service
    "A19D880F-05FC-4D3B-A006-743F0F84911E",  // Linux RAID
    "0657FD6D-A4AB-43C4-84E5-0933C84B4F4F",  // Linux swap
    "E6D6D379-F507-44C2-A23C-238F2A3DF928",  // Linux LVM
    "8DA63339-0007-60C0-C436-083AC8230908",  // Linux reserved
    "516E7CB4-6ECF-11D6-8FF8-00022D09712B",  // FreeBSD data
    "516E7CB5-6ECF-11D6-8FF8-00022D09712B",  // FreeBSD swap
    "516E7CB6-6ECF-11D6-8FF8-00022D09712B",  // FreeBSD UFS
    "516E7CB8-6ECF-11D6-8FF8-00022D09712B",  // FreeBSD Vinum
    "7C3457EF-0000-11AA-AA11-00306543ECAC",  // Apple APFS
    "48465300-0000-11AA-AA11-00306543ECAC",  // Apple HFS+
    "55465300-0000-11AA-AA11-00306543ECAC",  // Apple UFS
    "52414944-0000-11AA-AA11-00306543ECAC",  // Apple RAID
    "52414944-5F4F-11AA-AA11-00306543ECAC",  // Apple RAID, offline
    "426F6F74-0000-11AA-AA11-00306543ECAC",  // Apple boot
    "4C616265-6C00-11AA-AA11-00306543ECAC",  // Apple label
    "5265636F-7665-11AA-AA11-00306543ECAC",  // Apple TV recovery
    "53746F72-6167-11AA-AA11-00306543ECAC",  // Apple Core Storage
    "6A898CC3-1DD2-11B2-99A6-080020736631",  // Solaris /usr
    "6A82CB45-1DD2-11B2-99A6-080020736631",  // Solaris boot
    "6A85CF4D-1DD2-11B2-99A6-080020736631",  // Solaris root
    "6A87C46F-1DD2-11B2-99A6-080020736631",  // Solaris swap
    "6A8B642B-1DD2-11B2-99A6-080020736631",  // Solaris backup
    "6A8EF2E9-1DD2-11B2-99A6-080020736631",  // Solaris /var
    "6A90BA39-1DD2-11B2-99A6-080020736631",  // Solaris /home
    "6A9283A5-1DD2-11B2-99A6-080020736631",  // Solaris alternate sector
    "6A945A3B-1DD2-11B2-99A6-080020736631",  // Solaris reserved
    "6A9630D1-1DD2-11B2-99A6-080020736631",  // Solaris reserved
    "6A980767-1DD2-11B2-99A6-080020736631",  // Solaris reserved
    "6A96237F-1DD2-11B2-99A6-080020736631",  // Solaris reserved
    "6A8D2AC7-1DD2-11B2-99A6-080020736631",  // Solaris reserved
};

// MBR and EBR layout: four 16-byte entries and the 0x55 0xAA signature in the first 512 bytes.
constexpr std::size_t kTableSectorBytes = 512;
constexpr std::array<std::size_t, 4> kEntryOffsets = {446, 462, 478, 494};
constexpr std::size_t kEntryBootFlag = 0;
constexpr std::size_t kEntryType = 4;
constexpr std::size_t kEntryRelativeStart = 8;  // u32
constexpr std::size_t kEntrySectorCount = 12;   // u32
constexpr std::uint8_t kTypeExtendedChs = 0x05;
constexpr std::uint8_t kTypeExtendedLba = 0x0F;
constexpr std::uint8_t kTypeDynamic = 0x42;
constexpr std::uint8_t kTypeGptProtective = 0xEE;

// GPT: the entry array is read from sector 2 on, 32 sectors of it, in entries of 128 bytes.
constexpr std::uint64_t kGptArraySector = 2;
constexpr std::uint64_t kGptArraySectors = 32;
constexpr std::size_t kGptEntrySize = 128;
constexpr std::size_t kGptFirstLba = 32;  // u64
constexpr std::size_t kGptLastLba = 40;   // u64
constexpr std::size_t kGptName = 56;      // UTF-16, 36 code units
constexpr std::size_t kGptNameUnits = 36;

using TableSector = std::array<std::uint8_t, kTableSectorBytes>;

struct MbrEntry {
  std::uint8_t type;
  std::uint32_t relativeStart;
  std::uint32_t sectorCount;
};

class PartitionLister {
 public:
  PartitionLister(IDevice& drive, std::uint32_t bytesPerSector,
                  const std::vector<VolumeAnalyserFactory>& analysers, std::vector<PartitionRecord>& records)
      : drive_(drive),
        bytesPerSector_(bytesPerSector),
        driveSectors_(drive.GetSectorCount()),
        analysers_(analysers),
        records_(records),
        firstRecord_(records.size()) {}

  int Run() {
    if (bytesPerSector_ == 0)
      return kPartitionTableOther;
    if ((bytesPerSector_ == 512 || bytesPerSector_ == 4096) && HasProtectiveMbr()) {
      ReadGpt();
      return kPartitionTableGpt;
    }
    AddWholeDrive();
    ReadMbr();
    return kPartitionTableOther;
  }

 private:
  // Reads one table sector at the drive's own sector size and keeps its first 512 bytes: on a drive
  // with 4096-byte sectors, table addresses count 4096-byte sectors like the partitions they hold.
  bool ReadTableSector(std::uint64_t lba, TableSector& out) {
    const std::uint64_t sectors = (kTableSectorBytes + bytesPerSector_ - 1) / bytesPerSector_;
    std::vector<std::uint8_t> buffer(sectors * bytesPerSector_, 0);
    if (!drive_.Read(buffer.data(), lba, sectors, bytesPerSector_))
      return false;
    std::copy_n(buffer.begin(), kTableSectorBytes, out.begin());
    return true;
  }

  static bool HasSignature(const TableSector& s) { return s[510] == 0x55 && s[511] == 0xAA; }

  static bool IsValidTable(const TableSector& s) {
    if (!HasSignature(s))
      return false;
    return std::all_of(kEntryOffsets.begin(), kEntryOffsets.end(), [&](std::size_t offset) {
      const std::uint8_t flag = s[offset + kEntryBootFlag];
      return flag == 0x00 || flag == 0x80;
    });
  }

  // The non-empty entries of a valid table sector, in order.
  static std::vector<MbrEntry> EntriesOf(const TableSector& s) {
    std::vector<MbrEntry> entries;
    const ByteSpan bytes(s);
    for (std::size_t offset : kEntryOffsets) {
      const auto* first = s.begin() + static_cast<std::ptrdiff_t>(offset);
      if (std::all_of(first, first + 16, [](std::uint8_t b) { return b == 0; }))
        continue;
      entries.push_back({s[offset + kEntryType], Le32(bytes, offset + kEntryRelativeStart),
                         Le32(bytes, offset + kEntrySectorCount)});
    }
    return entries;
  }

  bool HasProtectiveMbr() {
    TableSector s{};
    return ReadTableSector(0, s) && HasSignature(s) && s[kEntryOffsets[0] + kEntryType] == kTypeGptProtective;
  }

  void ReadGpt() {
    std::vector<std::uint8_t> array(kGptArraySectors * bytesPerSector_, 0);
    if (!drive_.Read(array.data(), kGptArraySector, kGptArraySectors, bytesPerSector_))
      return;
    const ByteSpan bytes(array);
    for (std::size_t offset = 0; offset + kGptEntrySize <= array.size(); offset += kGptEntrySize) {
      if (!IsAcceptedGptType(FormatGptGuid(array.data() + offset)))
        continue;
      const std::uint64_t first = Le64(bytes, offset + kGptFirstLba);
      const std::uint64_t last = Le64(bytes, offset + kGptLastLba);
      PartitionRecord record;
      for (std::size_t k = 0; k < kGptNameUnits; ++k) {
        record.name[k] = static_cast<char16_t>(Le16(bytes, offset + kGptName + 2 * k));
        if (record.name[k] == 0)
          break;
      }
      // A last LBA below the first leaves no length; the record then runs to the drive's end, as a
      // zero-length entry does.
      AddRecord(std::move(record), first, last >= first ? last - first + 1 : 0);
    }
  }

  void ReadMbr() {
    TableSector s{};
    if (!ReadTableSector(0, s) || !IsValidTable(s))
      return;
    for (const MbrEntry& e : EntriesOf(s)) {
      if (e.type == kTypeExtendedChs || e.type == kTypeExtendedLba) {
        WalkExtended(e.relativeStart, e.relativeStart, 1);
      } else if (e.type != kTypeDynamic) {
        AddRecord(PartitionRecord{}, e.relativeStart, e.sectorCount);
      }
    }
  }

  bool StartsARecord(std::uint64_t sector) const {
    return std::any_of(records_.begin() + static_cast<std::ptrdiff_t>(firstRecord_), records_.end(),
                       [&](const PartitionRecord& r) { return r.startSector == sector; });
  }

  // The extended boot record at `sector` of the extended partition that starts at `base`. Data
  // partitions count from the record itself, further extended entries from the base.
  void WalkExtended(std::uint64_t sector, std::uint64_t base, int depth) {
    if (depth > kMaxExtendedDepth || extendedRead_ >= kMaxExtendedRecords || !visited_.insert(sector).second)
      return;
    ++extendedRead_;
    TableSector s{};
    if (!ReadTableSector(sector, s) || !IsValidTable(s))
      return;
    for (const MbrEntry& e : EntriesOf(s)) {
      // An entry that leads to a partition already listed means the chain has looped back.
      if (StartsARecord(sector + e.relativeStart))
        return;
      if (e.type == kTypeExtendedChs || e.type == kTypeExtendedLba) {
        WalkExtended(base + e.relativeStart, base, depth + 1);
      } else if (e.type != kTypeDynamic) {
        AddRecord(PartitionRecord{}, sector + e.relativeStart, e.sectorCount);
      }
    }
  }

  void AddWholeDrive() {
    std::unique_ptr<IVolume> volume = AnalyseVolume(analysers_, &drive_, 0);
    if (!volume || driveSectors_ == 0)
      return;
    const std::uint64_t v = volume->GetTotalSectors();
    PartitionRecord record;
    record.sectorCount = v == 0 || v > driveSectors_ ? driveSectors_ : v;
    TakeVolume(record, *volume);
    Append(std::move(record));
  }

  // Cuts the partition at the drive's end, lets the analysers tell its file system and size, and
  // appends it when it has sectors.
  void AddRecord(PartitionRecord record, std::uint64_t start, std::uint64_t count) {
    // A partition that starts at or past the drive's end has no sectors on it.
    if (start >= driveSectors_)
      return;
    record.startSector = start;
    record.sectorCount = count == 0 || count > driveSectors_ - start ? driveSectors_ - start : count;
    if (std::unique_ptr<IVolume> volume = AnalyseVolume(analysers_, &drive_, start)) {
      const std::uint64_t v = volume->GetTotalSectors();
      if (v != 0 && v < driveSectors_ - start)
        record.sectorCount = v;
      TakeVolume(record, *volume);
    }
    Append(std::move(record));
  }

  static void TakeVolume(PartitionRecord& record, IVolume& volume) {
    record.fsType = volume.GetVolumeType();
    char label[IVolume::kLabelSize] = {};
    volume.GetVolumeLabel(label, sizeof label);
    CopyToField(record.label, sizeof record.label, std::string_view(label, strnlen(label, sizeof label)));
  }

  void Append(PartitionRecord record) {
    if (record.sectorCount == 0)
      return;
    record.volumeDevice =
        std::make_unique<CBasicDevice>(&drive_, record.startSector, record.sectorCount, driveSectors_);
    records_.push_back(std::move(record));
  }

  IDevice& drive_;
  std::uint32_t bytesPerSector_;
  std::uint64_t driveSectors_;
  const std::vector<VolumeAnalyserFactory>& analysers_;
  std::vector<PartitionRecord>& records_;
  std::size_t firstRecord_;  // records before this one belong to other drives
  std::unordered_set<std::uint64_t> visited_;
  int extendedRead_ = 0;
};

}  // namespace

std::string FormatGptGuid(const std::uint8_t* b) {
  const ByteSpan bytes(b, 16);
  char text[40];
  std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", Le32(bytes, 0),
                Le16(bytes, 4), Le16(bytes, 6), b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return text;
}

bool IsAcceptedGptType(const std::string& typeGuid) {
  return std::find(kAcceptedGptTypes.begin(), kAcceptedGptTypes.end(), typeGuid) != kAcceptedGptTypes.end();
}

int ListPartitions(IDevice& drive, std::uint32_t bytesPerSector,
                   const std::vector<VolumeAnalyserFactory>& analysers,
                   std::vector<PartitionRecord>& records) {
  CDataBase::Instance().bytesPerSector = bytesPerSector;
  return PartitionLister(drive, bytesPerSector, analysers, records).Run();
}

int ListPartitions(CDevice& drive, const std::vector<VolumeAnalyserFactory>& analysers,
                   std::vector<PartitionRecord>& records) {
  drive.GetSectorCount();
  return ListPartitions(drive, drive.GetBytesPerSector(), analysers, records);
}

}  // namespace korvex
