// The picture analysers on an in-memory device: real samples made by ImageMagick and exiftool are
// placed at sector offsets between noise and must be found by the RAW search with their exact size
// and type; truncated, corrupted and hand-built files test the walks' limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "carving/analyser_registry.h"
#include "carving/analysers/picture_analysers.h"
#include "carving/raw_search_controller.h"
#include "carving/scan_medium.h"
#include "common/byte_reader.h"
#include "common/database.h"
#include "storage/memory_device.h"
#include "support/fixtures.h"

namespace korvex {
namespace {

namespace pt = picture_type;
using test::Bytes;
using test::Medium;
using test::Noise;

Bytes Sample(const std::string& name) {
  return test::ReadFixture("pictures/" + name);
}

void PutBe16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v >> 8);
  b[at + 1] = static_cast<std::uint8_t>(v);
}
void PutBe32(Bytes& b, std::size_t at, std::uint32_t v) {
  PutBe16(b, at, static_cast<std::uint16_t>(v >> 16));
  PutBe16(b, at + 2, static_cast<std::uint16_t>(v));
}
void PutLe16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void PutLe32(Bytes& b, std::size_t at, std::uint32_t v) {
  PutLe16(b, at, static_cast<std::uint16_t>(v));
  PutLe16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}
void Append(Bytes& b, const std::string& text) {
  b.insert(b.end(), text.begin(), text.end());
}

struct SampleCase {
  const char* name;
  std::uint32_t type;
};

// Every real sample with the type it must be found as.
const SampleCase kSamples[] = {
    {"baseline.jpg", pt::kJpg},
    {"progressive.jpg", pt::kJpg},  // no baseline frame before its scan
    {"grey.jpg", pt::kJpg},         // one component
    {"grey_progressive.jpg", pt::kJpg},
    {"odd_end.jpg", pt::kJpg},         // FF D9 an odd number of bytes after the scan data
    {"exif_make.jpg", pt::kJpgPhoto},  // Exif first, make "Canon"
    {"exif_no_make.jpg", pt::kJpg},    // Exif without a make
    {"exif_thumbnail.jpg", pt::kJpgPhoto},
    {"plain.png", pt::kPng},
    {"still87a.gif", pt::kGif},
    {"still89a.gif", pt::kGif},
    {"animated.gif", pt::kGif},
    {"v3.bmp", pt::kBmp},
    {"v5.bmp", pt::kBmp},
    {"little.tif", pt::kTif},
    {"big.tif", pt::kTif},
    {"tiled.tif", pt::kTif},            // 16 × 16 tiles in a chain of pyramid directories
    {"tiled_rewritten.tif", pt::kTif},  // the same, rewritten with its tiles after the directories
    {"sony.arw", pt::kArw},
    {"canon.cr2", pt::kCr2},
    {"nikon.nef", pt::kNef},
    {"big.tif", pt::kTif},  // after a NIKON file, a big-endian TIFF is TIFF again
    {"pentax.pef", pt::kPef},
    {"big.dng", pt::kDng},
    {"pentax.dng", pt::kDngPentax},
    {"little.dng", pt::kTif},  // the DNG tag counts only in big-endian files
    {"raw.psd", pt::kPsd},
    {"rle.psd", pt::kPsd},
    {"three.ico", pt::kIco},
    {"with_256.ico", pt::kIco},  // width and height bytes 0: 256 pixels
};

TEST(PictureSamples, EachIsFoundAtItsSectorWithItsExactSizeAndType) {
  for (std::uint32_t sectorSize : {512u, 4096u}) {
    SCOPED_TRACE(sectorSize);
    Medium medium(sectorSize);
    std::vector<std::uint64_t> starts;
    for (const SampleCase& c : kSamples)
      starts.push_back(medium.Put(Sample(c.name)));
    medium.Scan();
    for (std::size_t i = 0; i < std::size(kSamples); ++i) {
      SCOPED_TRACE(kSamples[i].name);
      const CRawFileInfo* find = medium.Find(starts[i]);
      ASSERT_NE(find, nullptr);
      EXPECT_EQ(find->type, kSamples[i].type);
      EXPECT_EQ(medium.Recovered(*find), Sample(kSamples[i].name)) << "size " << find->size;
    }
  }
}

TEST(PictureSamples, TheExifThumbnailIsAFindOfItsOwn) {
  const Bytes photo = Sample("exif_thumbnail.jpg");
  const Bytes thumbnail = Sample("exif_thumbnail.thumb.jpg");
  const auto at = std::search(photo.begin() + 2, photo.end(), thumbnail.begin(), thumbnail.end());
  ASSERT_NE(at, photo.end());
  const auto offset = static_cast<std::uint64_t>(at - photo.begin());
  ASSERT_EQ(offset % 512, 0u) << "the fixture lines the thumbnail up with a sector";
  Medium medium(512);
  const std::uint64_t start = medium.Put(photo);
  medium.Scan();
  const CRawFileInfo* outer = medium.Find(start);
  const CRawFileInfo* inner = medium.Find(start + offset / 512);
  ASSERT_NE(outer, nullptr);
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(medium.Recovered(*outer), photo);
  EXPECT_EQ(medium.Recovered(*inner), thumbnail);
  EXPECT_EQ(inner->type, pt::kJpg) << "the thumbnail is JFIF";
}

// How a file cut short on the device's last sector ends up: formats sized from their header keep the
// header's size; formats measured to an end marker or chunk find none and yield nothing.
enum class Cut { kNoFind, kHeaderSize, kAnyBounded };

Cut CutRule(const std::string& name) {
  const std::string ext = name.substr(name.rfind('.') + 1);
  if (ext == "jpg" || ext == "png")
    return Cut::kNoFind;
  if (ext == "bmp" || ext == "ico" || name == "raw.psd")
    return Cut::kHeaderSize;
  return Cut::kAnyBounded;
}

TEST(PictureSamples, FilesCutShortAtTheDevicesEnd) {
  for (const SampleCase& c : kSamples) {
    const Bytes sample = Sample(c.name);
    for (std::size_t eighth = 1; eighth < 8; ++eighth) {
      SCOPED_TRACE(std::string(c.name) + " cut at " + std::to_string(eighth) + "/8");
      Medium medium(512);
      const std::size_t cut = sample.size() * eighth / 8;
      const std::uint64_t start =
          medium.Put(Bytes(sample.begin(), sample.begin() + static_cast<std::ptrdiff_t>(cut)));
      // The device ends on the sector that holds the cut; the rest of that sector reads as zeros.
      medium.Raw().resize((start * 512 + cut + 511) / 512 * 512, 0);
      std::fill(medium.Raw().begin() + static_cast<std::ptrdiff_t>(start * 512 + cut), medium.Raw().end(), 0);
      medium.Scan(0);
      const CRawFileInfo* find = medium.Find(start);
      switch (CutRule(c.name)) {
        case Cut::kNoFind:
          EXPECT_EQ(find, nullptr);
          break;
        case Cut::kHeaderSize:
          ASSERT_NE(find, nullptr);
          EXPECT_EQ(find->size, sample.size());
          break;
        case Cut::kAnyBounded:
          if (find) {
            EXPECT_LE(find->size, 200'000'000u);
          }
          break;
      }
    }
  }
}

// A sample with one field changed, and what the search must then make of it.
enum class Outcome {
  kNoFind,          // no find at the sample's sector
  kSampleLength,    // a find of the changed sample's length
  kEndsBeforeIend,  // a find that ends where the (changed) IEND chunk starts
  kAnyFind,         // a find, of whatever size
};

struct Corruption {
  const char* name;
  const char* sample;
  void (*change)(Bytes&);
  Outcome outcome;
};

std::size_t MarkerOffset(const Bytes& jpeg, std::uint8_t code) {
  std::size_t b = 2;
  while (b + 4 <= jpeg.size() && jpeg[b + 1] != code)
    b += 2 + ((jpeg[b + 2] << 8) | jpeg[b + 3]);
  return b;
}

std::size_t FirstIfd(const Bytes& tiff) {
  return tiff[0] == 'M' ? Be32(tiff, 4) : Le32(tiff, 4);
}

std::size_t PngChunk(const Bytes& png, const char* type) {
  const std::string t(type);
  return static_cast<std::size_t>(std::search(png.begin(), png.end(), t.begin(), t.end()) - png.begin()) - 4;
}

const Corruption kCorruptions[] = {
    {"12-bit JPEG frame", "baseline.jpg", [](Bytes& b) { b[MarkerOffset(b, 0xC0) + 4] = 12; },
     Outcome::kNoFind},
    {"scan of 2 components", "baseline.jpg", [](Bytes& b) { b[MarkerOffset(b, 0xDA) + 4] = 2; },
     Outcome::kNoFind},
    {"scan before any frame", "baseline.jpg", [](Bytes& b) { b[MarkerOffset(b, 0xC0) + 1] = 0xC4; },
     Outcome::kNoFind},
    {"APP0 length 0xFFFF", "baseline.jpg", [](Bytes& b) { PutBe16(b, 4, 0xFFFF); }, Outcome::kNoFind},
    {"JPEG without its end marker", "baseline.jpg", [](Bytes& b) { b[b.size() - 1] = 0; }, Outcome::kNoFind},
    {"first directory of 513 entries", "little.tif", [](Bytes& b) { PutLe16(b, FirstIfd(b), 513); },
     Outcome::kNoFind},
    {"directory offset past the device", "big.tif", [](Bytes& b) { PutBe32(b, 4, 0xFFFFFFF0); },
     Outcome::kNoFind},
    {"next directory is itself", "little.tif",
     [](Bytes& b) {
       const std::size_t ifd = FirstIfd(b);
       PutLe32(b, ifd + 2 + 12 * Le16(b, ifd), static_cast<std::uint32_t>(ifd));
     },
     Outcome::kSampleLength},
    {"strip larger than 200 MB", "little.tif",
     [](Bytes& b) {
       const std::size_t ifd = FirstIfd(b);
       for (std::size_t e = ifd + 2; e < ifd + 2 + 12u * Le16(b, ifd); e += 12) {
         if (Le16(b, e) == 273 && Le16(b, e + 2) == 4)  // 32-bit strip offsets: move the last one far
           PutLe32(b, Le32(b, e + 8) + 4 * (Le32(b, e + 4) - 1), 0xF0000000);
       }
     },
     Outcome::kNoFind},
    {"PNG width 0", "plain.png", [](Bytes& b) { PutBe32(b, 16, 0); }, Outcome::kNoFind},
    {"PNG without IEND", "plain.png", [](Bytes& b) { b[PngChunk(b, "IEND") + 4] = 'X'; }, Outcome::kNoFind},
    {"PNG chunk after IDAT longer than 20 MB", "plain.png",
     [](Bytes& b) { PutBe32(b, PngChunk(b, "IEND"), 0x7FFFFFFF); }, Outcome::kEndsBeforeIend},
    {"PSD version 2", "raw.psd", [](Bytes& b) { PutBe16(b, 4, 2); }, Outcome::kNoFind},
    {"PSD raw image of 2^32 × 2^32 pixels", "raw.psd",
     [](Bytes& b) {
       PutBe32(b, 14, 0xFFFFFFFF);
       PutBe32(b, 18, 0xFFFFFFFF);
     },
     Outcome::kNoFind},
    {"256-pixel icon entry with no data", "with_256.ico", [](Bytes& b) { PutLe32(b, 6 + 8, 0); },
     Outcome::kNoFind},
    {"256-pixel icon entry inside the directory", "with_256.ico", [](Bytes& b) { PutLe32(b, 6 + 12, 6); },
     Outcome::kNoFind},
    {"icon of 17 entries", "three.ico", [](Bytes& b) { PutLe16(b, 4, 17); }, Outcome::kNoFind},
    {"BMP header of 41 bytes", "v3.bmp", [](Bytes& b) { PutLe32(b, 14, 41); }, Outcome::kNoFind},
    {"GIF colour table flag on every byte", "still89a.gif", [](Bytes& b) { b[10] = 0xFF; },
     Outcome::kAnyFind},
};

TEST(PictureSamples, CorruptedFieldsGiveTheWalksResult) {
  for (const Corruption& c : kCorruptions) {
    SCOPED_TRACE(c.name);
    Bytes file = Sample(c.sample);
    c.change(file);
    Medium medium(512);
    const std::uint64_t start = medium.Put(file);
    // Zeros after the file, so that an end search cannot succeed on noise.
    medium.Raw().resize(medium.Raw().size() + 64 * 512, 0);
    std::fill(medium.Raw().begin() + static_cast<std::ptrdiff_t>(start * 512 + file.size()),
              medium.Raw().end(), 0);
    medium.Scan(0);
    const CRawFileInfo* find = medium.Find(start);
    if (c.outcome == Outcome::kNoFind) {
      EXPECT_EQ(find, nullptr);
      continue;
    }
    ASSERT_NE(find, nullptr);
    if (c.outcome == Outcome::kSampleLength) {
      EXPECT_EQ(find->size, file.size());
    } else if (c.outcome == Outcome::kEndsBeforeIend) {
      EXPECT_EQ(find->size, PngChunk(file, "IEND"));
    }
  }
}

TEST(PictureSamples, GifEndingInAnExtensionEndsAtItsTrailer) {
  // No tool wrote this one: a comment extension is put before the trailer of a real GIF, following
  // the GIF89a block layout (21 FE, sub-blocks, 00).
  Bytes gif = Sample("still89a.gif");
  ASSERT_EQ(gif.back(), 0x3B);
  const Bytes comment = {0x21, 0xFE, 5, 'h', 'e', 'l', 'l', 'o', 0};
  gif.insert(gif.end() - 1, comment.begin(), comment.end());
  Medium medium(512);
  const std::uint64_t start = medium.Put(gif);
  medium.Scan();
  const CRawFileInfo* find = medium.Find(start);
  ASSERT_NE(find, nullptr);
  EXPECT_EQ(medium.Recovered(*find), gif);
}

TEST(PictureSamples, TheTiffStateOfOneFileDoesNotLeakIntoTheNext) {
  // One analyser sizes a NEF, then a plain big-endian TIFF and a DNG, then the TIFF again.
  Medium medium(512);
  const std::uint64_t nef = medium.Put(Sample("nikon.nef"));
  const std::uint64_t dng = medium.Put(Sample("big.dng"));
  const std::uint64_t tif = medium.Put(Sample("big.tif"));
  medium.Scan();
  ASSERT_NE(medium.Find(nef), nullptr);
  ASSERT_NE(medium.Find(dng), nullptr);
  ASSERT_NE(medium.Find(tif), nullptr);
  EXPECT_EQ(medium.Find(nef)->type, pt::kNef);
  EXPECT_EQ(medium.Find(dng)->type, pt::kDng);
  EXPECT_EQ(medium.Find(tif)->type, pt::kTif);
}

// ---- formats no tool here writes, built from their published layouts ---------------------------

// Canon CRW: the 26-byte heap header, then the heap; the camera's description record lies inside it.
Bytes MakeCrw(std::size_t recordAt, std::size_t length) {
  Bytes b = Noise(length, 77);
  const std::string head("II\x1A\0\0\0HEAPCCDR\x02\0\x01\0", 18);
  std::copy(head.begin(), head.end(), b.begin());
  auto put = [&](std::size_t at, const std::string& text) {
    std::copy(text.begin(), text.end(), b.begin() + at);
  };
  std::fill(b.begin() + recordAt, b.begin() + recordAt + 144, 0);
  put(recordAt, "High definition CCD image");
  put(recordAt + 32, "CRW:High definition CCD image");
  put(recordAt + 122, "Canon");
  put(recordAt + 128, "Canon PowerShot G2");
  return b;
}

TEST(BuiltPictures, CrwEndsOnTheSectorOfItsDescriptionRecord) {
  // The record at 4000 bytes: the file is measured to the next multiple of 512. One record crosses a
  // window boundary of the read window (524,288 bytes).
  for (std::size_t recordAt : {std::size_t{4000}, std::size_t{524'288 - 60}}) {
    SCOPED_TRACE(recordAt);
    Medium medium(512);
    const std::uint64_t start = medium.Put(MakeCrw(recordAt, recordAt + 2000));
    medium.Scan();
    const CRawFileInfo* find = medium.Find(start);
    ASSERT_NE(find, nullptr);
    EXPECT_EQ(find->type, pt::kCrw);
    EXPECT_EQ(find->size, (recordAt + 511) / 512 * 512);
  }
}

// Fuji RAF: a 100-byte header ("FUJIFILMCCD-RAW ", version, camera, the JPEG and CFA offsets at 84..)
// and at the CFA offset a big-endian directory whose tags 0xF007 and 0xF008 locate the raw strip.
Bytes MakeRaf() {
  constexpr std::uint32_t kCfa = 2048;
  constexpr std::uint32_t kStrip = 512, kStripBytes = 9000;
  Bytes b = Noise(kCfa + kStrip + kStripBytes, 78);
  const std::string head = "FUJIFILMCCD-RAW 0201FF129502FinePix S5Pro";
  std::copy(head.begin(), head.end(), b.begin());
  PutBe32(b, 84, 160);   // JPEG offset
  PutBe32(b, 88, 1000);  // JPEG length
  PutBe32(b, 92, 1200);  // CFA header offset
  PutBe32(b, 96, 100);
  PutBe32(b, 100, kCfa);  // CFA offset
  PutBe32(b, 104, kStrip + kStripBytes);
  PutBe32(b, kCfa, 0x4D4D002A);
  PutBe32(b, kCfa + 4, 8);  // directory, counted from the CFA section
  const std::size_t dir = kCfa + 8;
  PutBe16(b, dir, 3);
  const std::uint16_t tags[3] = {0xF001, 0xF007, 0xF008};
  const std::uint32_t values[3] = {1024, kStrip, kStripBytes};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::size_t e = dir + 2 + 12 * i;
    PutBe16(b, e, tags[i]);
    PutBe16(b, e + 2, 4);
    PutBe32(b, e + 4, 1);
    PutBe32(b, e + 8, values[i]);
  }
  PutBe32(b, dir + 2 + 36, 0);
  return b;
}

TEST(BuiltPictures, RafIsMeasuredToTheEndOfItsRawStrip) {
  const Bytes raf = MakeRaf();
  Medium medium(512);
  const std::uint64_t start = medium.Put(raf);
  medium.Scan();
  const CRawFileInfo* find = medium.Find(start);
  ASSERT_NE(find, nullptr);
  EXPECT_EQ(find->type, pt::kRaf);
  EXPECT_EQ(medium.Recovered(*find), raf);
}

// Paint Shop Pro: a 32-byte signature, the version, then blocks "~BK" 0, a 16-bit id, a 32-bit
// length and the data.
Bytes MakePsp(const std::vector<std::uint32_t>& blockLengths) {
  Bytes b;
  Append(b, std::string("Paint Shop Pro Image File\n\x1a\0\0\0\0\0", 32));
  b.insert(b.end(), {5, 0, 0, 0});
  std::uint16_t id = 0;
  for (std::uint32_t length : blockLengths) {
    Append(b, std::string("~BK\0", 4));
    b.insert(b.end(), {static_cast<std::uint8_t>(id++), 0});
    b.resize(b.size() + 4);
    PutLe32(b, b.size() - 4, length);
    const Bytes data = Noise(length, id);
    b.insert(b.end(), data.begin(), data.end());
  }
  return b;
}

TEST(BuiltPictures, PspIsMeasuredOverItsBlockChain) {
  struct Case {
    std::vector<std::uint32_t> blocks;
    bool found;
  };
  const Case cases[] = {
      {{46, 800, 3000}, true},
      {{100, 200}, false},  // 36 + 10 + 100 + 10 + 200 = 356: at most 511 bytes is no picture
  };
  for (const Case& c : cases) {
    const Bytes psp = MakePsp(c.blocks);
    Medium medium(512);
    const std::uint64_t start = medium.Put(psp);
    medium.Scan();
    const CRawFileInfo* find = medium.Find(start);
    ASSERT_EQ(find != nullptr, c.found) << psp.size();
    if (find) {
      EXPECT_EQ(find->type, pt::kPsp);
      EXPECT_EQ(medium.Recovered(*find), psp);
    }
  }
}

// EMF: the 108-byte header record (type 1) with " EMF" at 40 and the file's length at 48, then the
// end-of-file record (type 14).
Bytes MakeEmf() {
  Bytes b(108 + 20, 0);
  PutLe32(b, 0, 1);
  PutLe32(b, 4, 108);
  for (std::size_t i = 8; i < 40; i += 4)
    PutLe32(b, i, 100);  // bounds and frame
  PutLe32(b, 40, 0x464D4520);
  PutLe32(b, 44, 0x10000);
  PutLe32(b, 48, static_cast<std::uint32_t>(b.size()));
  PutLe32(b, 52, 2);
  PutLe16(b, 56, 1);
  PutLe32(b, 108, 14);
  PutLe32(b, 112, 20);
  return b;
}

TEST(BuiltPictures, EmfAndCursorTakeTheirSizeFromTheHeader) {
  Bytes cursor = Sample("three.ico");
  cursor[2] = 2;  // the same directory as a cursor (resource type 2); no tool here writes cursors
  const Bytes emf = MakeEmf();
  Medium medium(512);
  const std::uint64_t cursorAt = medium.Put(cursor);
  const std::uint64_t emfAt = medium.Put(emf);
  medium.Scan();
  ASSERT_NE(medium.Find(cursorAt), nullptr);
  EXPECT_EQ(medium.Find(cursorAt)->type, pt::kCur);
  EXPECT_EQ(medium.Recovered(*medium.Find(cursorAt)), cursor);
  ASSERT_NE(medium.Find(emfAt), nullptr);
  EXPECT_EQ(medium.Find(emfAt)->type, pt::kEmf);
  EXPECT_EQ(medium.Recovered(*medium.Find(emfAt)), emf);
}

TEST(BuiltPictures, TiffWhoseDirectoryClosesTheFile) {
  // Writers may put the directory after the image data; when all its values fit in the entries, the
  // directory itself is the file's last part. Built from the TIFF 6.0 layout: header, one strip of
  // 16 × 8 grey pixels, the directory.
  Bytes tif = {'I', 'I', 42, 0, 0, 0, 0, 0};
  const Bytes strip = Noise(128, 5);
  tif.insert(tif.end(), strip.begin(), strip.end());
  PutLe32(tif, 4, static_cast<std::uint32_t>(tif.size()));
  const std::uint16_t entries[][3] = {{256, 3, 16}, {257, 3, 8}, {258, 3, 8}, {262, 3, 1},
                                      {273, 4, 8},  {277, 3, 1}, {278, 3, 8}, {279, 4, 128}};
  tif.resize(tif.size() + 2);
  PutLe16(tif, tif.size() - 2, static_cast<std::uint16_t>(std::size(entries)));
  for (const auto& e : entries) {
    tif.resize(tif.size() + 12, 0);
    const std::size_t at = tif.size() - 12;
    PutLe16(tif, at, e[0]);
    PutLe16(tif, at + 2, e[1]);
    PutLe32(tif, at + 4, 1);
    PutLe32(tif, at + 8, e[2]);
  }
  tif.resize(tif.size() + 4, 0);  // no next directory
  Medium medium(512);
  const std::uint64_t start = medium.Put(tif);
  medium.Scan();
  ASSERT_NE(medium.Find(start), nullptr);
  EXPECT_EQ(medium.Recovered(*medium.Find(start)), tif);
}

TEST(BuiltPictures, AnIconHeaderOverZerosIsNoIcon) {
  // 00 00 01 00 and a count of 1 are common in any binary; the zero entry after them (a "256-pixel"
  // entry without data) must not make an icon.
  FileICOAnalyser ico;
  Bytes sector = {0, 0, 1, 0, 1, 0};
  sector.resize(512, 0);
  CRawFileInfo info;
  EXPECT_EQ(ico.CheckSignature(sector.data(), info), 0);
}

TEST(BuiltPictures, WmfNeverMatches) {
  // A placeable WMF header (D7 CD C6 9A) and a standard one (01 00 09 00).
  FileWMFAnalyser wmf;
  for (Bytes sector : {Bytes{0xD7, 0xCD, 0xC6, 0x9A}, Bytes{0x01, 0x00, 0x09, 0x00, 0x00, 0x03}}) {
    sector.resize(512, 0);
    CRawFileInfo info;
    EXPECT_EQ(wmf.CheckSignature(sector.data(), info), 0);
  }
  EXPECT_STREQ(wmf.GetTypeName(), "WMF");
}

}  // namespace
}  // namespace korvex
