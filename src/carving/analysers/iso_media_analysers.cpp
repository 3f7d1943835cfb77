// ISO base media (3GP, MP4, M4A) and QuickTime (MOV): the check reads the first box's type and brand;
// the size steps walk the top-level boxes with the shared box walk.
#include <array>

#include "carving/analysers/container_walks.h"
#include "carving/analysers/media_analysers.h"
#include "carving/analysers/window_reader.h"
#include "common/byte_reader.h"

namespace korvex {

namespace {

// Top-level boxes of ISO base media files, fragmented ones included.
constexpr std::array<std::uint32_t, 32> kIsoBoxes = {
    FourCc("mdat"), FourCc("moov"), FourCc("free"), FourCc("moof"), FourCc("mfra"), FourCc("ftyp"),
    FourCc("mvhd"), FourCc("trak"), FourCc("tkhd"), FourCc("mdia"), FourCc("mdhd"), FourCc("hdlr"),
    FourCc("minf"), FourCc("stbl"), FourCc("stsd"), FourCc("stts"), FourCc("stsc"), FourCc("stsz"),
    FourCc("stz2"), FourCc("stss"), FourCc("stco"), FourCc("co64"), FourCc("sidx"), FourCc("uuid"),
    FourCc("meta"), FourCc("styp"), FourCc("skip"), FourCc("wide"), FourCc("pdin"), FourCc("emsg"),
    FourCc("prft"), FourCc("ssix"),
};

// QuickTime atoms that may stand at the top level.
constexpr std::array<std::uint32_t, 22> kQuickTimeAtoms = {
    FourCc("jp  "), FourCc("PICT"), FourCc("mdia"), FourCc("udta"), FourCc("stsc"), FourCc("cmvd"),
    FourCc("wide"), FourCc("free"), FourCc("jp2h"), FourCc("trak"), FourCc("stbl"), FourCc("dcom"),
    FourCc("skip"), FourCc("ftyp"), FourCc("stss"), FourCc("mdat"), FourCc("pnot"), FourCc("cmov"),
    FourCc("moov"), FourCc("stsz"), FourCc("uuid"), FourCc("meta"),
};

constexpr std::uint64_t kMinIsoSize = 4000;

bool IsFtyp(ByteSpan bytes) {
  const std::uint32_t size = Be32(bytes, 0);
  return Be32(bytes, 4) == FourCc("ftyp") && size >= 16 && size <= 512;
}

bool Is3gpBrand(std::uint32_t brand) {
  const std::uint32_t head = brand & 0xFFFFFF00;
  const char last = static_cast<char>(brand & 0xFF);
  return (head == (FourCc("3gp0") & 0xFFFFFF00) && last >= '4' && last <= '9') || brand == FourCc("3gg6") ||
         (head == (FourCc("3g2a") & 0xFFFFFF00) && last >= 'a' && last <= 'c');
}

bool IsMp4Brand(std::uint32_t brand) {
  const char last = static_cast<char>(brand & 0xFF);
  if ((brand & 0xFFFFFF00) == (FourCc("iso0") & 0xFFFFFF00) && last >= '2' && last <= '9')
    return true;
  switch (brand) {
    case FourCc("isom"):
    case FourCc("mp41"):
    case FourCc("mp42"):
    case FourCc("avc1"):
    case FourCc("M4A "):
    case FourCc("M4V "):
    case FourCc("M4B "):
    case FourCc("f4v "):
    case FourCc("dash"):
    case FourCc("MSNV"):
    case FourCc("XAVC"):
      return true;
    default:
      return false;
  }
}

// The shared size step of 3GP and MP4: the file must hold a movie box, or a fragment's, to play.
int SizeIsoFile(CRawFileInfo& info, IDevice& device) {
  WindowReader r(device, info.startSector);
  const IsoBoxWalk walk = WalkIsoBoxes(r, BytesToDeviceEnd(device, info.startSector), kIsoBoxes);
  if ((!walk.moov && !walk.moof) || walk.end < kMinIsoSize)
    return 0;
  info.size = walk.end;
  return 1;
}

}  // namespace

int File3GPAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  const ByteSpan bytes(sector, 512);
  if (!IsFtyp(bytes) || !Is3gpBrand(Be32(bytes, 8)))
    return 0;
  info.type = media_type::k3gp;
  return 1;
}

int File3GPAnalyser::DetermineSize(CRawFileInfo& info, IDevice& device) {
  return SizeIsoFile(info, device);
}

int FileMP4Analyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  const ByteSpan bytes(sector, 512);
  if (!IsFtyp(bytes))
    return 0;
  const std::uint32_t brand = Be32(bytes, 8);
  if (!IsMp4Brand(brand))
    return 0;
  info.type = brand == FourCc("M4A ") ? media_type::kM4a : media_type::kMp4;
  return 1;
}

int FileMP4Analyser::DetermineSize(CRawFileInfo& info, IDevice& device) {
  return SizeIsoFile(info, device);
}

int FileMOVAnalyser::CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) {
  // Offered every sector: the type at 4 decides first.
  const std::uint32_t type = std::uint32_t{sector[4]} << 24 | std::uint32_t{sector[5]} << 16 |
                             std::uint32_t{sector[6]} << 8 | sector[7];
  if (type != FourCc("ftyp") && type != FourCc("wide") && type != FourCc("mdat") && type != FourCc("moov") &&
      type != FourCc("pnot"))
    return 0;
  const ByteSpan bytes(sector, 512);
  const std::uint32_t size = Be32(bytes, 0);
  bool mov = false;
  if (type == FourCc("ftyp"))
    mov = IsFtyp(bytes) && Be32(bytes, 8) == FourCc("qt  ");
  else if (type == FourCc("wide"))
    mov = size == 8;
  else if (type == FourCc("mdat") || type == FourCc("moov") || type == FourCc("pnot"))
    mov = size == 1 || size >= 16;
  if (!mov)
    return 0;
  info.type = media_type::kMov;
  return 1;
}

int FileMOVAnalyser::DetermineSize(CRawFileInfo& info, IDevice& device) {
  // The size is that of the known atoms; a file whose first atom is unknown gets size 0 and is not
  // shown.
  WindowReader r(device, info.startSector);
  const IsoBoxWalk walk = WalkIsoBoxes(r, BytesToDeviceEnd(device, info.startSector), kQuickTimeAtoms);
  info.size = walk.end;
  return 1;
}

}  // namespace korvex
