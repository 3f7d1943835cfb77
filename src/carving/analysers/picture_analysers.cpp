// The picture analysers other than JPEG and the TIFF family: Canon CRW, PNG, GIF, BMP, PSD, PSP,
// icons and cursors, EMF. Checks read only the 512 bytes they are given; size steps read through a
// WindowReader and bound every walk.
#include "carving/analysers/picture_analysers.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "carving/analysers/window_reader.h"
#include "common/database.h"
#include "scan/scan_options.h"
#include "storage/device.h"

namespace korvex {

namespace {

constexpr std::uint64_t kMaxPngOffset = 20'971'520;
constexpr std::uint64_t kMaxCrwScan = 20'971'520;
constexpr std::uint64_t kGifImageSearch = 512;

bool Equals(const std::uint8_t* bytes, std::string_view text) {
  return std::memcmp(bytes, text.data(), text.size()) == 0;
}

}  // namespace

// ---- CRW -------------------------------------------------------------------------------------------

namespace {
constexpr std::string_view kCrwHead("II\x1A\0\0\0HEAPCCDR\x02\0", 16);
// The Canon description record: its texts and where they lie from its start.
constexpr std::string_view kCrwDescription = "High definition CCD image";
constexpr std::string_view kCrwType = "CRW:High definition CCD image";
constexpr std::string_view kCrwMake = "Canon";
constexpr std::string_view kCrwModel = "Canon PowerShot";
constexpr std::size_t kCrwRecordBytes = 144;

bool IsCrwRecord(const std::uint8_t* p) {
  return Equals(p, kCrwDescription) && Equals(p + 32, kCrwType) && Equals(p + 122, kCrwMake) &&
         Equals(p + 128, kCrwModel);
}
}  // namespace

int FileCRWAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  if (Be32(ByteSpan(sector, 512), 0) != 0x49491A00 ||
      std::memcmp(sector, kCrwHead.data(), kCrwHead.size()) != 0)
    return 0;
  info.type = picture_type::kCrw;
  return 1;
}

int FileCRWAnalyser::DetermineSize(CRawFileInfo& info, IDevice& device) {
  const std::uint32_t sectorSize = CDataBase::Instance().bytesPerSector;
  const std::uint64_t sectors = device.GetSectorCount();
  if (info.startSector >= sectors)
    return 0;
  const std::uint64_t deviceBytes = (sectors - info.startSector) * sectorSize;
  WindowReader r(device, info.startSector);
  // The record is looked for at every offset: candidates are the 'H' bytes of each window, and a
  // record that runs past its window is copied out whole.
  std::uint64_t offset = 16;
  while (offset <= kMaxCrwScan) {
    std::uint64_t available = 0;
    const std::uint8_t* bytes = r.Span(offset, available);
    if (!bytes)
      return 0;
    const std::uint64_t n = std::min(available, kMaxCrwScan - offset + 1);
    std::uint64_t resume = offset + n;
    for (std::uint64_t i = 0; i < n; ++i) {
      const void* hit = std::memchr(bytes + i, 'H', static_cast<std::size_t>(n - i));
      if (!hit)
        break;
      i = static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - bytes);
      const std::uint64_t p = offset + i;
      if (p + kCrwRecordBytes > deviceBytes)
        return 0;  // the record would run past the device's end
      bool match;
      if (i + kCrwRecordBytes <= available) {
        match = IsCrwRecord(bytes + i);
      } else {
        std::array<std::uint8_t, kCrwRecordBytes> record;
        if (!r.Read(p, record.data(), record.size()))
          return 0;
        match = IsCrwRecord(record.data());
        resume = p + 1;  // the window has moved on: look again from the next offset
        if (!match)
          break;
      }
      if (match) {
        info.size = std::min((p + 511) / 512 * 512, deviceBytes);
        return 1;
      }
    }
    offset = resume;
  }
  info.size = kMaxCrwScan;
  return 1;
}

// ---- PNG -------------------------------------------------------------------------------------------

int FilePNGAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  const ByteSpan bytes(sector, 512);
  if (Be32(bytes, 0) != 0x89504E47 || Be32(bytes, 4) != 0x0D0A1A0A)
    return 0;
  info.type = picture_type::kPng;
  return 1;
}

int FilePNGAnalyser::DetermineSize(CRawFileInfo& info, IDevice& device) {
  WindowReader r(device, info.startSector);
  std::array<std::uint8_t, 24> head;
  if (!r.Read(0, head.data(), head.size()))
    return 0;
  if (Be32(head, 12) != 0x49484452)  // "IHDR"
    return 0;
  const std::uint32_t width = Be32(head, 16), height = Be32(head, 20);
  if (width == 0 || height == 0 || width >= 0x80000000u || height >= 0x80000000u)
    return 0;
  std::uint64_t e = 20 + std::uint64_t{Be32(head, 8)};
  bool image = false;
  // Every chunk moves at least 12 bytes on and none may start past kMaxPngOffset.
  for (;;) {
    if (e > kMaxPngOffset)
      return 0;
    std::array<std::uint8_t, 8> chunk;
    if (!r.Read(e, chunk.data(), chunk.size()))
      return 0;
    const std::uint32_t length = Be32(chunk, 0);
    if (length > kMaxPngOffset) {
      if (!image)
        return 0;
      info.size = e;
      return 1;
    }
    const std::uint32_t type = Be32(chunk, 4);
    if (type == 0x49444154)  // "IDAT"
      image = true;
    e += std::uint64_t{length} + 12;
    if (type == 0x49454E44) {  // "IEND"
      info.size = e;
      return 1;
    }
  }
}

// ---- GIF -------------------------------------------------------------------------------------------

int FileGIFAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  const ByteSpan bytes(sector, 512);
  if (Be32(bytes, 0) != 0x47494638)  // "GIF8"
    return 0;
  const std::uint16_t version = Be16(bytes, 4);
  if (version != 0x3761 && version != 0x3961)  // "7a", "9a"
    return 0;
  info.type = picture_type::kGif;
  return 1;
}

int FileGIFAnalyser::DetermineSize(CRawFileInfo& info, IDevice& device) {
  // No GIF we size is longer than the farthest end-marker search; the walk gives up there.
  const std::uint64_t limit = ScanOptions::Instance().maxSearchLength;
  WindowReader r(device, info.startSector);
  // Skips the data sub-blocks from `v` to the zero size byte; `v` ends after it.
  auto skipSubBlocks = [&](std::uint64_t& v) {
    for (;;) {
      std::uint8_t size = 0;
      if (v > limit || !r.Byte(v, size))
        return false;
      ++v;
      if (size == 0)
        return true;
      v += size;
    }
  };
  auto colourTable = [](std::uint8_t flags) -> std::uint64_t {
    return flags & 0x80 ? 3u << ((flags & 7) + 1) : 0;
  };
  std::uint8_t flags = 0;
  if (!r.Byte(10, flags))
    return 0;
  std::uint64_t v = 13 + colourTable(flags);
  std::uint8_t block = 0;
  if (!r.Byte(v, block))
    return 0;
  for (;;) {
    if (block != 0x2C && block != 0x21) {
      info.size = v + 1;  // the trailer, or whatever ends the block list
      return 1;
    }
    if (block == 0x21) {
      while (block == 0x21) {
        v += 2;
        if (!skipSubBlocks(v) || !r.Byte(v, block))
          return 0;
      }
      // A trailer straight after an extension closes the file (an XMP or comment block is often the
      // last block).
      if (block == 0x3B) {
        info.size = v + 1;
        return 1;
      }
      // Otherwise the next image descriptor is looked for nearby.
      bool found = false;
      for (std::uint64_t k = 0; k <= kGifImageSearch && !found; ++k) {
        std::uint8_t b = 0;
        if (!r.Byte(v + k, b))
          return 0;
        if (b == 0x2C) {
          v += k;
          found = true;
        }
      }
      if (!found)
        return 0;
    }
    // Image descriptor at v.
    std::array<std::uint8_t, 10> descriptor;
    if (!r.Read(v, descriptor.data(), descriptor.size()))
      return 0;
    v += 10 + colourTable(descriptor[9]) + 1;
    if (!skipSubBlocks(v))
      return 0;
    if (!r.Byte(v, block)) {
      info.size = v + 1;
      return 1;
    }
  }
}

// ---- BMP -------------------------------------------------------------------------------------------

int FileBMPAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  const ByteSpan bytes(sector, 512);
  if (Be16(bytes, 0) != 0x424D || Le16(bytes, 6) != 0 || Le16(bytes, 8) != 0)  // "BM"
    return 0;
  switch (Le32(bytes, 14)) {
    case 12:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
      break;
    default:
      return 0;
  }
  info.type = picture_type::kBmp;
  info.size = Le32(bytes, 2);
  return 1;
}

// ---- PSD -------------------------------------------------------------------------------------------

int FilePSDAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  if (Be32(ByteSpan(sector, 512), 0) != 0x38425053)  // "8BPS"
    return 0;
  info.type = picture_type::kPsd;
  return 1;
}

int FilePSDAnalyser::DetermineSize(CRawFileInfo& info, IDevice& device) {
  // Larger documents are saved as PSB (version 2), so a PSD size beyond 4 GiB comes from damaged
  // fields and would only make a recovery read gigabytes of other data.
  constexpr std::uint64_t kMaxPsdSize = 0xFFFFFFFF;
  WindowReader r(device, info.startSector);
  std::array<std::uint8_t, 30> head;
  if (!r.Read(0, head.data(), head.size()))
    return 0;
  if (Be16(head, 4) != 1 || Be16(head, 6) != 0 || Be32(head, 8) != 0)
    return 0;
  const std::uint64_t channels = Be16(head, 12), height = Be32(head, 14), width = Be32(head, 18),
                      depth = Be16(head, 22);
  // Colour-mode data, image resources, layer and mask information: each a BE length and its bytes.
  std::uint64_t at = 26;
  for (int section = 0; section < 3; ++section) {
    std::uint32_t length = 0;
    if (!r.U32(at, true, length))
      return 0;
    at += 4 + std::uint64_t{length};
  }
  std::uint16_t compression = 0;
  if (!r.U16(at, true, compression))
    return 0;
  at += 2;
  if (compression == 0) {
    std::uint64_t bits = depth;
    if (__builtin_mul_overflow(bits, channels, &bits) || __builtin_mul_overflow(bits, width, &bits) ||
        __builtin_mul_overflow(bits, height, &bits) || bits / 8 > kMaxPsdSize)
      return 0;
    info.size = at + bits / 8;
    return 1;
  }
  if (compression != 1)
    return 0;
  // RLE: one BE 16-bit byte count per row of every channel, then the rows.
  const std::uint64_t limit = ScanOptions::Instance().maxSearchLength;
  const std::uint64_t rows = channels * height;
  const std::uint64_t tableEnd = at + 2 * rows;
  std::uint64_t sum = 0;
  std::uint64_t pos = at;
  while (pos < tableEnd && pos <= limit) {
    std::uint64_t available = 0;
    const std::uint8_t* bytes = r.Span(pos, available);
    if (!bytes)
      return 0;
    if (available < 2) {  // a count split between two windows
      std::uint16_t count = 0;
      if (!r.U16(pos, true, count))
        return 0;
      sum += count;
      pos += 2;
      continue;
    }
    const std::uint64_t n = std::min({available / 2, (tableEnd - pos) / 2, (limit - pos) / 2 + 1});
    const ByteSpan span(bytes, static_cast<std::size_t>(2 * n));
    for (std::uint64_t i = 0; i < n; ++i)
      sum += Be16(span, 2 * i);
    pos += 2 * n;
  }
  if (tableEnd + sum > kMaxPsdSize)
    return 0;
  info.size = tableEnd + sum;
  return 1;
}

// ---- PSP -------------------------------------------------------------------------------------------

namespace {
constexpr std::string_view kPspHead("Paint Shop Pro Image File\x0A\x1A\0", 28);
constexpr std::uint32_t kPspBlock = 0x7E424B00;  // "~BK" 0
}  // namespace

int FilePSPAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  if (Be32(ByteSpan(sector, 512), 0) != 0x5061696E ||
      std::memcmp(sector, kPspHead.data(), kPspHead.size()) != 0)
    return 0;
  info.type = picture_type::kPsp;
  return 1;
}

int FilePSPAnalyser::DetermineSize(CRawFileInfo& info, IDevice& device) {
  const std::uint64_t limit = ScanOptions::Instance().maxSearchLength;
  WindowReader r(device, info.startSector);
  std::uint64_t c = 36;
  std::uint32_t word = 0;
  if (!r.U32(c, true, word) || word != kPspBlock)
    return 0;
  // Each block: the marker, a 16-bit id, a 32-bit length and its data; every step moves 10 bytes on.
  while (word == kPspBlock) {
    std::uint32_t length = 0;
    if (!r.U32(c + 6, false, length))
      return 0;
    c += std::uint64_t{length} + 10;
    if (c > limit)
      break;
    if (!r.U32(c, true, word))
      return 0;
  }
  if (c <= 511)
    return 0;
  info.size = c;
  return 1;
}

// ---- ICO / CUR -------------------------------------------------------------------------------------

int FileICOAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  constexpr std::uint32_t kMaxEntryBytes = 10'485'760;
  constexpr std::uint64_t kMaxSize = 1'048'576;
  const ByteSpan bytes(sector, 512);
  const std::uint32_t head = Be32(bytes, 0);
  if (head != 0x00000100 && head != 0x00000200)
    return 0;
  const std::uint16_t count = Le16(bytes, 4);
  if (count < 1 || count > 16)
    return 0;
  const std::uint64_t directoryEnd = 6 + 16 * std::uint64_t{count};
  std::uint64_t size = 6;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint64_t e = 6 + 16 * i;  // at most 262 bytes in: inside the sector
    if (bytes[e + 3] != 0 || Le16(bytes, e + 6) > 256)
      return 0;
    const std::uint32_t dataSize = Le32(bytes, e + 8), dataOffset = Le32(bytes, e + 12);
    if (dataSize > kMaxEntryBytes || dataOffset > kMaxEntryBytes)
      return 0;
    // A width or height byte of 0 means 256 pixels. Such an entry must also point past the directory
    // at data that can hold an image (a PNG signature at least), so that zero-filled bytes after an
    // icon-like header are no icon.
    if ((bytes[e] == 0 || bytes[e + 1] == 0) && (dataSize < 8 || dataOffset < directoryEnd))
      return 0;
    size += std::uint64_t{dataSize} + 16;
  }
  if (size > kMaxSize)
    return 0;
  info.type = head == 0x00000100 ? picture_type::kIco : picture_type::kCur;
  info.size = size;
  return 1;
}

// ---- EMF -------------------------------------------------------------------------------------------

int FileEMFAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  const ByteSpan bytes(sector, 512);
  if (Be32(bytes, 40) != 0x20454D46 || Le16(bytes, 58) != 0)  // " EMF"
    return 0;
  const std::uint32_t size = Le32(bytes, 48);
  if (size == 0)
    return 0;
  info.type = picture_type::kEmf;
  info.size = size;
  return 1;
}

}  // namespace korvex
