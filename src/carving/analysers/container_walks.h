// The top-level walks of the two container families that several formats are built on: ISO base
// media boxes (MP4, 3GP, MOV, and the HEIF and CR3 pictures) and RIFF chunks (WAV, AVI, WebP). Each
// jumps from header to header with one read per step, checks every length against the device and
// is bounded by a number of steps, not by a position, so that a file with a large media payload
// before its index is measured whole.
#pragma once

#include <cstdint>
#include <span>

namespace korvex {

class IDevice;
class WindowReader;

// A four-character code as a big-endian number ("moov" → 0x6D6F6F76).
constexpr std::uint32_t FourCc(const char (&code)[5]) {
  return std::uint32_t{static_cast<std::uint8_t>(code[0])} << 24 |
         std::uint32_t{static_cast<std::uint8_t>(code[1])} << 16 |
         std::uint32_t{static_cast<std::uint8_t>(code[2])} << 8 |
         std::uint32_t{static_cast<std::uint8_t>(code[3])};
}

// What a box walk saw.
struct IsoBoxWalk {
  std::uint64_t end = 0;    // offset after the last whole box of a known type
  std::uint32_t boxes = 0;  // boxes walked
  bool moov = false;        // a "moov" box was among them
  bool moof = false;        // a "moof" box was among them
};

// Walks the top-level boxes from offset 0 while their type is one of `known`: a 32-bit size of 1
// means a 64-bit size at +8, a size of 0 a box that runs to the device's end (`deviceBytes` from the
// file's start), which ends the walk. A box that would run past the device's end, a size below its
// header, a read that fails or more than `maxBoxes` boxes end the walk before that box.
IsoBoxWalk WalkIsoBoxes(WindowReader& reader, std::uint64_t deviceBytes, std::span<const std::uint32_t> known,
                        std::uint32_t maxBoxes = 1'000'000);

// What a chunk walk saw.
struct RiffChunkWalk {
  std::uint64_t end = 0;     // offset after the last whole chunk (its pad byte included)
  std::uint32_t chunks = 0;  // chunks walked
  bool openEnded = false;    // the last chunk's length was 0xFFFFFFFF (a stream written to a pipe)
};

// Walks the chunks from `first` (12 for a RIFF form: after "RIFF", the length and the form type):
// each a four-character id of printable ASCII, a 32-bit little-endian length and the data padded to
// an even length. Stops before a chunk whose id is not printable, that would run past `limit` bytes
// from the file's start, or that cannot be read; a length of 0xFFFFFFFF stops the walk at that
// chunk with `openEnded` set. At most `maxChunks` chunks are walked.
RiffChunkWalk WalkRiffChunks(WindowReader& reader, std::uint64_t first, std::uint64_t limit,
                             std::uint32_t maxChunks = 1'000'000);

// Bytes from sector `startSector` to the device's end, at the current sector size.
std::uint64_t BytesToDeviceEnd(IDevice& device, std::uint64_t startSector);

}  // namespace korvex
