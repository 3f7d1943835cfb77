// WindowReader: how the size steps read fields and scan bytes at any offset from a find's start.
// Everything goes through one RawReadWindow; a field that straddles two windows is copied from both,
// and every field is decoded with the bounds-checked readers.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

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

  bool U64(std::uint64_t offset, bool bigEndian, std::uint64_t& value) {
    std::array<std::uint8_t, 8> b;
    if (!Read(offset, b.data(), b.size()))
      return false;
    value = bigEndian ? Be64(b, 0) : Le64(b, 0);
    return true;
  }
  // True when the bytes at `offset` are `text`, ASCII letters compared without regard to case when
  // `ignoreCase` is set; false also when they cannot be read.
  bool Matches(std::uint64_t offset, std::string_view text, bool ignoreCase = false) {
    std::array<std::uint8_t, kMaxNeedle> b;
    if (text.size() > b.size() || !Read(offset, b.data(), text.size()))
      return false;
    return SameBytes(b.data(), text, ignoreCase);
  }

  enum class Search { kFound, kNotFound, kNoData };
  // The first offset in [from, last] at which `needle` (1..64 bytes) starts, found with memchr over
  // the window spans; ASCII letters match either case when `ignoreCase` is set. kNotFound when it
  // does not start within the range, kNoData when the device has no data where the search must look.
  Search Find(std::uint64_t from, std::uint64_t last, std::string_view needle, bool ignoreCase,
              std::uint64_t& at) {
    if (needle.empty() || needle.size() > kMaxNeedle)
      return Search::kNotFound;
    const std::uint8_t first = static_cast<std::uint8_t>(needle[0]);
    const std::uint8_t other = ignoreCase ? SwapCase(first) : first;
    last = std::min(last, kMaxOffset);
    std::uint64_t offset = from;
    while (offset <= last) {
      std::uint64_t available = 0;
      const std::uint8_t* bytes = Span(offset, available);
      if (!bytes)
        return Search::kNoData;
      const std::size_t n = static_cast<std::size_t>(std::min(available, last - offset + 1));
      // The next position of each case of the first byte, each found once per pass over the span.
      std::size_t nextFirst = Next(bytes, 0, n, first),
                  nextOther = first == other ? n : Next(bytes, 0, n, other);
      std::uint64_t resume = offset + n;
      while (nextFirst < n || nextOther < n) {
        const std::size_t i = std::min(nextFirst, nextOther);
        if (i + needle.size() > available) {
          // The candidate runs into the next window: compare a copy, then look again from the next
          // offset, since the copy has moved the window on.
          if (Matches(offset + i, needle, ignoreCase)) {
            at = offset + i;
            return Search::kFound;
          }
          resume = offset + i + 1;
          break;
        }
        if (SameBytes(bytes + i, needle, ignoreCase)) {
          at = offset + i;
          return Search::kFound;
        }
        if (i == nextFirst)
          nextFirst = Next(bytes, i + 1, n, first);
        if (i == nextOther)
          nextOther = Next(bytes, i + 1, n, other);
      }
      offset = resume;
    }
    return Search::kNotFound;
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
  static constexpr std::size_t kMaxNeedle = 64;

  static std::uint8_t SwapCase(std::uint8_t c) {
    if (c >= 'a' && c <= 'z')
      return static_cast<std::uint8_t>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z')
      return static_cast<std::uint8_t>(c - 'A' + 'a');
    return c;
  }
  static std::uint8_t Fold(std::uint8_t c) {
    return c >= 'A' && c <= 'Z' ? static_cast<std::uint8_t>(c + 32) : c;
  }
  static bool SameBytes(const std::uint8_t* bytes, std::string_view text, bool ignoreCase) {
    if (!ignoreCase)
      return std::memcmp(bytes, text.data(), text.size()) == 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (Fold(bytes[i]) != Fold(static_cast<std::uint8_t>(text[i])))
        return false;
    }
    return true;
  }
  // The index of the first `c` in bytes[from, n), or n.
  static std::size_t Next(const std::uint8_t* bytes, std::size_t from, std::size_t n, std::uint8_t c) {
    const void* hit = from < n ? std::memchr(bytes + from, c, n - from) : nullptr;
    return hit ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - bytes) : n;
  }

  RawReadWindow window_;
};

}  // namespace korvex
