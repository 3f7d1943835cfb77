// LZNT1 decoding of NTFS compression units.
#include "output/lznt1.h"

#include <algorithm>

namespace korvex {

void DecompressLznt1Chunk(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out) {
  const std::size_t chunkStart = out.size();
  std::size_t i = 0;
  auto produced = [&] { return out.size() - chunkStart; };
  while (i < data.size() && produced() < kLznt1ChunkSize) {
    const std::uint8_t flags = data[i++];
    for (int bit = 0; bit < 8 && i < data.size() && produced() < kLznt1ChunkSize; ++bit) {
      if (!(flags & (1u << bit))) {
        out.push_back(data[i++]);
        continue;
      }
      if (i + 1 >= data.size())
        return;
      const std::uint32_t token = data[i] | (static_cast<std::uint32_t>(data[i + 1]) << 8);
      i += 2;
      const std::size_t position = produced();
      // The split between displacement and length moves as the output grows: 12 length bits while
      // fewer than 17 bytes are out, one fewer for every doubling after that.
      std::uint32_t lengthBits = 12;
      for (std::size_t q = position == 0 ? 0 : position - 1; q >= 16 && lengthBits > 4; q >>= 1)
        --lengthBits;
      const std::size_t length = (token & ((1u << lengthBits) - 1)) + 3;
      const std::size_t displacement = (token >> lengthBits) + 1;
      for (std::size_t n = 0; n < length && produced() < kLznt1ChunkSize; ++n) {
        const std::size_t at = produced();
        out.push_back(displacement > at ? std::uint8_t{0} : out[chunkStart + at - displacement]);
      }
    }
  }
}

std::vector<std::uint8_t> DecompressLznt1Unit(std::span<const std::uint8_t> unit) {
  if (unit.size() < 2 || (unit[0] | unit[1]) == 0)
    return std::vector<std::uint8_t>(unit.begin(), unit.end());
  std::vector<std::uint8_t> out;
  out.reserve(16 * kLznt1ChunkSize);
  std::size_t offset = 0;
  while (offset + 2 <= unit.size()) {
    const std::uint32_t header = unit[offset] | (static_cast<std::uint32_t>(unit[offset + 1]) << 8);
    if (header == 0)
      break;
    const std::size_t length = (header & 0xFFF) + 1;
    const std::size_t available = std::min(length, unit.size() - offset - 2);
    const std::span<const std::uint8_t> data = unit.subspan(offset + 2, available);
    if (header & 0x8000) {
      DecompressLznt1Chunk(data, out);
    } else {
      out.insert(out.end(), data.begin(), data.end());
    }
    offset += length + 2;
  }
  return out;
}

}  // namespace korvex
