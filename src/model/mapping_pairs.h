// NTFS mapping pairs: the compact byte form of a run list, used both on disk (non-resident
// attributes) and as the stored run list every found file keeps. Each pair is a header byte (high
// nibble: bytes of the start delta, 0 for a sparse run; low nibble: bytes of the length), the length
// (unsigned) and the start delta from the previous non-sparse run (two's complement); a 0 byte ends.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/byte_reader.h"
#include "model/data_run_list.h"

namespace korvex {

// A decoded run with its starting virtual cluster: the sum of the lengths of the runs before it.
struct MappingPairsRun {
  DataRun run;
  std::uint64_t vcn = 0;
};

// The smallest n in 1..8 for which `value` fits n bytes of two's complement.
std::uint32_t SignedByteWidth(std::int64_t value);

// The mapping pairs of `runs`, in order, ended by a 0 byte. An empty list gives the single 0 byte.
std::vector<std::uint8_t> EncodeMappingPairs(std::span<const DataRun> runs);
std::vector<std::uint8_t> EncodeMappingPairs(const IDataRunList& list);

// Decodes until a 0 header or the end of `bytes`. A pair that promises more bytes than remain, or a
// width above 8 bytes, ends the decoding there: the runs before it are returned. Each pair takes at
// least one byte, so the result never holds more runs than `bytes` has bytes.
std::vector<MappingPairsRun> DecodeMappingPairs(ByteSpan bytes);

}  // namespace korvex
