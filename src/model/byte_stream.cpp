#include "model/byte_stream.h"

#include <cstring>

namespace korvex {

namespace {

template <typename T>
void WriteLe(IByteStream& stream, T value) {
  std::uint8_t bytes[sizeof(T)];
  for (std::size_t i = 0; i < sizeof(T); ++i)
    bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
  stream.WriteBytes(bytes, sizeof bytes);
}

template <typename T>
T ReadLe(IByteStream& stream) {
  std::uint8_t bytes[sizeof(T)];
  stream.ReadBytes(bytes, sizeof bytes);
  T value = 0;
  for (std::size_t i = sizeof(T); i-- > 0;)
    value = static_cast<T>((value << 8) | bytes[i]);
  return value;
}

}  // namespace

void WriteU16(IByteStream& stream, std::uint16_t value) {
  WriteLe(stream, value);
}
void WriteU32(IByteStream& stream, std::uint32_t value) {
  WriteLe(stream, value);
}
void WriteU64(IByteStream& stream, std::uint64_t value) {
  WriteLe(stream, value);
}
std::uint16_t ReadU16(IByteStream& stream) {
  return ReadLe<std::uint16_t>(stream);
}
std::uint32_t ReadU32(IByteStream& stream) {
  return ReadLe<std::uint32_t>(stream);
}
std::uint64_t ReadU64(IByteStream& stream) {
  return ReadLe<std::uint64_t>(stream);
}

void CMemoryByteStream::ReadBytes(void* buffer, std::size_t n) {
  if (n > Remaining())
    throw IRSException();
  if (n != 0)
    std::memcpy(buffer, bytes_.data() + readPosition_, n);
  readPosition_ += n;
}

void CMemoryByteStream::WriteBytes(const void* bytes, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(bytes);
  bytes_.insert(bytes_.end(), p, p + n);
}

}  // namespace korvex
