// The audio and video analysers on an in-memory device: real samples made by ffmpeg (and a MIDI file
// written by Python) are placed at sector offsets between noise and must be found by the RAW search
// with their exact size and type; cut copies and hand-built layouts test the walks' limits.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "carving/analyser_registry.h"
#include "carving/analysers/media_analysers.h"
#include "carving/scan_medium.h"
#include "common/byte_reader.h"
#include "support/fixtures.h"

namespace korvex {
namespace {

namespace mt = media_type;
using test::Bytes;
using test::Medium;

Bytes Sample(const std::string& name) {
  return test::ReadFixture("media/" + name);
}

struct SampleCase {
  const char* name;
  std::uint32_t type;
};

const SampleCase kSamples[] = {
    {"clip.3gp", mt::k3gp},       {"clip.3g2", mt::k3gp},
    {"plain.mp4", mt::kMp4},                                    // moov after mdat
    {"faststart.mp4", mt::kMp4},                                // moov first
    {"fragmented.mp4", mt::kMp4},                               // moov, moof, mdat, mfra
    {"sound.m4a", mt::kM4a},      {"clip.mov", mt::kMov},       // ftyp "qt  ", wide, mdat, moov
    {"plain.wav", mt::kWav},      {"rf64_auto.wav", mt::kWav},  // a JUNK chunk before "fmt "
    {"bext.wav", mt::kWav},       {"clip.avi", mt::kAvi},
    {"clip.wmv", mt::kWmv},  // a video stream, then an audio one
    {"sound.wma", mt::kWma},      {"clip.mkv", mt::kMkv},
    {"pipe.mkv", mt::kMkv},  // unknown segment size
    {"clip.webm", mt::kMkv},      {"pipe.webm", mt::kMkv},
    {"id3v22.mp3", mt::kMp3},     {"id3v23.mp3", mt::kMp3},
    {"id3v24.mp3", mt::kMp3},     {"id3v1.mp3", mt::kMp3},  // the ID3v1 tag right after the last frame
    {"vorbis.ogg", mt::kOgg},     {"opus.opus", mt::kOgg},
    {"chained.ogg", mt::kOgg},  // two streams one after the other
    {"clip.flv", mt::kFlv},       {"clip.swf", mt::kSwf},
    {"tune.mid", mt::kMid},
};

TEST(MediaSamples, EachIsFoundAtItsSectorWithItsExactSizeAndType) {
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

TEST(MediaSamples, AWavWrittenToAPipeIsFoundWholeWithinABound) {
  // Its header and its data chunk carry no length: nothing in the file tells where the samples end,
  // so the find runs over them and as far as an end search would look.
  const Bytes wav = Sample("pipe.wav");
  ASSERT_EQ(Le32(wav, 4), 0xFFFFFFFFu);
  Medium medium(512);
  const std::uint64_t start = medium.Put(wav);
  medium.Scan(200);
  const CRawFileInfo* find = medium.Find(start);
  ASSERT_NE(find, nullptr);
  EXPECT_EQ(find->type, mt::kWav);
  const Bytes recovered = medium.Recovered(*find);
  ASSERT_GE(recovered.size(), wav.size());
  EXPECT_TRUE(std::equal(wav.begin(), wav.end(), recovered.begin()));
  EXPECT_LE(find->size, 50'000'000u + 44);
}

TEST(MediaSamples, FilesCutShortAtTheDevicesEndGiveNoFindOrABoundedOne) {
  for (const SampleCase& c : kSamples) {
    const Bytes sample = Sample(c.name);
    for (std::size_t eighth = 1; eighth < 8; ++eighth) {
      SCOPED_TRACE(std::string(c.name) + " cut at " + std::to_string(eighth) + "/8");
      Medium medium(512);
      const std::size_t cut = sample.size() * eighth / 8;
      const std::uint64_t start =
          medium.Put(Bytes(sample.begin(), sample.begin() + static_cast<std::ptrdiff_t>(cut)));
      medium.Raw().resize((start * 512 + cut + 511) / 512 * 512, 0);
      std::fill(medium.Raw().begin() + static_cast<std::ptrdiff_t>(start * 512 + cut), medium.Raw().end(), 0);
      medium.Scan(0);
      if (const CRawFileInfo* find = medium.Find(start)) {
        if (c.type == mt::kSwf) {
          EXPECT_EQ(find->size, sample.size()) << "the header's length";
        } else {
          EXPECT_LE(find->size, medium.Raw().size() - start * 512) << "no further than the device";
        }
      }
    }
  }
}

// ---- layouts no tool here writes, built from the published formats ---------------------------------

void PutBe32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

TEST(BuiltMedia, BoxSizesOfSixtyFourBitsAndToTheEnd) {
  // The real MP4 with its mdat rewritten as a box of 64-bit size (size 1, the size at +8).
  const Bytes mp4 = Sample("plain.mp4");
  const std::size_t mdat = 36;  // ftyp (28) and free (8) come first
  ASSERT_EQ(Be32(mp4, mdat + 4), 0x6D646174u);
  Bytes large(mp4.begin(), mp4.begin() + static_cast<std::ptrdiff_t>(mdat));
  const std::uint32_t size = Be32(mp4, mdat);
  Bytes head(16, 0);
  PutBe32(head, 0, 1);
  std::memcpy(head.data() + 4, "mdat", 4);
  PutBe32(head, 12, size + 8);
  large.insert(large.end(), head.begin(), head.end());
  large.insert(large.end(), mp4.begin() + static_cast<std::ptrdiff_t>(mdat + 8), mp4.end());
  Medium medium(512);
  const std::uint64_t start = medium.Put(large);
  medium.Scan();
  ASSERT_NE(medium.Find(start), nullptr);
  EXPECT_EQ(medium.Recovered(*medium.Find(start)), large);
}

TEST(BuiltMedia, MovTakesOnlyTheQuickTimeBrandAndMp4TheIsoOnes) {
  // A HEIC's first box is "ftyp" with the brand "heic": neither MP4 nor MOV nor 3GP claims it.
  struct Case {
    const char* brand;
    std::uint32_t type;  // 0: no analyser of these claims it
  };
  const Case cases[] = {{"qt  ", mt::kMov}, {"isom", mt::kMp4}, {"mp42", mt::kMp4}, {"M4A ", mt::kM4a},
                        {"3gp5", mt::k3gp}, {"3g2b", mt::k3gp}, {"heic", 0},        {"avif", 0}};
  File3GPAnalyser gp;
  FileMP4Analyser mp4;
  FileMOVAnalyser mov;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.brand);
    Bytes sector(512, 0);
    PutBe32(sector, 0, 24);
    std::memcpy(sector.data() + 4, "ftyp", 4);
    std::memcpy(sector.data() + 8, c.brand, 4);
    std::uint32_t type = 0;
    for (IRawFileAnalyser* a : std::initializer_list<IRawFileAnalyser*>{&gp, &mp4, &mov}) {
      CRawFileInfo info;
      if (a->CheckSignature(sector.data(), info)) {
        type = info.type;
        break;
      }
    }
    EXPECT_EQ(type, c.type);
  }
}

TEST(BuiltMedia, WavWithBextBeforeFmtIsAWav) {
  // Broadcast WAV writers put the bext chunk first; ffmpeg puts it after "fmt ".
  const Bytes wav = Sample("bext.wav");
  ASSERT_EQ(Be32(wav, 36), 0x62657874u) << "bext follows the 16-byte fmt chunk";
  const std::size_t bextLength = 8 + Le32(wav, 40);
  Bytes moved(wav.begin(), wav.begin() + 12);
  moved.insert(moved.end(), wav.begin() + 36, wav.begin() + 36 + static_cast<std::ptrdiff_t>(bextLength));
  moved.insert(moved.end(), wav.begin() + 12, wav.begin() + 36);
  moved.insert(moved.end(), wav.begin() + 36 + static_cast<std::ptrdiff_t>(bextLength), wav.end());
  ASSERT_EQ(moved.size(), wav.size());
  Medium medium(512);
  const std::uint64_t start = medium.Put(moved);
  medium.Scan();
  ASSERT_NE(medium.Find(start), nullptr);
  EXPECT_EQ(medium.Find(start)->type, mt::kWav);
  EXPECT_EQ(medium.Recovered(*medium.Find(start)), moved);
}

TEST(MediaAnalysers, EveryAudioAndVideoClassTheCatalogueNamesExists) {
  const char* const media[] = {"File3GPAnalyser", "FileASFAnalyser",  "FileAUAnalyser",  "FileFLVAnalyser",
                               "FileMIDAnalyser", "FileMOVAnalyser",  "FileMP3Analyser", "FileMP4Analyser",
                               "FileOGGAnalyser", "FileRIFFAnalyser", "FileSWFAnalyser", "FileWMVAnalyser"};
  for (const char* name : media) {
    SCOPED_TRACE(name);
    bool named = false;
    for (std::int32_t id = 1; id <= 84; ++id) {
      for (const char* c : CatalogueAnalysersOf(id).classes)
        named = named || (c && std::string(c) == name);
    }
    EXPECT_TRUE(named) << "the catalogue names it";
    const auto& classes = BuiltInAnalyserClasses();
    const auto it = std::find_if(classes.begin(), classes.end(),
                                 [&](const AnalyserClass& c) { return std::string(c.className) == name; });
    ASSERT_NE(it, classes.end());
    EXPECT_NE(it->make(), nullptr);
  }
}

}  // namespace
}  // namespace korvex
