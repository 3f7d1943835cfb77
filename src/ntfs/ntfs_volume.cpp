#include "ntfs/ntfs_volume.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/database.h"
#include "common/text.h"
#include "ntfs/ntfs_record.h"

namespace korvex {

namespace {

constexpr std::size_t kMaxLabelBytes = 80;
constexpr std::uint32_t kVolumeRecord = 3;
constexpr std::uint32_t kVolumeSystemFileId = 3;

bool IsZero(ByteSpan s, std::size_t from, std::size_t to) {
  return std::all_of(s.begin() + static_cast<std::ptrdiff_t>(from),
                     s.begin() + static_cast<std::ptrdiff_t>(to), [](std::uint8_t b) { return b == 0; });
}

}  // namespace

bool IsNtfsBootSector(ByteSpan s, std::uint32_t bytesPerSector) {
  if (s.size() < 512)
    return false;
  constexpr char kOem[] = "NTFS    ";
  for (std::size_t i = 0; i < 8; ++i) {
    const auto c = s[ntfs_boot::kOemId + i];
    const auto upper = static_cast<std::uint8_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (upper != static_cast<std::uint8_t>(kOem[i]))
      return false;
  }
  const std::uint8_t spc = s[ntfs_boot::kSectorsPerCluster];
  return Le16(s, ntfs_boot::kBytesPerSector) == bytesPerSector && spc != 0 && spc <= 128 &&
         (spc & (spc - 1)) == 0 && Le16(s, 0x0E) == 0 && IsZero(s, 0x10, 0x15) && s[0x16] == 0 &&
         s[0x17] == 0 && IsZero(s, 0x20, 0x24) && s[ntfs_boot::kSignature] == 0x55 &&
         s[ntfs_boot::kSignature + 1] == 0xAA;
}

NtfsGeometry NtfsGeometry::FromBootSector(ByteSpan s) {
  NtfsGeometry g;
  g.bytesPerSector = Le16(s, ntfs_boot::kBytesPerSector);
  g.sectorsPerCluster = Le8(s, ntfs_boot::kSectorsPerCluster);
  g.totalSectors = Le64(s, ntfs_boot::kTotalSectors);
  g.mftCluster = Le64(s, ntfs_boot::kMftCluster);
  // 2^-c bytes when negative, c clusters when positive, 1024 when 0; records above 64 KiB do not exist.
  const auto c = static_cast<std::int8_t>(Le8(s, ntfs_boot::kClustersPerRecord));
  std::uint64_t size = 1024;
  if (c < 0)
    size = -c <= 16 ? std::uint64_t{1} << -c : 0;
  else if (c > 0)
    size = std::uint64_t(c) * g.bytesPerSector * g.sectorsPerCluster;
  g.recordSize = size >= 256 && size <= 65536 ? static_cast<std::uint32_t>(size) : 0;
  return g;
}

CNtfsVolumeAnalyze::CNtfsVolumeAnalyze(IDevice* device, std::uint64_t lba)
    : CNtfsVolumeAnalyze(device, lba, CDataBase::Instance().bytesPerSector) {}

CNtfsVolumeAnalyze::CNtfsVolumeAnalyze(IDevice* device, std::uint64_t lba, std::uint32_t bytesPerSector) {
  if (!device || (bytesPerSector != 512 && bytesPerSector != 4096))
    return;
  std::vector<std::uint8_t> boot(bytesPerSector, 0);
  if (!device->Read(boot.data(), lba, 1, bytesPerSector) || !IsNtfsBootSector(boot, bytesPerSector))
    return;
  type_ = kFsNtfs;
  geometry_ = NtfsGeometry::FromBootSector(boot);
  FindLabel(device, lba);
}

void CNtfsVolumeAnalyze::GetVolumeLabel(char* buffer, std::size_t size) {
  std::memcpy(buffer, label_.data(), std::min(size, label_.size()));
}

void CNtfsVolumeAnalyze::FindLabel(IDevice* device, std::uint64_t lba) {
  const NtfsGeometry& g = geometry_;
  if (g.recordSize == 0)
    return;
  // Record 3 lies 3 records into the MFT, counted in the device's sectors (not in 512-byte units, which
  // would miss it on 4096-byte-sector volumes).
  std::uint64_t mftLba = 0;
  if (__builtin_mul_overflow(g.mftCluster, std::uint64_t{g.sectorsPerCluster}, &mftLba) ||
      __builtin_add_overflow(mftLba, lba + std::uint64_t{kVolumeRecord} * g.recordSize / g.bytesPerSector,
                             &mftLba))
    return;
  const std::size_t sectors = std::max<std::size_t>(1, 2 * std::size_t{g.recordSize} / g.bytesPerSector);
  std::vector<std::uint8_t> bytes(sectors * g.bytesPerSector, 0);
  if (!device->Read(bytes.data(), mftLba, sectors, g.bytesPerSector))
    return;
  const MutableByteSpan record(bytes.data(), g.recordSize);
  if (!IsFileRecord(record) || !ApplyFixup(record) || IsSystemFile(record) != kVolumeSystemFileId)
    return;
  const std::optional<NtfsAttribute> name = FindAttribute(record, attribute::kVolumeName, 0);
  if (!name)
    return;
  const std::optional<ByteSpan> value = name->ResidentValue();
  if (!value || name->ResidentValueOffset() + value->size() > kDefaultFileRecordSize)
    return;
  const std::string text = Utf16LeToUtf8(*value, kMaxLabelBytes);
  std::memcpy(label_.data(), text.data(), text.size());
}

}  // namespace korvex
