// RIFF: WAV, AVI and CorelDRAW. The header's length gives the size; a header written to a pipe (length
// 0 or 0xFFFFFFFF) is measured by walking its chunks, an AVI continues over its "AVIX" extensions and
// an RF64 WAV takes its length from the "ds64" chunk.
#include <algorithm>
#include <array>
#include <cstring>

#include "carving/analysers/container_walks.h"
#include "carving/analysers/media_analysers.h"
#include "carving/analysers/window_reader.h"
#include "common/byte_reader.h"
#include "scan/scan_options.h"

namespace korvex {

namespace {

// The four bytes at `at` equal `code`, ASCII letters in either case.
bool SameCode(ByteSpan bytes, std::size_t at, const char* code) {
  for (std::size_t i = 0; i < 4; ++i) {
    std::uint8_t a = bytes[at + i], b = static_cast<std::uint8_t>(code[i]);
    if (a >= 'A' && a <= 'Z')
      a = static_cast<std::uint8_t>(a + 32);
    if (b >= 'A' && b <= 'Z')
      b = static_cast<std::uint8_t>(b + 32);
    if (a != b)
      return false;
  }
  return true;
}

// The chunks that WAV writers put before "fmt ".
bool WaveFirstChunk(ByteSpan bytes) {
  for (const char* id : {"fmt ", "JUNK", "bext", "LIST", "fact"}) {
    if (SameCode(bytes, 12, id))
      return true;
  }
  return false;
}

constexpr std::uint32_t kRiff = 0x52494646, kRf64 = 0x52463634;

}  // namespace

int FileRIFFAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  const ByteSpan bytes(sector, 512);
  const std::uint32_t head = Be32(bytes, 0);
  if (head == kRf64) {
    if (!SameCode(bytes, 8, "WAVE") || !SameCode(bytes, 12, "ds64"))
      return 0;
    info.type = media_type::kWav;
    return 1;
  }
  if (head != kRiff)
    return 0;
  if (SameCode(bytes, 8, "WAVE") && WaveFirstChunk(bytes)) {
    info.type = media_type::kWav;
  } else if (SameCode(bytes, 8, "AVI ") && SameCode(bytes, 12, "LIST")) {
    info.type = media_type::kAvi;
  } else {
    bool cdr = false;
    for (const char* form : {"CDR7", "CDR8", "CDR9", "CDRA", "CDRB", "CDRC"})
      cdr = cdr || SameCode(bytes, 8, form);
    if (!cdr || !SameCode(bytes, 12, "vrsn"))
      return 0;
    info.type = media_type::kCdr;
  }
  return 1;
}

int FileRIFFAnalyser::DetermineSize(CRawFileInfo& info, IDevice& device) {
  const std::uint64_t deviceBytes = BytesToDeviceEnd(device, info.startSector);
  WindowReader r(device, info.startSector);
  std::array<std::uint8_t, 36> head;
  if (!r.Read(0, head.data(), head.size()))
    return 0;
  if (Be32(head, 0) == kRf64) {
    // ds64: its length, then the RIFF length as 64 bits.
    const std::uint64_t riff = Le64(head, 20);
    if (deviceBytes < 8 || riff < 4 || riff > deviceBytes - 8)
      return 0;
    info.size = riff + 8;
    return 1;
  }
  const std::uint32_t length = Le32(head, 4);
  std::uint64_t end = 0;
  if (length == 0 || length == 0xFFFFFFFF) {
    // Written where the writer could not go back: the chunks tell how far the file goes. A chunk
    // without a length (the samples of a WAV written to a pipe) runs as far as an end search would
    // look.
    const RiffChunkWalk walk = WalkRiffChunks(r, 12, deviceBytes);
    end = walk.end;
    if (walk.openEnded)
      end = std::min(deviceBytes, walk.end + 8 + ScanOptions::Instance().maxSearchLength);
    if (walk.chunks == 0 && !walk.openEnded)
      return 0;
  } else {
    end = std::uint64_t{length} + 8;
  }
  if (end < 12 || end > deviceBytes)
    return 0;
  if (info.type == media_type::kAvi) {
    // An AVI over 1 GiB continues in "RIFF" "AVIX" forms, one after the other.
    for (int extension = 0; extension < 10'000; ++extension) {
      std::array<std::uint8_t, 12> form;
      if (!r.Read(end, form.data(), form.size()) || Be32(form, 0) != kRiff || !SameCode(form, 8, "AVIX"))
        break;
      const std::uint64_t next = end + Le32(form, 4) + 8;
      if (next > deviceBytes)
        break;
      end = next;
    }
  }
  info.size = end;
  return 1;
}

}  // namespace korvex
