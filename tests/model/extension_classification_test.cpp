// Type codes from extensions, and the scan-time classification of names with its counters.
#include <gtest/gtest.h>

#include <string>

#include "common/database.h"
#include "model/extension_classification.h"

namespace korvex {
namespace {

TEST(ClassifyExtension, Tables) {
  struct Case {
    const char* extension;
    std::uint16_t type;
  };
  const Case cases[] = {
      {".JPG", kTypePicture},   {".TIF", kTypePicture},     {".FH10", kTypePicture},
      {".DP", kTypePicture},    {".A", kTypeArchive},       {".7Z", kTypeArchive},
      {".DUMP", kTypeArchive},  {".ZIP", kTypeArchive},     {".SWF", kTypeMultimedia},
      {".TS", kTypeMultimedia}, {".TOD", kTypeMultimedia},  {".SWC", kTypeMultimedia},
      {".MP", kTypeMultimedia}, {".M2TS", kTypeMultimedia}, {".PAGES", kTypeOffice},
      {".PDF", kTypeOffice},    {".TXT", kTypeOffice},      {".DOCX", kTypeOffice},
      {"", kTypeOther},         {".", kTypeOther},          {".jpg", kTypeOther},
      {"JPG", kTypeOther},      {".JPEG", kTypeOther},      {".EXE", kTypeOther},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ClassifyExtension(c.extension), c.type) << c.extension;
  EXPECT_EQ(ClassifyExtension(static_cast<const char*>(nullptr)), kTypeOther);
}

struct Counts {
  std::uint64_t total, pictures, videos, documents, archives;
  friend bool operator==(const Counts&, const Counts&) = default;
};

Counts Read() {
  const CDataBase& d = CDataBase::Instance();
  return {d.foundTotal, d.foundPictures, d.foundVideos, d.foundDocuments, d.foundArchives};
}

TEST(ClassifyForScan, NamesIdsAndCounters) {
  struct Case {
    std::string name;
    std::uint16_t id;
    Counts counted;
  };
  const Case cases[] = {
      {"photo.jpg", 29, {1, 1, 0, 0, 0}},
      {"x.dng", 79, {1, 1, 0, 0, 0}},
      {"chart.VSD", 59, {1, 0, 0, 1, 0}},
      {"a.b", 0, {1, 0, 0, 0, 0}},       // extension B: counted, no catalogue entry
      {"abc.", 0, {1, 0, 0, 0, 0}},      // the empty extension
      {"ab", 0, {0, 0, 0, 0, 0}},        // 2 characters: rejected
      {".abc", 0, {0, 0, 0, 0, 0}},      // the dot is first
      {"a.abcde", 0, {0, 0, 0, 0, 0}},   // 5 characters after the dot
      {"noext", 0, {0, 0, 0, 0, 0}},     // no dot
      {"a.b.Mp3", 38, {1, 0, 1, 0, 0}},  // from the last dot
      {"song.mp", 0, {1, 0, 1, 0, 0}},   // listed as multimedia, not in the catalogue
      {"data.gz", 26, {1, 0, 0, 0, 1}},
      {"letter.docx", 84, {1, 0, 0, 1, 0}},
      {"x.html", 27, {1, 0, 0, 0, 0}},  // in the catalogue, in no list
      {"x.raw", 0, {1, 1, 0, 0, 0}},    // id 0 is not in the lookup
      {"x.ai", 4, {1, 0, 0, 1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Counts before = Read();
    EXPECT_EQ(ClassifyForScan(c.name.data(), static_cast<std::uint8_t>(c.name.size())), c.id);
    const Counts after = Read();
    const Counts delta{after.total - before.total, after.pictures - before.pictures,
                       after.videos - before.videos, after.documents - before.documents,
                       after.archives - before.archives};
    EXPECT_EQ(delta, c.counted);

    // The same name in 16-bit characters classifies alike.
    const std::u16string wide(c.name.begin(), c.name.end());
    EXPECT_EQ(ClassifyForScan(wide.data(), static_cast<std::uint8_t>(wide.size())), c.id);
  }
}

TEST(ClassifyForScan, OnlyTheGivenLengthCountsAndWideCharactersDoNotAlias) {
  // The length, not a terminator, bounds the name: "photo.jpgXYZ" cut after 9 characters.
  EXPECT_EQ(ClassifyForScan("photo.jpgXYZ", 9), 29);
  EXPECT_EQ(ClassifyForScan("photo.jpgXYZ", 12), 0);
  // U+014A (low byte 0x4A, 'J') must not be taken for 'J'.
  const std::u16string wide = u"photo.\u014APG";
  EXPECT_EQ(ClassifyForScan(wide.data(), static_cast<std::uint8_t>(wide.size())), 0);
  EXPECT_EQ(ClassifyForScan(static_cast<const char*>(nullptr), 9), 0);
}

}  // namespace
}  // namespace korvex
