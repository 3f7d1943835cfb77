// ASF (WMV, WMA), Matroska and WebM, MP3, Ogg, FLV, MIDI and SWF. Checks read only the 512 bytes they
// are given; size steps read through a WindowReader, one read per header, and bound every walk by a
// number of steps, never by a position, so that long recordings are measured whole.
#include <algorithm>
#include <array>
#include <cstring>

#include "carving/analysers/container_walks.h"
#include "carving/analysers/media_analysers.h"
#include "carving/analysers/window_reader.h"
#include "common/byte_reader.h"

namespace korvex {

namespace {

// Walks of packets, pages, frames and tags stop after this many steps: hours of any stream.
constexpr std::uint32_t kMaxSteps = 4'000'000;

using Guid = std::array<std::uint8_t, 16>;

constexpr Guid kAsfHeader = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                             0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kAsfData = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                           0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kAsfFileProperties = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                     0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kAsfStreamProperties = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                       0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kAsfAudio = {0x40, 0x9E, 0x69, 0xF8, 0x4D, 0x5B, 0xCF, 0x11,
                            0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
constexpr Guid kAsfVideo = {0xC0, 0xEF, 0x19, 0xBC, 0x4D, 0x5B, 0xCF, 0x11,
                            0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
// The objects that may follow the data object: simple index, index, media object index, timecode index.
constexpr std::array<Guid, 4> kAsfIndexes = {{
    {0x90, 0x08, 0x00, 0x33, 0xB1, 0xE5, 0xCF, 0x11, 0x89, 0xF4, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xCB},
    {0xD3, 0x29, 0xE2, 0xD6, 0xDA, 0x35, 0xD1, 0x11, 0x90, 0x34, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xBE},
    {0xF8, 0x03, 0xB1, 0xFE, 0xAD, 0x12, 0x64, 0x4C, 0x84, 0x0F, 0x2A, 0x1D, 0x2F, 0x7A, 0xD4, 0x8C},
    {0xD0, 0x3F, 0xB7, 0x3C, 0x4A, 0x0C, 0x03, 0x48, 0x95, 0x3D, 0xED, 0xF7, 0xB6, 0x22, 0x8F, 0x0C},
}};

bool SameGuid(const std::uint8_t* bytes, const Guid& guid) {
  return std::memcmp(bytes, guid.data(), guid.size()) == 0;
}

constexpr std::uint64_t kAsfObjectHeader = 24;  // GUID and 64-bit size

}  // namespace

// ---- ASF -------------------------------------------------------------------------------------------

int FileASFAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  if (!SameGuid(sector, kAsfHeader))
    return 0;
  info.type = media_type::kAsf;
  return 1;
}

int FileASFAnalyser::DetermineSize(CRawFileInfo& info, IDevice& device) {
  const std::uint64_t deviceBytes = BytesToDeviceEnd(device, info.startSector);
  WindowReader r(device, info.startSector);
  std::array<std::uint8_t, 30> head;
  if (!r.Read(0, head.data(), head.size()))
    return 0;
  const std::uint64_t headerSize = Le64(head, 16);
  const std::uint32_t objects = Le32(head, 24);
  if (headerSize < 30 || headerSize > deviceBytes)
    return 0;
  // The header's objects: the streams tell WMV from WMA, the file properties the file's size.
  bool video = false, audio = false;
  std::uint64_t fileSize = 0;
  std::uint64_t at = 30;
  for (std::uint32_t i = 0; i < objects && i < 10'000 && at + kAsfObjectHeader <= headerSize; ++i) {
    std::array<std::uint8_t, 96> object{};
    if (!r.Read(at, object.data(), object.size()))
      return 0;
    const std::uint64_t size = Le64(object, 16);
    if (size < kAsfObjectHeader || size > headerSize - at)
      break;
    if (SameGuid(object.data(), kAsfStreamProperties) && size >= 40) {
      video |= SameGuid(object.data() + 24, kAsfVideo);
      audio |= SameGuid(object.data() + 24, kAsfAudio);
    } else if (SameGuid(object.data(), kAsfFileProperties) && size >= 96) {
      const bool broadcast = (Le32(object, 88) & 1) != 0;  // the size fields are not valid then
      if (!broadcast)
        fileSize = Le64(object, 40);
    }
    at += size;
  }
  // The top level: the header, the data object, then the index objects.
  at = headerSize;
  std::array<std::uint8_t, kAsfObjectHeader> object;
  if (!r.Read(at, object.data(), object.size()) || !SameGuid(object.data(), kAsfData))
    return 0;
  const std::uint64_t dataSize = Le64(object, 16);
  if (dataSize < 50 || dataSize > deviceBytes - at)
    return 0;
  at += dataSize;
  const std::uint64_t dataEnd = at;
  for (int i = 0; i < 1000; ++i) {
    if (!r.Read(at, object.data(), object.size()))
      break;
    const bool index = std::any_of(kAsfIndexes.begin(), kAsfIndexes.end(),
                                   [&](const Guid& g) { return SameGuid(object.data(), g); });
    const std::uint64_t size = Le64(object, 16);
    if (!index || size < kAsfObjectHeader || size > deviceBytes - at)
      break;
    at += size;
  }
  // The file properties' size counts objects this walk does not know; trust it when it is coherent.
  if (fileSize >= dataEnd && fileSize <= deviceBytes)
    at = fileSize;
  info.type = video ? media_type::kWmv : audio ? media_type::kWma : media_type::kAsf;
  info.size = at;
  return 1;
}

// ---- Matroska / WebM -------------------------------------------------------------------------------

namespace {

constexpr std::uint32_t kEbmlId = 0x1A45DFA3, kSegmentId = 0x18538067, kClusterId = 0x1F43B675;
constexpr std::uint64_t kUnknownSize = ~std::uint64_t{0};

// An EBML element header: its ID (with its length marker, as written), the data size (kUnknownSize
// when all value bits are ones) and the header's length.
struct Element {
  std::uint32_t id = 0;
  std::uint64_t size = 0;
  std::uint64_t headerBytes = 0;
};

// Reads a variable-length integer: 1..`maxBytes` bytes, the length told by the first byte's first set
// bit. `raw` keeps the marker bit (IDs); otherwise it is masked off, and all-ones gives kUnknownSize.
bool ReadVint(WindowReader& r, std::uint64_t at, int maxBytes, bool raw, std::uint64_t& value, int& length) {
  std::array<std::uint8_t, 8> b;
  if (!r.Read(at, b.data(), 1) || b[0] == 0)
    return false;
  length = 1 + __builtin_clz(std::uint32_t{b[0]}) - 24;
  if (length > maxBytes ||
      (length > 1 && !r.Read(at + 1, b.data() + 1, static_cast<std::size_t>(length - 1))))
    return false;
  const std::uint64_t marker = std::uint64_t{1} << (7 * length);
  value = raw ? b[0] : b[0] & static_cast<std::uint8_t>(0xFF >> length);
  for (int i = 1; i < length; ++i)
    value = value << 8 | b[static_cast<std::size_t>(i)];
  if (!raw && value == marker - 1)
    value = kUnknownSize;
  return true;
}

bool ReadElement(WindowReader& r, std::uint64_t at, Element& e) {
  std::uint64_t id = 0, size = 0;
  int idBytes = 0, sizeBytes = 0;
  if (!ReadVint(r, at, 4, true, id, idBytes) ||
      !ReadVint(r, at + static_cast<std::uint64_t>(idBytes), 8, false, size, sizeBytes))
    return false;
  e.id = static_cast<std::uint32_t>(id);
  e.size = size;
  e.headerBytes = static_cast<std::uint64_t>(idBytes + sizeBytes);
  return true;
}

// The elements that stand directly in a segment, and those in a cluster.
bool SegmentChild(std::uint32_t id) {
  switch (id) {
    case 0x114D9B74:  // SeekHead
    case 0x1549A966:  // Info
    case 0x1654AE6B:  // Tracks
    case kClusterId:
    case 0x1C53BB6B:  // Cues
    case 0x1043A770:  // Chapters
    case 0x1254C367:  // Tags
    case 0x1941A469:  // Attachments
    case 0xEC:        // Void
    case 0xBF:        // CRC-32
      return true;
    default:
      return false;
  }
}
bool ClusterChild(std::uint32_t id) {
  switch (id) {
    case 0xE7:    // Timestamp
    case 0xA3:    // SimpleBlock
    case 0xA0:    // BlockGroup
    case 0xA7:    // Position
    case 0xAB:    // PrevSize
    case 0x5854:  // SilentTracks
    case 0xEC:
    case 0xBF:
      return true;
    default:
      return false;
  }
}

}  // namespace

int FileWMVAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  if (Be32(ByteSpan(sector, 512), 0) != kEbmlId)
    return 0;
  info.type = media_type::kMkv;
  return 1;
}

int FileWMVAnalyser::DetermineSize(CRawFileInfo& info, IDevice& device) {
  const std::uint64_t deviceBytes = BytesToDeviceEnd(device, info.startSector);
  WindowReader r(device, info.startSector);
  Element header;
  if (!ReadElement(r, 0, header) || header.id != kEbmlId || header.size == kUnknownSize || header.size > 1024)
    return 0;
  // The header must name its document type.
  bool docType = false;
  const std::uint64_t headerEnd = header.headerBytes + header.size;
  for (std::uint64_t at = header.headerBytes; at < headerEnd && !docType;) {
    Element e;
    if (!ReadElement(r, at, e) || e.size == kUnknownSize || e.size > headerEnd - at - e.headerBytes)
      return 0;
    if (e.id == 0x4282) {
      std::array<std::uint8_t, 32> text{};
      if (e.size == 0 || e.size > text.size() || !r.Read(at + e.headerBytes, text.data(), e.size))
        return 0;
      docType = std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(e.size),
                            [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; });
    }
    at += e.headerBytes + e.size;
  }
  Element segment;
  if (!docType || !ReadElement(r, headerEnd, segment) || segment.id != kSegmentId)
    return 0;
  const std::uint64_t data = headerEnd + segment.headerBytes;
  if (segment.size != kUnknownSize) {
    if (segment.size > deviceBytes || data > deviceBytes - segment.size)
      return 0;
    info.size = data + segment.size;
    return 1;
  }
  // A segment of unknown size (written to a pipe or by a live recorder): its top-level elements and
  // the children of clusters of unknown size lead to its end.
  std::uint64_t at = data, end = data;
  bool inCluster = false;
  for (std::uint32_t step = 0; step < kMaxSteps; ++step) {
    Element e;
    if (!ReadElement(r, at, e))
      break;
    const bool top = SegmentChild(e.id);
    if (!top && !(inCluster && ClusterChild(e.id)))
      break;
    if (e.size == kUnknownSize) {
      if (e.id != kClusterId)
        break;
      inCluster = true;
      at += e.headerBytes;
      end = at;
      continue;
    }
    if (top)
      inCluster = false;
    if (e.size > deviceBytes || at + e.headerBytes > deviceBytes - e.size)
      break;
    at += e.headerBytes + e.size;
    end = at;
  }
  info.size = end;
  return 1;
}

// ---- MP3 -------------------------------------------------------------------------------------------

namespace {

constexpr std::uint16_t kBitRates[5][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // MPEG-1 layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // MPEG-1 layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // MPEG-1 layer III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // MPEG-2/2.5 layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},          // MPEG-2/2.5 layers II, III
};
constexpr std::uint32_t kSampleRates[3][3] = {
    {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

bool FrameSync(const std::uint8_t* b) {
  return b[0] == 0xFF && (b[1] & 0xE0) == 0xE0;
}

// The length of the frame whose header is `b`, or 0 for a reserved version, layer, bit rate or sample
// rate, or a free-format frame.
std::uint32_t FrameLength(const std::uint8_t* b) {
  const int version = (b[1] >> 3) & 3;  // 0: MPEG-2.5, 1: reserved, 2: MPEG-2, 3: MPEG-1
  const int layer = (b[1] >> 1) & 3;    // 1: III, 2: II, 3: I, 0: reserved
  const int rateIndex = b[2] >> 4, srIndex = (b[2] >> 2) & 3, padding = (b[2] >> 1) & 1;
  if (version == 1 || layer == 0 || rateIndex == 0 || rateIndex == 15 || srIndex == 3)
    return 0;
  const bool mpeg1 = version == 3;
  const int table = mpeg1 ? 3 - layer : (layer == 3 ? 3 : 4);
  const std::uint32_t bitRate = kBitRates[table][rateIndex];
  const std::uint32_t sampleRate = kSampleRates[mpeg1 ? 0 : version == 2 ? 1 : 2][srIndex];
  if (layer == 3)
    return (12'000 * bitRate / sampleRate + static_cast<std::uint32_t>(padding)) * 4;
  const std::uint32_t factor = layer == 1 && !mpeg1 ? 72'000 : 144'000;
  return factor * bitRate / sampleRate + static_cast<std::uint32_t>(padding);
}

}  // namespace

int FileMP3Analyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  const ByteSpan bytes(sector, 512);
  if (Be32(bytes, 0) >> 8 != 0x494433)  // "ID3"
    return 0;
  if (bytes[3] < 2 || bytes[3] > 4 || bytes[4] == 0xFF)
    return 0;
  if ((bytes[6] | bytes[7] | bytes[8] | bytes[9]) & 0x80)
    return 0;
  info.type = media_type::kMp3;
  return 1;
}

int FileMP3Analyser::DetermineSize(CRawFileInfo& info, IDevice& device) {
  const std::uint64_t deviceBytes = BytesToDeviceEnd(device, info.startSector);
  WindowReader r(device, info.startSector);
  std::array<std::uint8_t, 10> tag;
  if (!r.Read(0, tag.data(), tag.size()) || tag[3] < 2 || tag[3] > 4)
    return 0;
  std::uint64_t c = 10;
  for (int i = 6; i < 10; ++i) {
    if (tag[static_cast<std::size_t>(i)] & 0x80)
      return 0;
    c += std::uint64_t{tag[static_cast<std::size_t>(i)]} << (7 * (9 - i));
  }
  if (tag[3] == 4 && (tag[5] & 0x10))
    c += 10;  // the footer
  // Zero padding after the tag.
  std::array<std::uint8_t, 512> pad;
  if (!r.Read(c, pad.data(), pad.size()))
    return 0;
  c += static_cast<std::uint64_t>(
      std::find_if(pad.begin(), pad.end(), [](std::uint8_t b) { return b != 0; }) - pad.begin());
  // Frames: every one of the stream's version, layer and sample rate; one stray byte between two
  // frames is tolerated. A read that fails (the device's end) ends the walk with the frames read.
  std::uint32_t frames = 0;
  std::array<std::uint8_t, 4> h;
  std::uint8_t stream1 = 0, stream2 = 0;
  bool sync = r.Read(c, h.data(), h.size()) && FrameSync(h.data());
  if (sync) {
    stream1 = h[1] & 0xFE;
    stream2 = h[2] & 0x0C;
  }
  auto sameStream = [&](const std::uint8_t* b) {
    return FrameSync(b) && (b[1] & 0xFE) == stream1 && (b[2] & 0x0C) == stream2;
  };
  while (sync && frames < kMaxSteps) {
    const std::uint32_t length = FrameLength(h.data());
    if (length == 0 || c + length > deviceBytes)
      break;  // a reserved field, or a frame cut by the device's end
    ++frames;
    const std::uint64_t f = c + length;
    c = f;
    if (r.Read(f, h.data(), h.size()) && sameStream(h.data()))
      continue;
    if (r.Read(f + 1, h.data(), h.size()) && sameStream(h.data())) {
      c = f + 1;
      continue;
    }
    sync = false;
  }
  if (frames == 0) {
    info.size = 0;
    return 1;
  }
  // An ID3v1 tag of 128 bytes right after the last frame, or after one or two stray bytes.
  for (std::uint64_t k = 0; k < 3; ++k) {
    if (r.Matches(c + k, "TAG")) {
      c += k + 128;
      break;
    }
  }
  info.size = c;
  return 1;
}

// ---- Ogg -------------------------------------------------------------------------------------------

int FileOGGAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  const ByteSpan bytes(sector, 512);
  // The first page of a stream: version 0, the beginning-of-stream flag and sequence number 0.
  if (Be32(bytes, 0) != 0x4F676753 || bytes[4] != 0 || (bytes[5] & 0x02) == 0 || Le32(bytes, 18) != 0)
    return 0;
  info.type = media_type::kOgg;
  return 1;
}

int FileOGGAnalyser::DetermineSize(CRawFileInfo& info, IDevice& device) {
  const std::uint64_t deviceBytes = BytesToDeviceEnd(device, info.startSector);
  WindowReader r(device, info.startSector);
  // The logical streams begun on a beginning-of-stream page, and whether each has ended.
  constexpr std::size_t kMaxStreams = 64;
  std::array<std::uint32_t, kMaxStreams> serials{};
  std::array<bool, kMaxStreams> ended{};
  std::size_t streams = 0, open = 0;
  std::uint64_t at = 0;
  for (std::uint32_t step = 0; step < kMaxSteps; ++step) {
    std::array<std::uint8_t, 27 + 255> page;
    if (!r.Read(at, page.data(), 27) || Be32(page, 0) != 0x4F676753 || page[4] != 0)
      break;
    const bool bos = (page[5] & 0x02) != 0, eos = (page[5] & 0x04) != 0;
    const std::uint32_t serial = Le32(page, 14);
    if (streams && open == 0) {
      // Every stream has ended. A new stream right after, not at a sector's start, chains on in the
      // same file; one at a sector's start is a file of its own.
      if (!bos || at % 512 == 0)
        break;
      streams = 0;  // the next link of the chain may use the serial numbers again
    }
    const std::size_t segments = page[26];
    if (!r.Read(at + 27, page.data() + 27, segments))
      break;
    std::uint64_t body = 0;
    for (std::size_t i = 0; i < segments; ++i)
      body += page[27 + i];
    const std::uint64_t next = at + 27 + segments + body;
    if (next > deviceBytes)
      break;
    std::size_t s =
        std::find(serials.begin(), serials.begin() + static_cast<std::ptrdiff_t>(streams), serial) -
        serials.begin();
    if (bos) {
      if (s < streams || streams == kMaxStreams)
        break;
      serials[streams] = serial;
      ended[streams] = false;
      s = streams++;
      ++open;
    } else if (s == streams || ended[s]) {
      break;  // a page of a stream this file did not begin
    }
    if (eos) {
      ended[s] = true;
      --open;
    }
    at = next;
  }
  info.size = at;
  return 1;
}

// ---- FLV -------------------------------------------------------------------------------------------

int FileFLVAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  const ByteSpan bytes(sector, 512);
  if (Be32(bytes, 0) != 0x464C5601)  // "FLV" 1
    return 0;
  const std::uint32_t headerLength = Be32(bytes, 5);
  if (headerLength < 9 || headerLength > 512)
    return 0;
  info.type = media_type::kFlv;
  return 1;
}

int FileFLVAnalyser::DetermineSize(CRawFileInfo& info, IDevice& device) {
  const std::uint64_t deviceBytes = BytesToDeviceEnd(device, info.startSector);
  WindowReader r(device, info.startSector);
  std::uint32_t headerLength = 0;
  if (!r.U32(5, true, headerLength) || headerLength < 9 || headerLength > 512)
    return 0;
  // `at` is a previous-tag-size field; a tag follows it. A tag counts when its type is audio, video or
  // script data and the field after it gives its length back.
  std::uint64_t at = headerLength;
  for (std::uint32_t step = 0; step < kMaxSteps; ++step) {
    std::array<std::uint8_t, 11> tag;
    if (!r.Read(at + 4, tag.data(), tag.size()))
      break;
    const std::uint8_t type = tag[0] & 0x1F;
    if ((tag[0] & 0xC0) != 0 || (type != 8 && type != 9 && type != 18))
      break;
    const std::uint32_t dataSize = std::uint32_t{tag[1]} << 16 | std::uint32_t{tag[2]} << 8 | tag[3];
    const std::uint64_t next = at + 4 + 11 + dataSize;
    std::uint32_t previous = 0;
    if (next + 4 > deviceBytes || !r.U32(next, true, previous) || previous != 11 + dataSize)
      break;
    at = next;
  }
  info.size = at + 4;
  return 1;
}

// ---- MIDI ------------------------------------------------------------------------------------------

int FileMIDAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  const ByteSpan bytes(sector, 512);
  if (Be32(bytes, 0) != 0x4D546864 || Be32(bytes, 4) != 6 || Be16(bytes, 8) > 2 || Be16(bytes, 10) == 0)
    return 0;
  info.type = media_type::kMid;
  return 1;
}

int FileMIDAnalyser::DetermineSize(CRawFileInfo& info, IDevice& device) {
  const std::uint64_t deviceBytes = BytesToDeviceEnd(device, info.startSector);
  WindowReader r(device, info.startSector);
  std::uint16_t tracks = 0;
  if (!r.U16(10, true, tracks))
    return 0;
  std::uint64_t at = 14;
  std::uint32_t seen = 0;
  while (seen < tracks) {
    std::array<std::uint8_t, 8> chunk;
    if (!r.Read(at, chunk.data(), chunk.size()) || Be32(chunk, 0) != 0x4D54726B)  // "MTrk"
      break;
    const std::uint64_t next = at + 8 + Be32(chunk, 4);
    if (next > deviceBytes)
      break;
    at = next;
    ++seen;
  }
  info.size = seen ? at : 0;
  return 1;
}

// ---- SWF -------------------------------------------------------------------------------------------

int FileSWFAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  const ByteSpan bytes(sector, 512);
  const std::uint32_t head = Be32(bytes, 0) >> 8;
  const std::uint8_t version = bytes[3];
  const bool plain = head == 0x465753 && version >= 3 && version <= 20;                           // "FWS"
  const bool zlib = head == 0x435753 && version >= 6 && version <= 20 && (bytes[8] & 0x0F) == 8;  // "CWS"
  if ((!plain && !zlib) || Be32(bytes, 4) <= 8)
    return 0;
  const std::uint32_t length = Le32(bytes, 4);
  if (length <= 8)
    return 0;
  info.type = media_type::kSwf;
  info.size = length;
  return 1;
}

}  // namespace korvex
