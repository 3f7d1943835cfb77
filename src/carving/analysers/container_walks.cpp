// The ISO base media box walk and the RIFF chunk walk shared by the analysers of those families.
#include "carving/analysers/container_walks.h"

#include <algorithm>
#include <array>

#include "carving/analysers/window_reader.h"
#include "common/byte_reader.h"
#include "common/database.h"
#include "storage/device.h"

namespace korvex {

std::uint64_t BytesToDeviceEnd(IDevice& device, std::uint64_t startSector) {
  const std::uint64_t sectors = device.GetSectorCount();
  const std::uint64_t sectorSize = CDataBase::Instance().bytesPerSector;
  if (startSector >= sectors)
    return 0;
  std::uint64_t bytes = 0;
  if (__builtin_mul_overflow(sectors - startSector, sectorSize, &bytes))
    return WindowReader::kMaxOffset;
  return std::min(bytes, WindowReader::kMaxOffset);
}

IsoBoxWalk WalkIsoBoxes(WindowReader& reader, std::uint64_t deviceBytes, std::span<const std::uint32_t> known,
                        std::uint32_t maxBoxes) {
  IsoBoxWalk walk;
  std::uint64_t at = 0;
  while (walk.boxes < maxBoxes) {
    std::array<std::uint8_t, 16> head;
    if (!reader.Read(at, head.data(), 8))
      break;
    const std::uint32_t size32 = Be32(head, 0), type = Be32(head, 4);
    if (std::find(known.begin(), known.end(), type) == known.end())
      break;
    std::uint64_t size = size32;
    if (size32 == 1) {
      if (!reader.Read(at + 8, head.data() + 8, 8))
        break;
      size = Be64(head, 8);
      if (size < 16)
        break;
    } else if (size32 == 0) {
      // The box runs to the end of the file: all that the device holds from here.
      ++walk.boxes;
      walk.moov |= type == FourCc("moov");
      walk.moof |= type == FourCc("moof");
      walk.end = deviceBytes;
      break;
    } else if (size32 < 8) {
      break;
    }
    std::uint64_t next = 0;
    if (__builtin_add_overflow(at, size, &next) || next > deviceBytes)
      break;
    ++walk.boxes;
    walk.moov |= type == FourCc("moov");
    walk.moof |= type == FourCc("moof");
    at = next;
    walk.end = at;
  }
  return walk;
}

namespace {

bool PrintableId(const std::uint8_t* id) {
  return std::all_of(id, id + 4, [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

}  // namespace

RiffChunkWalk WalkRiffChunks(WindowReader& reader, std::uint64_t first, std::uint64_t limit,
                             std::uint32_t maxChunks) {
  RiffChunkWalk walk;
  walk.end = first;
  std::uint64_t at = first;
  while (walk.chunks < maxChunks) {
    std::array<std::uint8_t, 8> head;
    if (!reader.Read(at, head.data(), head.size()) || !PrintableId(head.data()))
      break;
    const std::uint32_t length = Le32(head, 4);
    if (length == 0xFFFFFFFF) {
      walk.openEnded = true;
      break;
    }
    const std::uint64_t next = at + 8 + length + (length & 1);  // at < 2^40: no overflow
    if (next > limit)
      break;
    ++walk.chunks;
    at = next;
    walk.end = at;
  }
  return walk;
}

}  // namespace korvex
