// RawReadWindow: how a size step reads forward from a find's start, in windows of 1024 sectors.
// Each thread shares one window buffer per sector size, so only one window may be open at a time
// on a thread. Past the window, and past the device's end, the buffer holds zeros.
#pragma once

#include <cstdint>

#include "carving/raw_file_info.h"

namespace korvex {

class IDevice;

class RawReadWindow {
 public:
  static constexpr std::uint64_t kWindowSectors = 1024;
  // Zero bytes kept after the window, so that a field or marker read at its last bytes sees zeros.
  static constexpr std::size_t kTailBytes = 512;

  // Opens a reader on `device` with `baseSector` (the find's start) as offset 0.
  void Open(IDevice* device, std::uint64_t baseSector);
  // The byte at `offset` from the base sector inside the window buffer, or null when the device has
  // no data there. The window's bytes follow it up to the window's end.
  const std::uint8_t* At(std::uint64_t offset);
  // Sectors left in the window from the last position read.
  std::uint64_t Remaining() const { return remaining_; }
  // Bytes of a window for the current sector size (0 for sizes other than 512 and 4096).
  std::uint64_t WindowBytes() const { return windowBytes_; }

 private:
  IDevice* device_ = nullptr;
  std::uint64_t base_ = 0;
  std::uint64_t remaining_ = 0;
  std::uint64_t window_ = kNone;
  std::uint32_t sectorSize_ = 0;
  std::uint64_t windowBytes_ = 0;
  std::uint8_t* buffer_ = nullptr;
  static constexpr std::uint64_t kNone = ~std::uint64_t{0};
};

// Searches forward from the find's start for `marker` (up to 64 bytes) within `limit` bytes (0: the
// scan options' maximum). On a match the size runs to the marker's end; with none within the limit it
// is limit + 1. Fails when the device has no data where the search must look.
bool FindEndMarker(CRawFileInfo& info, IDevice& device, const std::uint8_t* marker, std::size_t length,
                   std::uint64_t limit);

}  // namespace korvex
