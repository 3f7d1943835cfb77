// FileTIFAnalyser: TIFF files and the camera raw formats built on TIFF (ARW, CR2, NEF, PEF, DNG), and
// Fuji RAF. The size is the largest end of anything a directory points to; the make entry and the DNG
// version tag refine the type.
#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "carving/analysers/picture_analysers.h"
#include "carving/analysers/window_reader.h"
#include "storage/device.h"

namespace korvex {

namespace {

constexpr std::uint64_t kMaxFileSize = 200'000'000;
constexpr std::uint16_t kMaxEntries = 512;
constexpr std::uint16_t kMaxRafEntries = 10'000;
constexpr std::size_t kMaxSubDirectoryOffsets = 32;
// Bounds on a walk over crafted data: how deep directories may nest, how many a file may have, and
// how many strip or tile entries are read (a large striped image has a few thousand).
constexpr int kMaxDepth = 16;
constexpr int kMaxDirectories = 256;
constexpr std::uint32_t kMaxArrayEntries = 65'536;
constexpr std::uint64_t kMaxArrayEntriesPerFile = 262'144;

enum Tag : std::uint16_t {
  kMake = 271,
  kStripOffsets = 273,
  kStripByteCounts = 279,
  kTileOffsets = 324,
  kTileByteCounts = 325,
  kSubIfds = 330,
  kJpegOffset = 513,
  kJpegLength = 514,
  kKodakIfd = 33424,
  kExifIfd = 34665,
  kMakerNote = 37500,
  kImageOffset = 48320,
  kImageByteCount = 48321,
  kAlphaOffset = 48322,
  kAlphaByteCount = 48323,
  kDngVersion = 50706,
  kRafSubIfd = 0xF000,
  kRafStripOffset = 0xF007,
  kRafStripByteCount = 0xF008,
};

std::uint64_t UnitSize(std::uint16_t type) {
  switch (type) {
    case 3:
    case 8:
      return 2;
    case 4:
    case 9:
    case 11:
    case 13:
      return 4;
    case 5:
    case 10:
    case 12:
    case 16:
    case 17:
    case 18:
      return 8;
    default:
      return 1;
  }
}

// One 12-byte directory entry.
struct Entry {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  std::uint32_t value = 0;   // the value field as a 32-bit word (an offset when the data is longer)
  std::uint32_t single = 0;  // the value of a count-1 BYTE, SHORT or LONG entry, else 0
  std::uint64_t bytes = 0;   // length of the entry's data
};

Entry DecodeEntry(const std::array<std::uint8_t, 12>& e, bool be) {
  Entry entry;
  entry.tag = be ? Be16(e, 0) : Le16(e, 0);
  entry.type = be ? Be16(e, 2) : Le16(e, 2);
  entry.count = be ? Be32(e, 4) : Le32(e, 4);
  entry.value = be ? Be32(e, 8) : Le32(e, 8);
  entry.bytes = UnitSize(entry.type) * entry.count;
  if (entry.count == 1 && entry.bytes <= 4) {
    if (entry.type == 1)
      entry.single = e[8];
    else if (entry.type == 3)
      entry.single = be ? Be16(e, 8) : Le16(e, 8);
    else if (entry.type == 4)
      entry.single = entry.value;
  }
  return entry;
}

// An offset and a length remembered from a directory; the end they give when either was set.
struct Extent {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  bool set = false;
  std::uint64_t End() const { return set ? offset + length : 0; }
};

// The single offsets and lengths a directory may give for its image data, by tag.
struct ImageExtents {
  Extent strip, tile, jpeg, image, alpha;

  // Takes `value` when `tag` is one of those offsets or lengths; false for any other tag.
  bool Record(std::uint16_t tag, std::uint64_t value);
};

bool ImageExtents::Record(std::uint16_t tag, std::uint64_t value) {
  struct Slot {
    std::uint16_t tag;
    Extent ImageExtents::*extent;
    std::uint64_t Extent::*field;
  };
  static constexpr Slot kSlots[] = {
      {kStripOffsets, &ImageExtents::strip, &Extent::offset},
      {kStripByteCounts, &ImageExtents::strip, &Extent::length},
      {kTileOffsets, &ImageExtents::tile, &Extent::offset},
      {kTileByteCounts, &ImageExtents::tile, &Extent::length},
      {kJpegOffset, &ImageExtents::jpeg, &Extent::offset},
      {kJpegLength, &ImageExtents::jpeg, &Extent::length},
      {kImageOffset, &ImageExtents::image, &Extent::offset},
      {kImageByteCount, &ImageExtents::image, &Extent::length},
      {kAlphaOffset, &ImageExtents::alpha, &Extent::offset},
      {kAlphaByteCount, &ImageExtents::alpha, &Extent::length},
  };
  for (const Slot& slot : kSlots) {
    if (slot.tag == tag) {
      Extent& extent = this->*slot.extent;
      extent.*slot.field = value;
      extent.set = true;
      return true;
    }
  }
  return false;
}

// A strip or tile array: its entry, to be read once the directory is done.
struct Array {
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  std::uint32_t offset = 0;
  bool set = false;
};

}  // namespace

// What one size step shares among its directory walks.
struct FileTIFAnalyser::Walk {
  WindowReader& r;
  bool be;
  std::uint64_t base = 0;  // offsets in the directories count from here (the RAF raw section)
  int directoriesLeft = kMaxDirectories;
  std::array<std::uint64_t, kMaxDirectories> visited{};
  int visitedCount = 0;
  std::uint64_t arrayEntriesLeft = kMaxArrayEntriesPerFile;

  // False when the directory was walked before or the file has too many: it is then skipped, so that
  // a chain that loops back ends.
  bool Enter(std::uint64_t dir) {
    if (directoriesLeft <= 0)
      return false;
    for (int i = 0; i < visitedCount; ++i) {
      if (visited[static_cast<std::size_t>(i)] == dir)
        return false;
    }
    visited[static_cast<std::size_t>(visitedCount++)] = dir;
    --directoriesLeft;
    return true;
  }
  bool ReadEntry(std::uint64_t at, Entry& entry) {
    std::array<std::uint8_t, 12> e;
    if (!r.Read(at, e.data(), e.size()))
      return false;
    entry = DecodeEntry(e, be);
    return true;
  }
  // The largest offset + length over an offset array and its length array.
  bool ArrayEnd(const Array& offsets, const Array& lengths, std::uint64_t& end) {
    const std::uint32_t n = static_cast<std::uint32_t>(
        std::min<std::uint64_t>({offsets.count, lengths.count, kMaxArrayEntries, arrayEntriesLeft}));
    arrayEntriesLeft -= n;
    const std::uint64_t offsetUnit = offsets.type == 3 ? 2 : 4;
    const std::uint64_t lengthUnit = lengths.type == 3 ? 2 : 4;
    for (std::uint32_t i = 0; i < n; ++i) {
      std::uint64_t o = 0, l = 0;
      if (!Value(base + offsets.offset + offsetUnit * i, offsetUnit, o) ||
          !Value(base + lengths.offset + lengthUnit * i, lengthUnit, l))
        return false;
      end = std::max(end, o + l);
    }
    return true;
  }
  bool Value(std::uint64_t at, std::uint64_t unit, std::uint64_t& value) {
    if (unit == 2) {
      std::uint16_t v = 0;
      if (!r.U16(at, be, v))
        return false;
      value = v;
      return true;
    }
    std::uint32_t v = 0;
    if (!r.U32(at, be, v))
      return false;
    value = v;
    return true;
  }
};

int FileTIFAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  const ByteSpan bytes(sector, 512);
  switch (Be32(bytes, 0)) {
    case 0x49492A00:  // "II" 2A 00
    case 0x49495500:  // "IIU" 00
    case 0x4D4D002A:  // "MM" 00 2A
    case 0x4D4D0055:  // "MM" 00 55
      break;
    case 0x46554A49:                     // "FUJI"
      if (Be32(bytes, 4) != 0x46494C4D)  // "FILM"
        return 0;
      break;
    default:
      return 0;
  }
  info.type = picture_type::kTif;
  return 1;
}

void FileTIFAnalyser::Reset() {
  subDirectory_ = 0;
  rafOffset_ = 0;
  fuji_ = false;
  dng_ = false;
  pentax_ = false;
  bigEndianType_ = picture_type::kTif;
  littleEndianType_ = picture_type::kTif;
}

int FileTIFAnalyser::DetermineSize(CRawFileInfo& info, IDevice& device) {
  Reset();
  WindowReader r(device, info.startSector);
  std::array<std::uint8_t, 8> head;
  if (!r.Read(0, head.data(), head.size()))
    return 0;
  const std::uint32_t magic = Be32(head, 0);
  std::uint64_t end = 0;
  std::uint32_t type = picture_type::kTif;
  if (magic == 0x46554A49 && Be32(head, 4) == 0x46494C4D) {
    // RAF: the raw section holds a big-endian directory whose offsets count from the section.
    fuji_ = true;
    Walk walk{r, true};
    std::uint32_t dir = 0;
    if (!r.U32(100, true, rafOffset_) || !r.U32(std::uint64_t{rafOffset_} + 4, true, dir))
      return 0;
    walk.base = rafOffset_;
    if (!WalkRafDirectory(walk, std::uint64_t{rafOffset_} + dir, 0, end))
      return 0;
    end += rafOffset_;
    type = picture_type::kRaf;
  } else {
    const bool be = head[0] == 'M';
    Walk walk{r, be};
    subDirectory_ = be ? Be32(head, 4) : Le32(head, 4);
    if (!WalkDirectory(walk, subDirectory_, 0, true, end))
      return 0;
    if (!be) {
      type = littleEndianType_;
    } else if (dng_) {
      type = pentax_ ? picture_type::kDngPentax : picture_type::kDng;
    } else {
      type = pentax_ ? picture_type::kPef : bigEndianType_;
    }
  }
  // A walk that found nothing (a first directory of more than 512 entries) is no file.
  if (end == 0 || end > kMaxFileSize)
    return 0;
  info.size = end;
  info.type = type;
  return 1;
}

bool FileTIFAnalyser::WalkDirectory(Walk& walk, std::uint64_t dir, int depth, bool first,
                                    std::uint64_t& end) {
  if (depth > kMaxDepth || !walk.Enter(dir))
    return true;
  std::uint16_t n = 0;
  if (!walk.r.U16(dir, walk.be, n))
    return false;
  if (n > kMaxEntries)
    return true;  // not a directory: it adds nothing
  // The directory itself (count, entries, next offset) is part of the file; a writer may place it
  // after the image data.
  std::uint64_t largest = dir + 2 + 12 * std::uint64_t{n} + 4;
  ImageExtents extents;
  Array stripOffsets, stripCounts, tileOffsets, tileCounts;
  for (std::uint64_t i = 0; i < n; ++i) {
    Entry e;
    if (!walk.ReadEntry(dir + 2 + 12 * i, e))
      return false;
    if (e.bytes > 4) {
      const std::uint64_t dataEnd = e.value + e.bytes;
      if (dataEnd == 0)
        return false;
      largest = std::max(largest, dataEnd);
    }
    if (e.tag == kDngVersion && walk.be)
      dng_ = true;
    if (e.tag == kMakerNote) {
      std::uint64_t noteEnd = 0;
      if (WalkMakerNote(walk, e.type < 5 ? e.single : e.value, noteEnd))
        largest = std::max(largest, noteEnd);
      continue;
    }
    if (e.count == 1 && e.bytes <= 4) {
      const std::uint32_t v = e.single;
      switch (e.tag) {
        case kSubIfds:
        case kKodakIfd:
        case kExifIfd: {
          std::uint64_t subEnd = 0;
          if (!WalkDirectory(walk, v, depth + 1, false, subEnd))
            return false;
          largest = std::max(largest, subEnd);
          break;
        }
        default:
          extents.Record(e.tag, v);
          break;
      }
    } else if (e.count >= 2) {
      switch (e.tag) {
        case kMake: {
          // The makes that refine the type are all longer than the four bytes an entry holds.
          std::array<char, 65> text{};
          if (e.bytes > 4 && !walk.r.Read(e.value, reinterpret_cast<std::uint8_t*>(text.data()), 64))
            return false;
          const std::string_view make(text.data());
          if (!walk.be) {
            if (first && make == "SONY")
              littleEndianType_ = picture_type::kArw;
            else if (first && make == "Canon")
              littleEndianType_ = picture_type::kCr2;
          } else if (make == "NIKON CORPORATION") {
            bigEndianType_ = picture_type::kNef;
          } else if (make == "PENTAX             " || make == "PENTAX Corporation ") {
            pentax_ = true;
          }
          break;
        }
        case kStripOffsets:
          stripOffsets = {e.type, e.count, e.value, true};
          break;
        case kStripByteCounts:
          stripCounts = {e.type, e.count, e.value, true};
          break;
        case kTileOffsets:
          tileOffsets = {e.type, e.count, e.value, true};
          break;
        case kTileByteCounts:
          tileCounts = {e.type, e.count, e.value, true};
          break;
        case kSubIfds:
        case kExifIfd:
          if (e.type == 4) {
            const std::uint32_t count = std::min<std::uint32_t>(e.count, kMaxSubDirectoryOffsets);
            for (std::uint32_t k = 0; k < count; ++k) {
              std::uint32_t sub = 0;
              std::uint64_t subEnd = 0;
              if (!walk.r.U32(std::uint64_t{e.value} + 4 * k, walk.be, sub) ||
                  !WalkDirectory(walk, sub, depth + 1, false, subEnd))
                return false;
              largest = std::max(largest, subEnd);
            }
          }
          break;
        default:
          // An offset or length given as an array counts as the value 1, as a single one would.
          extents.Record(e.tag, 1);
          break;
      }
    }
  }
  largest = std::max({largest, extents.alpha.End(), extents.image.End(), extents.jpeg.End()});
  if (extents.strip.offset != 0xFFFFFFFF)
    largest = std::max(largest, extents.strip.End());
  if (extents.tile.offset != 0xFFFFFFFF)
    largest = std::max(largest, extents.tile.End());
  if (stripOffsets.set && stripCounts.set && !walk.ArrayEnd(stripOffsets, stripCounts, largest))
    return false;
  if (tileOffsets.set && tileCounts.set && !walk.ArrayEnd(tileOffsets, tileCounts, largest))
    return false;
  std::uint32_t next = 0;
  if (!walk.r.U32(dir + 2 + 12 * std::uint64_t{n}, walk.be, next))
    return false;
  if (next != 0) {
    std::uint64_t nextEnd = 0;
    if (!WalkDirectory(walk, next, depth + 1, false, nextEnd))
      return false;
    largest = std::max(largest, nextEnd);
  }
  end = std::max(end, largest);
  return true;
}

bool FileTIFAnalyser::WalkMakerNote(Walk& walk, std::uint64_t dir, std::uint64_t& end) {
  // A maker note is often a directory of its own; what it points to is part of the file. Notes in a
  // private layout read as nonsense here and are ignored rather than trusted.
  std::uint16_t n = 0;
  if (!walk.r.U16(dir, walk.be, n) || n > kMaxEntries)
    return false;
  std::uint64_t largest = 0;
  ImageExtents extents;
  for (std::uint64_t i = 0; i < n; ++i) {
    Entry e;
    if (!walk.ReadEntry(dir + 2 + 12 * i, e))
      return false;
    if (e.bytes > 4)
      largest = std::max(largest, e.value + e.bytes);
    extents.Record(e.tag, e.single);
  }
  largest = std::max({largest, extents.strip.End(), extents.tile.End(), extents.jpeg.End(),
                      extents.image.End(), extents.alpha.End()});
  if (largest > kMaxFileSize)
    return false;
  end = largest;
  return true;
}

bool FileTIFAnalyser::WalkRafDirectory(Walk& walk, std::uint64_t dir, int depth, std::uint64_t& end) {
  if (depth > kMaxDepth || !walk.Enter(dir))
    return true;
  std::uint16_t n = 0;
  if (!walk.r.U16(dir, true, n))
    return false;
  if (n > kMaxRafEntries)
    return false;
  std::uint64_t largest = 0;
  Extent strip;
  for (std::uint64_t i = 0; i < n; ++i) {
    Entry e;
    if (!walk.ReadEntry(dir + 2 + 12 * i, e))
      return false;
    if (e.bytes > 4)
      largest = std::max(largest, e.value + e.bytes);
    if (e.tag == kRafSubIfd) {
      std::uint64_t subEnd = 0;
      if (!WalkRafDirectory(walk, walk.base + e.value, depth + 1, subEnd))
        return false;
      largest = std::max(largest, subEnd);
    } else if (e.tag == kRafStripOffset) {
      strip.offset = e.value, strip.set = true;
    } else if (e.tag == kRafStripByteCount) {
      strip.length = e.value, strip.set = true;
    }
  }
  end = std::max({end, largest, strip.End()});
  return true;
}

}  // namespace korvex
