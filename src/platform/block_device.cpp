#include "platform/block_device.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace korvex::platform {

int OpenReadOnly(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

void CloseDescriptor(int fd) {
  if (fd >= 0)
    ::close(fd);
}

DriveCapacityAnswers QueryCapacity(int fd, std::uint32_t imageSectorSize) {
  DriveCapacityAnswers answers;
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0)
    return answers;

  std::uint64_t length = 0;
  std::uint32_t sectorSize = 0;
  if (S_ISBLK(st.st_mode)) {
    int logical = 0;
    if (::ioctl(fd, BLKSSZGET, &logical) != 0 || logical <= 0)
      return answers;
    sectorSize = static_cast<std::uint32_t>(logical);
    answers.lengthOk = ::ioctl(fd, BLKGETSIZE64, &length) == 0;
  } else if (S_ISREG(st.st_mode)) {
    sectorSize = imageSectorSize != 0 ? imageSectorSize : 512;
    length = static_cast<std::uint64_t>(st.st_size);
    answers.lengthOk = true;
  } else {
    return answers;
  }

  constexpr std::uint32_t kHeads = 255;
  constexpr std::uint32_t kSectorsPerTrack = 63;
  answers.geometryOk = true;
  answers.bytesPerSector = sectorSize;
  answers.tracksPerCylinder = kHeads;
  answers.sectorsPerTrack = kSectorsPerTrack;
  answers.cylinders = length / (std::uint64_t{kHeads} * kSectorsPerTrack * sectorSize);
  answers.lengthBytes = answers.lengthOk ? length : 0;
  return answers;
}

std::int64_t ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
  auto* out = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return -1;
    }
    if (n == 0)
      break;  // end of file
    done += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(done);
}

}  // namespace korvex::platform
