// LZNT1, the compression of NTFS compressed files: the chunks of one compression unit decoded.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace korvex {

// The uncompressed size of one chunk.
constexpr std::size_t kLznt1ChunkSize = 4096;

// Decodes the LZNT1 data of one chunk (without its header) and appends at most 4096 bytes to `out`.
// A back-reference that reaches before the chunk's start yields zero bytes; a token cut off by the
// end of the data ends the chunk.
void DecompressLznt1Chunk(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out);

// Decodes the chunks of a compression unit: each starts with a u16 header h, is (h & 0xFFF) + 3 bytes
// long with it, holds LZNT1 data when bit 15 is set and else (h & 0xFFF) + 1 stored bytes; the unit
// ends at a zero header or at the end of `unit`. A unit whose first header is 0 is taken as stored.
std::vector<std::uint8_t> DecompressLznt1Unit(std::span<const std::uint8_t> unit);

}  // namespace korvex
