// Read-only access to block devices and disk-image files: open, size queries and positioned reads.
// Nothing here ever opens a medium for writing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvex::platform {

// What the operating system can tell about a drive's size. Each answer is absent (ok = false or 0)
// when the query failed or does not exist on this platform.
struct DriveCapacityAnswers {
  bool geometryOk = false;
  std::uint64_t cylinders = 0;
  std::uint32_t tracksPerCylinder = 0;
  std::uint32_t sectorsPerTrack = 0;
  std::uint32_t bytesPerSector = 0;
  bool lengthOk = false;
  std::uint64_t lengthBytes = 0;
  // READ CAPACITY (10) answers from target ids 0 and 1: last LBA + 1, 0 when there is none.
  std::uint64_t scsiCapacity[2] = {0, 0};
};

// Opens `path` O_RDONLY | O_CLOEXEC; returns the descriptor or -1.
int OpenReadOnly(const std::string& path);
void CloseDescriptor(int fd);

// Size answers for an open block device (BLKSSZGET, BLKGETSIZE64) or image file (its length, and
// `imageSectorSize` as its sector size). The geometry is the conventional 255 heads × 63 sectors
// over the length, as a disk driver reports it; Linux offers no SCSI pass-through answers here.
DriveCapacityAnswers QueryCapacity(int fd, std::uint32_t imageSectorSize);

// Reads up to `size` bytes at `offset`, retrying short reads; returns the bytes read, or -1 on error.
std::int64_t ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset);

}  // namespace korvex::platform
