#include "storage/device.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/database.h"
#include "platform/drive_table.h"

namespace korvex {

SectorCountChoice ChooseSectorCount(const platform::DriveCapacityAnswers& a) {
  SectorCountChoice choice;
  if (!a.geometryOk || a.bytesPerSector == 0)
    return choice;
  choice.ok = true;
  choice.bytesPerSector = a.bytesPerSector;
  const std::uint64_t perCylinder = std::uint64_t{a.tracksPerCylinder} * a.sectorsPerTrack;
  const std::uint64_t geometric = a.cylinders * perCylinder;

  if (a.lengthOk && a.lengthBytes / a.bytesPerSector >= geometric) {
    choice.sectorCount = a.lengthBytes / a.bytesPerSector;
    return choice;
  }
  choice.sectorCount = geometric;
  if (geometric < (std::uint64_t{1} << 32)) {
    for (std::uint64_t capacity : a.scsiCapacity) {
      if (capacity != 0 && geometric < capacity && capacity < geometric + perCylinder) {
        choice.sectorCount = capacity;
        break;
      }
    }
  }
  return choice;
}

CDevice::~CDevice() {
  Close();
}

int CDevice::Open() {
  openError_ = ENODEV;
  if (driveIndex_ < 0 || driveIndex_ > kMaxDriveIndex)
    return 0;
  Close();
  auto drive = platform::DriveTable::Instance().Lookup(driveIndex_);
  if (!drive)
    return 0;
  imageSectorSize_ = drive->imageSectorSize;
  fd_ = platform::OpenReadOnly(drive->path);
  openError_ = fd_ >= 0 ? 0 : errno;
  return fd_ >= 0 ? 1 : 0;
}

int CDevice::Close() {
  platform::CloseDescriptor(fd_);
  fd_ = -1;
  return 1;
}

std::uint64_t CDevice::GetSectorCount() {
  if (fd_ < 0)
    return 0;
  SectorCountChoice choice = ChooseSectorCount(platform::QueryCapacity(fd_, imageSectorSize_));
  if (!choice.ok)
    return 0;
  bytesPerSector_ = choice.bytesPerSector;
  sectorCount_ = choice.sectorCount;
  return sectorCount_;
}

int CDevice::Read(void* buffer, std::uint64_t first, std::uint64_t count, std::uint32_t bytesPerSector) {
  if (fd_ < 0 || bytesPerSector == 0 || first >= sectorCount_)
    return 0;
  count = std::min(count, sectorCount_ - first);
  const std::uint64_t offset = first * bytesPerSector;
  const std::int64_t got = platform::ReadAt(fd_, buffer, count * bytesPerSector, offset);
  lastOffset_ = offset;
  return got >= 0 && static_cast<std::uint64_t>(got) / bytesPerSector == count ? 1 : 0;
}

int CBasicDevice::Read(void* buffer, std::uint64_t first, std::uint64_t count, std::uint32_t bytesPerSector) {
  if (!inner_ || count == 0)
    return 0;
  // A read may run past the range's end into the following sectors of the inner device (a volume's
  // backup boot sector lies there); it is shortened only at the inner device's end, and what could
  // not be read there comes back as zeros rather than as stale buffer contents.
  const std::uint64_t innerCount = inner_->GetSectorCount();
  const std::uint64_t available = innerCount > startSector_ ? innerCount - startSector_ : 0;
  if (first >= available)
    return 0;
  const std::uint64_t n = std::min(count, available - first);
  if (!inner_->Read(buffer, startSector_ + first, n, bytesPerSector))
    return 0;
  if (n < count) {
    std::memset(static_cast<std::uint8_t*>(buffer) + n * bytesPerSector, 0, (count - n) * bytesPerSector);
  }
  return 1;
}

std::uint64_t ReadSalvaging(IDevice& device, std::uint8_t* buffer, std::uint64_t first, std::uint64_t count,
                            std::uint32_t bytesPerSector) {
  if (count == 0 || device.Read(buffer, first, count, bytesPerSector))
    return 0;
  if (count == 1) {
    std::memset(buffer, 0, bytesPerSector);
    return 1;
  }
  // The recursion halves the request, so its depth stays near log2(count).
  const std::uint64_t half = count / 2;
  return ReadSalvaging(device, buffer, first, half, bytesPerSector) +
         ReadSalvaging(device, buffer + half * bytesPerSector, first + half, count - half, bytesPerSector);
}

int CStorageDeviceWithCache::InitCache() {
  blockSectors_ = kBlockSectors;
  cacheSectorSize_ = CDataBase::Instance().bytesPerSector.load();
  cache_.Assign(std::size_t{blockSectors_} * cacheSectorSize_);
  cachedBlock_ = kNothingCached;
  return 1;
}

int CStorageDeviceWithCache::LoadBlock(std::uint64_t index) {
  if (!inner_ || cache_.empty())
    return 0;
  const std::uint64_t sectors = inner_->GetSectorCount();
  const std::uint64_t blocks = sectors / blockSectors_ + (sectors % blockSectors_ != 0 ? 1 : 0);
  if (index >= blocks)
    return 0;
  const std::uint64_t first = index * blockSectors_;
  const std::uint64_t n = std::min<std::uint64_t>(blockSectors_, sectors - first);
  lastUnreadable_ = ReadSalvaging(*inner_, cache_.data(), first, n, cacheSectorSize_);
  // The sectors of a short last block that lie past the device's end read as zeros, not as the
  // previous block's bytes.
  std::memset(cache_.data() + n * cacheSectorSize_, 0, cache_.size() - n * cacheSectorSize_);
  cachedBlock_ = index;
  return 1;
}

int CStorageDeviceWithCache::Read(void* buffer, std::uint64_t first, std::uint64_t count,
                                  std::uint32_t bytesPerSector) {
  if (count == 0 || !inner_)
    return 0;
  // A request in another sector size than the cache's cannot be served from it.
  if (cachedBlock_ == kNothingCached || bytesPerSector != cacheSectorSize_) {
    return inner_->Read(buffer, first, count, bytesPerSector);
  }
  auto* out = static_cast<std::uint8_t*>(buffer);
  const std::uint64_t s = cachedBlock_ * blockSectors_;
  const std::uint64_t e = s + blockSectors_;

  if (first < s) {
    const std::uint64_t head = std::min(count, s - first);
    const int headOk = inner_->Read(out, first, head, bytesPerSector);
    if (head == count)
      return headOk;
    const int tailOk = inner_->Read(out + head * bytesPerSector, s, count - head, bytesPerSector);
    return headOk && tailOk ? 1 : 0;
  }
  if (first >= e)
    return inner_->Read(buffer, first, count, bytesPerSector);

  const std::uint64_t copied = std::min(count, e - first);
  std::memcpy(out, cache_.data() + (first - s) * bytesPerSector, copied * bytesPerSector);
  if (copied == count)
    return 1;
  return inner_->Read(out + copied * bytesPerSector, e, count - copied, bytesPerSector);
}

}  // namespace korvex
