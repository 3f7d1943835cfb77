// Little- and big-endian field readers over untrusted byte spans. A field that does not lie wholly
// inside the span reads as 0, so a parser never reads outside its buffer whatever the offsets say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace korvex {

using ByteSpan = std::span<const std::uint8_t>;

// True when [offset, offset + length) lies inside a buffer of `size` bytes (no overflow).
constexpr bool InBounds(std::size_t size, std::uint64_t offset, std::uint64_t length) {
  return offset <= size && length <= size - offset;
}

template <typename T>
constexpr T ReadLe(ByteSpan bytes, std::uint64_t offset) {
  if (!InBounds(bytes.size(), offset, sizeof(T)))
    return 0;
  T value = 0;
  for (std::size_t i = sizeof(T); i-- > 0;)
    value = static_cast<T>((value << 8) | bytes[offset + i]);
  return value;
}

template <typename T>
constexpr T ReadBe(ByteSpan bytes, std::uint64_t offset) {
  if (!InBounds(bytes.size(), offset, sizeof(T)))
    return 0;
  T value = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i)
    value = static_cast<T>((value << 8) | bytes[offset + i]);
  return value;
}

constexpr std::uint8_t Le8(ByteSpan b, std::uint64_t off) {
  return ReadLe<std::uint8_t>(b, off);
}
constexpr std::uint16_t Le16(ByteSpan b, std::uint64_t off) {
  return ReadLe<std::uint16_t>(b, off);
}
constexpr std::uint32_t Le32(ByteSpan b, std::uint64_t off) {
  return ReadLe<std::uint32_t>(b, off);
}
constexpr std::uint64_t Le64(ByteSpan b, std::uint64_t off) {
  return ReadLe<std::uint64_t>(b, off);
}
constexpr std::uint16_t Be16(ByteSpan b, std::uint64_t off) {
  return ReadBe<std::uint16_t>(b, off);
}
constexpr std::uint32_t Be32(ByteSpan b, std::uint64_t off) {
  return ReadBe<std::uint32_t>(b, off);
}
constexpr std::uint64_t Be64(ByteSpan b, std::uint64_t off) {
  return ReadBe<std::uint64_t>(b, off);
}

}  // namespace korvex
