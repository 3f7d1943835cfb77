// The small byte-stream interface through which run lists and file properties save and load
// themselves. The recovery-state streams implement it; CMemoryByteStream holds the bytes in memory
// for tests and for building records before they are written. Integers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

namespace korvex {

// The exception type of every stream error (a short read, a failed write). The recovery-state streams
// derive their own error type, with its code, from it; the callers of Save and Load catch this one.
class IRSException : public std::exception {
 public:
  const char* what() const noexcept override { return "recovery-state stream error"; }
};

class IByteStream {
 public:
  virtual ~IByteStream() = default;
  // Reads exactly n bytes into `buffer`; throws an IRSException when fewer remain.
  virtual void ReadBytes(void* buffer, std::size_t n) = 0;
  // Writes n bytes; throws an IRSException when they cannot be written.
  virtual void WriteBytes(const void* bytes, std::size_t n) = 0;
};

void WriteU16(IByteStream& stream, std::uint16_t value);
void WriteU32(IByteStream& stream, std::uint32_t value);
void WriteU64(IByteStream& stream, std::uint64_t value);
std::uint16_t ReadU16(IByteStream& stream);
std::uint32_t ReadU32(IByteStream& stream);
std::uint64_t ReadU64(IByteStream& stream);

// A stream over a byte vector: writes append, reads consume from the front.
class CMemoryByteStream : public IByteStream {
 public:
  CMemoryByteStream() = default;
  explicit CMemoryByteStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  void ReadBytes(void* buffer, std::size_t n) override;
  void WriteBytes(const void* bytes, std::size_t n) override;

  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  std::size_t Remaining() const { return bytes_.size() - readPosition_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t readPosition_ = 0;
};

}  // namespace korvex
