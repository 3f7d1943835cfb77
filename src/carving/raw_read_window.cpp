#include "carving/raw_read_window.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>

#include "common/aligned_buffer.h"
#include "common/database.h"
#include "scan/scan_options.h"
#include "storage/device.h"

namespace korvex {

namespace {

// The window buffer of this thread for a sector size, allocated once.
std::uint8_t* SharedWindowBuffer(std::uint32_t sectorSize) {
  thread_local AlignedBuffer small, large;
  AlignedBuffer& buffer = sectorSize == 512 ? small : large;
  if (buffer.empty())
    buffer.Assign(RawReadWindow::kWindowSectors * sectorSize + RawReadWindow::kTailBytes);
  return buffer.data();
}

}  // namespace

void RawReadWindow::Open(IDevice* device, std::uint64_t baseSector) {
  device_ = device;
  base_ = baseSector;
  remaining_ = 0;
  window_ = kNone;
  sectorSize_ = CDataBase::Instance().bytesPerSector;
  windowBytes_ = sectorSize_ == 512 || sectorSize_ == 4096 ? kWindowSectors * sectorSize_ : 0;
  // The buffer is not cleared here: every window is cleared where a read may not fill it, and the
  // tail after the window is never written.
  buffer_ = windowBytes_ ? SharedWindowBuffer(sectorSize_) : nullptr;
}

const std::uint8_t* RawReadWindow::At(std::uint64_t offset) {
  if (!device_ || !buffer_)
    return nullptr;
  const std::uint64_t n = offset / windowBytes_;
  const std::uint64_t inWindow = offset % windowBytes_;
  if (n == window_) {
    remaining_ = kWindowSectors - inWindow / sectorSize_;
    return buffer_ + inWindow;
  }
  const std::uint64_t first = base_ + kWindowSectors * n;
  const std::uint64_t sectors = device_->GetSectorCount();
  // A window inside the device is overwritten whole by a read that succeeds; any other is cleared
  // first, so that what the device does not hold reads as zeros.
  const bool inside = first < sectors && sectors - first >= kWindowSectors;
  if (!inside)
    std::memset(buffer_, 0, windowBytes_);
  if (device_->Read(buffer_, first, kWindowSectors, sectorSize_)) {
    window_ = n;
    remaining_ = kWindowSectors;
    return buffer_ + inWindow;
  }
  // The window runs past the device's end: read what is left of it, and read again next time.
  window_ = kNone;
  if (inside)
    std::memset(buffer_, 0, windowBytes_);
  if (first == sectors)
    return nullptr;
  remaining_ = (sectors - first) % kWindowSectors;
  if (remaining_ && device_->Read(buffer_, first, remaining_, sectorSize_))
    return buffer_ + inWindow;
  return nullptr;
}

bool FindEndMarker(CRawFileInfo& info, IDevice& device, const std::uint8_t* marker, std::size_t length,
                   std::uint64_t limit) {
  if (limit == 0)
    limit = ScanOptions::Instance().maxSearchLength;
  length = std::min<std::size_t>(length, 64);
  RawReadWindow window;
  window.Open(&device, info.startSector);
  const std::uint64_t windowBytes = window.WindowBytes();
  if (windowBytes == 0)
    return false;
  // Offset by offset, the marker is compared with the bytes from each offset on, where the bytes past
  // a window read as zeros; searching each window's bytes and its zero tail at once finds the same
  // first offset.
  const std::boyer_moore_horspool_searcher searcher(marker, marker + length);
  for (std::uint64_t start = 0; start <= limit; start = (start / windowBytes + 1) * windowBytes) {
    const std::uint8_t* bytes = window.At(start);
    if (!bytes)
      return false;
    const std::uint64_t windowEnd = (start / windowBytes + 1) * windowBytes;
    const std::uint64_t last = std::min(limit, windowEnd - 1);  // last offset to try in this window
    const std::uint8_t* end = bytes + (last - start) + length;
    const std::uint8_t* hit = length ? std::search(bytes, end, searcher) : bytes;
    if (hit != end) {
      info.size = start + static_cast<std::uint64_t>(hit - bytes) + length;
      return true;
    }
  }
  info.size = limit + 1;
  return true;
}

}  // namespace korvex
