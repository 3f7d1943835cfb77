#include "model/mapping_pairs.h"

namespace korvex {

std::uint32_t SignedByteWidth(std::int64_t value) {
  for (std::uint32_t n = 1; n < 8; ++n) {
    const std::int64_t limit = std::int64_t{1} << (8 * n - 1);
    if (value >= -limit && value < limit)
      return n;
  }
  return 8;
}

namespace {

// Lengths are unsigned; those of 2^63 and above take all 8 bytes.
std::uint32_t LengthByteWidth(std::uint64_t length) {
  return length > static_cast<std::uint64_t>(INT64_MAX) ? 8
                                                        : SignedByteWidth(static_cast<std::int64_t>(length));
}

void PutLe(std::vector<std::uint8_t>& out, std::uint64_t value, std::uint32_t width) {
  for (std::uint32_t i = 0; i < width; ++i)
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

std::vector<std::uint8_t> EncodeMappingPairs(std::span<const DataRun> runs) {
  std::vector<std::uint8_t> out;
  std::uint64_t previous = 0;  // start of the previous non-sparse run, as unsigned to wrap safely
  for (const DataRun& run : runs) {
    const std::uint32_t lengthWidth = LengthByteWidth(run.length);
    if (run.IsSparse()) {
      out.push_back(static_cast<std::uint8_t>(lengthWidth));
      PutLe(out, run.length, lengthWidth);
      continue;
    }
    const auto delta = static_cast<std::int64_t>(static_cast<std::uint64_t>(run.start) - previous);
    const std::uint32_t deltaWidth = SignedByteWidth(delta);
    out.push_back(static_cast<std::uint8_t>(deltaWidth << 4 | lengthWidth));
    PutLe(out, run.length, lengthWidth);
    PutLe(out, static_cast<std::uint64_t>(delta), deltaWidth);
    previous = static_cast<std::uint64_t>(run.start);
  }
  out.push_back(0);
  return out;
}

std::vector<std::uint8_t> EncodeMappingPairs(const IDataRunList& list) {
  const std::vector<DataRun> runs(list.Runs().begin(), list.Runs().end());
  return EncodeMappingPairs(runs);
}

std::vector<MappingPairsRun> DecodeMappingPairs(ByteSpan bytes) {
  std::vector<MappingPairsRun> runs;
  std::uint64_t running = 0;
  std::uint64_t vcn = 0;
  std::size_t at = 0;
  while (at < bytes.size() && bytes[at] != 0) {
    const std::uint32_t lengthWidth = bytes[at] & 0x0F;
    const std::uint32_t deltaWidth = bytes[at] >> 4;
    if (lengthWidth > 8 || deltaWidth > 8 || !InBounds(bytes.size(), at + 1, lengthWidth + deltaWidth))
      break;
    ++at;
    std::uint64_t length = 0;
    for (std::uint32_t i = 0; i < lengthWidth; ++i)
      length |= std::uint64_t{bytes[at + i]} << (8 * i);
    at += lengthWidth;
    std::uint64_t delta = 0;
    for (std::uint32_t i = 0; i < deltaWidth; ++i)
      delta |= std::uint64_t{bytes[at + i]} << (8 * i);
    at += deltaWidth;

    MappingPairsRun decoded;
    decoded.vcn = vcn;
    decoded.run.length = length;
    if (deltaWidth == 0) {
      decoded.run.start = DataRun::kSparseStart;
    } else {
      // Sign-extend from the top bit of the last byte read.
      if (deltaWidth < 8 && (delta >> (8 * deltaWidth - 1)) & 1)
        delta |= ~std::uint64_t{0} << (8 * deltaWidth);
      running += delta;
      decoded.run.start = static_cast<std::int64_t>(running);
    }
    vcn += length;
    runs.push_back(decoded);
  }
  return runs;
}

}  // namespace korvex
