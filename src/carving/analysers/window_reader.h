// WindowReader: how the picture size steps read fields and scan bytes at any offset from a find's
// start. Everything goes through one RawReadWindow; a field that straddles two windows is copied from
// both, and every field is decoded with the bounds-checked readers.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "carving/raw_read_window.h"
#include "common/byte_reader.h"

namespace korvex {

class WindowReader {
 public:
  // Offsets beyond this are never asked of the device: no file we size is that long, and sums of
  // offsets read from the medium stay far from overflow.
  static constexpr std::uint64_t kMaxOffset = std::uint64_t{1} << 40;

  WindowReader(IDevice& device, std::uint64_t baseSector) { window_.Open(&device, baseSector); }

  // Copies `length` bytes at `offset` into `out`; false when the device has no data there. Bytes past
  // the device's end read as zeros.
  bool Read(std::uint64_t offset, std::uint8_t* out, std::size_t length) {
    const std::uint64_t windowBytes = window_.WindowBytes();
    if (windowBytes == 0 || offset > kMaxOffset)
      return false;
    while (length) {
      const std::uint8_t* p = window_.At(offset);
      if (!p)
        return false;
      const std::size_t n =
          static_cast<std::size_t>(std::min<std::uint64_t>(length, windowBytes - offset % windowBytes));
      std::memcpy(out, p, n);
      out += n;
      offset += n;
      length -= n;
    }
    return true;
  }

  bool Byte(std::uint64_t offset, std::uint8_t& value) { return Read(offset, &value, 1); }
  bool U16(std::uint64_t offset, bool bigEndian, std::uint16_t& value) {
    std::array<std::uint8_t, 2> b;
    if (!Read(offset, b.data(), b.size()))
      return false;
    value = bigEndian ? Be16(b, 0) : Le16(b, 0);
    return true;
  }
  bool U32(std::uint64_t offset, bool bigEndian, std::uint32_t& value) {
    std::array<std::uint8_t, 4> b;
    if (!Read(offset, b.data(), b.size()))
      return false;
    value = bigEndian ? Be32(b, 0) : Le32(b, 0);
    return true;
  }

  // The window's bytes from `offset` to the window's end (`available` of them, at least one), or null
  // when the device has no data there. Valid until the next read.
  const std::uint8_t* Span(std::uint64_t offset, std::uint64_t& available) {
    const std::uint64_t windowBytes = window_.WindowBytes();
    if (windowBytes == 0 || offset > kMaxOffset)
      return nullptr;
    const std::uint8_t* p = window_.At(offset);
    available = windowBytes - offset % windowBytes;
    return p;
  }

 private:
  RawReadWindow window_;
};

}  // namespace korvex
