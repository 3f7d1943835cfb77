// Read-only sector devices: the drive itself (CDevice), a window onto a range of another device
// (CBasicDevice) and the one-block cache the scan reads through (CStorageDeviceWithCache).
#pragma once

#include <cstdint>
#include <vector>

#include "common/aligned_buffer.h"
#include "platform/block_device.h"

namespace korvex {

class IDevice {
 public:
  virtual ~IDevice() = default;
  // Reads `count` sectors of `bytesPerSector` bytes from `first` into `buffer`, which must hold
  // count × bytesPerSector bytes. Nonzero when the whole (possibly shortened) request was read.
  virtual int Read(void* buffer, std::uint64_t first, std::uint64_t count, std::uint32_t bytesPerSector) = 0;
  virtual std::uint64_t GetSectorCount() = 0;
  virtual int Open() = 0;
  virtual int Close() = 0;
};

// The sector count a drive has, chosen from what the platform could answer: the length when it is
// at least the geometric count, else a SCSI capacity at most one cylinder above the geometry, else
// the geometry. `ok` is false when the geometry query failed.
struct SectorCountChoice {
  bool ok = false;
  std::uint64_t sectorCount = 0;
  std::uint32_t bytesPerSector = 0;
};
SectorCountChoice ChooseSectorCount(const platform::DriveCapacityAnswers& answers);

// One drive, opened read-only by its number in the platform's drive table.
class CDevice : public IDevice {
 public:
  static constexpr int kMaxDriveIndex = 19;

  explicit CDevice(int driveIndex) : driveIndex_(driveIndex) {}
  ~CDevice() override;
  CDevice(const CDevice&) = delete;
  CDevice& operator=(const CDevice&) = delete;

  int Read(void* buffer, std::uint64_t first, std::uint64_t count, std::uint32_t bytesPerSector) override;
  std::uint64_t GetSectorCount() override;
  int Open() override;
  int Close() override;
  virtual std::uint32_t GetBytesPerSector() { return bytesPerSector_; }

  // The drive number when it lies in 0..20, otherwise -1.
  int GetDriveNumber() const { return driveIndex_ >= 0 && driveIndex_ <= 20 ? driveIndex_ : -1; }
  std::uint64_t GetLastOffset() const { return lastOffset_; }
  // The errno of the last failed Open (ENODEV for a number the drive table does not hold), else 0.
  int GetOpenError() const { return openError_; }

 private:
  std::uint32_t bytesPerSector_ = 0;
  int fd_ = -1;
  int driveIndex_;
  std::uint64_t sectorCount_ = 0;
  std::uint64_t lastOffset_ = 0;
  std::uint32_t imageSectorSize_ = 512;
  int openError_ = 0;
};

// A range of sectors of an inner device (a partition, volume or gap). Reads are relative to the
// range; sectors past the inner device's end come back as zeros.
class CBasicDevice : public IDevice {
 public:
  CBasicDevice(IDevice* inner, std::uint64_t startSector, std::uint64_t sectorCount,
               std::uint64_t innerSectorCount)
      : inner_(inner),
        startSector_(startSector),
        sectorCount_(sectorCount),
        innerSectorCount_(innerSectorCount) {}

  int Read(void* buffer, std::uint64_t first, std::uint64_t count, std::uint32_t bytesPerSector) override;
  std::uint64_t GetSectorCount() override { return sectorCount_; }
  int Open() override { return 1; }
  int Close() override { return 1; }

  IDevice* GetInner() const { return inner_; }
  std::uint64_t GetStartSector() const { return startSector_; }
  std::uint64_t GetInnerSectorCount() const { return innerSectorCount_; }

 private:
  IDevice* inner_;
  std::uint64_t startSector_;
  std::uint64_t sectorCount_;
  std::uint64_t innerSectorCount_;
};

// A cache of one 1000-sector block in front of the device being scanned.
class CStorageDeviceWithCache : public IDevice {
 public:
  static constexpr std::uint32_t kBlockSectors = 1000;
  static constexpr std::uint64_t kNothingCached = ~std::uint64_t{0};

  void SetInner(IDevice* inner) { inner_ = inner; }
  IDevice* GetInner() const { return inner_; }

  // Allocates a zeroed cache of 1000 sectors of the current sector size and forgets the cached block.
  int InitCache();
  // Loads block `index`; fails (cache unchanged) without an inner device or past the last block.
  // When the block cannot be read whole it is read again in smaller pieces down to single sectors;
  // sectors that stay unreadable hold zeros and are counted in LastUnreadableSectors().
  int LoadBlock(std::uint64_t index);
  std::uint64_t LastUnreadableSectors() const { return lastUnreadable_; }

  int Read(void* buffer, std::uint64_t first, std::uint64_t count, std::uint32_t bytesPerSector) override;
  std::uint64_t GetSectorCount() override { return inner_ ? inner_->GetSectorCount() : 0; }
  int Open() override { return inner_ ? 1 : 0; }
  int Close() override { return inner_ ? 1 : 0; }

  std::uint64_t GetCachedBlock() const { return cachedBlock_; }
  const std::uint8_t* GetCache() const { return cache_.data(); }
  std::uint32_t GetBlockSectors() const { return blockSectors_; }

 private:
  IDevice* inner_ = nullptr;
  AlignedBuffer cache_;
  std::uint32_t blockSectors_ = kBlockSectors;
  std::uint32_t cacheSectorSize_ = 0;
  std::uint64_t cachedBlock_ = kNothingCached;
  std::uint64_t lastUnreadable_ = 0;
};

// Reads `count` sectors at `first` into `buffer`; where the whole request fails, halves it down to
// single sectors and fills the sectors that cannot be read with zeros. Returns how many those were.
std::uint64_t ReadSalvaging(IDevice& device, std::uint8_t* buffer, std::uint64_t first, std::uint64_t count,
                            std::uint32_t bytesPerSector);

}  // namespace korvex
