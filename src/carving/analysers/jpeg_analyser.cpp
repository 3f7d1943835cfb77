// FileJPGAnalyser: recognises JFIF, Exif and plain JPEG starts, walks the markers to the scan data and
// takes the first FF D9 after it as the end; an Exif photo that names its camera's make is a JPG photo.
#include <array>
#include <cstring>

#include "carving/analysers/picture_analysers.h"
#include "carving/analysers/window_reader.h"

namespace korvex {

namespace {

// Farthest a marker may lie, and how far past the scan data the end search looks.
constexpr std::uint64_t kMaxMarkerOffset = 52'428'800;
constexpr std::uint64_t kEndSearchDistance = 52'428'800;

constexpr std::uint32_t kSoiDqt = 0xFFD8FFDB;
constexpr std::uint32_t kSoiApp0 = 0xFFD8FFE0;
constexpr std::uint32_t kSoiApp1 = 0xFFD8FFE1;
constexpr std::uint32_t kJfif = 0x4A464946;  // "JFIF"
constexpr std::uint32_t kExif = 0x45584946;  // "EXIF": "Exif" with its letters upper-cased
// Clearing bit 5 of each byte upper-cases the letters; only a letter's two cases map to J, F, I, E
// or X, so the masked comparison is an exact case-insensitive one.
constexpr std::uint32_t kUpperCase = 0xDFDFDFDF;

enum class Walk { kJfifWalk, kExifWalk, kPlainWalk };

// True when the Exif segment at `b` (APP1, length `length`) holds a non-empty camera make in its
// first directory. Offsets in the segment count from its TIFF header at b + 10.
bool ExifNamesMake(WindowReader& r, std::uint64_t b, std::uint16_t length) {
  const std::uint64_t tiff = b + 10;
  const std::uint64_t segmentEnd = b + 2 + length;
  std::array<std::uint8_t, 8> header;
  if (!r.Read(tiff, header.data(), header.size()))
    return false;
  bool be;
  if (header[0] == 'M' && header[1] == 'M')
    be = true;
  else if (header[0] == 'I' && header[1] == 'I')
    be = false;
  else
    return false;
  const std::uint64_t dir = tiff + (be ? Be32(header, 4) : Le32(header, 4));
  std::uint16_t count = 0;
  if (!r.U16(dir, be, count))
    return false;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint64_t entry = dir + 2 + 12 * i;
    if (entry + 12 > segmentEnd)
      break;  // the directory must lie inside the segment
    std::array<std::uint8_t, 12> e;
    if (!r.Read(entry, e.data(), e.size()))
      return false;
    const std::uint16_t tag = be ? Be16(e, 0) : Le16(e, 0);
    if (tag != 0x010F)
      continue;
    const std::uint32_t n = be ? Be32(e, 4) : Le32(e, 4);
    std::array<std::uint8_t, 64> text{};
    if (n <= 4) {
      std::memcpy(text.data(), e.data() + 8, 4);  // a short make is held in the entry itself
    } else if (!r.Read(tiff + (be ? Be32(e, 8) : Le32(e, 8)), text.data(), text.size())) {
      return false;
    }
    return text[0] != 0;
  }
  return false;
}

}  // namespace

int FileJPGAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  const ByteSpan bytes(sector, 512);
  const std::uint32_t head = Be32(bytes, 0);
  if (head != kSoiDqt) {
    if (head != kSoiApp0 && head != kSoiApp1)
      return 0;
    const std::uint32_t tag = Be32(bytes, 6) & kUpperCase;
    if (tag != kJfif && tag != kExif)
      return 0;
  }
  info.type = picture_type::kJpg;
  return 1;
}

int FileJPGAnalyser::DetermineSize(CRawFileInfo& info, IDevice& device) {
  WindowReader r(device, info.startSector);
  std::array<std::uint8_t, 10> head;
  if (!r.Read(0, head.data(), head.size()))
    return 0;
  const std::uint32_t tag = Be32(head, 6);
  const Walk walk = tag == kJfif                  ? Walk::kJfifWalk
                    : (tag & kUpperCase) == kExif ? Walk::kExifWalk
                                                  : Walk::kPlainWalk;

  // Marker walk from offset 2 to the end of the start-of-scan segment. Every step moves at least two
  // bytes forward and no marker may lie past kMaxMarkerOffset, so the walk ends.
  std::uint64_t b = 2;
  bool frame = false;
  bool photo = false;
  std::uint64_t scanData = 0;
  for (;;) {
    std::array<std::uint8_t, 10> m;
    if (!r.Read(b, m.data(), m.size()))
      return 0;
    // A marker begins with FF; anything else means the walk has left the file's structure, and
    // following it would only walk corrupted data (or zeros) up to the marker limit.
    if (m[0] != 0xFF)
      return 0;
    const std::uint8_t code = m[1];
    const std::uint16_t length = Be16(m, 2);
    std::uint64_t step = length;
    if (code == 0xC0 || code == 0xC1 || code == 0xC2) {
      // Baseline, extended and progressive frames; grey (1 component) or colour (3).
      if (m[4] != 8)
        return 0;
      if (walk == Walk::kPlainWalk && m[9] != 1 && m[9] != 3)
        return 0;
      frame = true;
    } else if (code == 0xDA) {
      if (!frame)
        return 0;
      if (walk != Walk::kExifWalk && m[4] != 1 && m[4] != 3)
        return 0;
      scanData = b + 2 + length;
      break;
    } else if (code == 0xE1 && walk == Walk::kExifWalk) {
      photo = photo || ExifNamesMake(r, b, length);
    } else if (code == 0xFF) {
      step = 0;
    }
    b += step + 2;
    if (b > kMaxMarkerOffset)
      return 0;
  }

  // End search: the first FF D9 at any offset from the scan data on. Inside entropy-coded data an FF
  // is always followed by 00 or a restart marker, so the first FF D9 closes the image.
  const std::uint64_t last = scanData + kEndSearchDistance;  // last offset an FF may have
  std::uint64_t offset = scanData;
  while (offset <= last) {
    std::uint64_t available = 0;
    const std::uint8_t* bytes = r.Span(offset, available);
    if (!bytes)
      return 0;
    const std::uint64_t n = std::min(available, last - offset + 1);
    const std::uint8_t* end = bytes + n;
    for (const std::uint8_t* q = bytes; q < end; ++q) {
      q = static_cast<const std::uint8_t*>(std::memchr(q, 0xFF, static_cast<std::size_t>(end - q)));
      if (!q)
        break;
      const std::uint64_t x = offset + static_cast<std::uint64_t>(q - bytes);
      if (q + 1 == bytes + available) {
        // The FF is the window's last byte: its successor is the next window's first.
        std::uint8_t next = 0;
        if (!r.Byte(x + 1, next))
          return 0;
        if (next == 0xD9) {
          info.size = x + 2;
          info.type = photo ? picture_type::kJpgPhoto : picture_type::kJpg;
          return 1;
        }
        break;
      }
      if (q[1] == 0xD9) {
        info.size = x + 2;
        info.type = photo ? picture_type::kJpgPhoto : picture_type::kJpg;
        return 1;
      }
    }
    offset += n;
  }
  // No end within reach: a JFIF or plain JPEG keeps what was searched, an Exif one is given up.
  if (walk == Walk::kExifWalk)
    return 0;
  info.size = last + 2;
  info.type = picture_type::kJpg;
  return 1;
}

}  // namespace korvex
