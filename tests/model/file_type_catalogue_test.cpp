// The built-in entries of the file-type catalogue and its run-time entries.
#include <gtest/gtest.h>

#include "model/file_type_catalogue.h"

namespace korvex {
namespace {

TEST(FileTypeCatalogue, BuiltInEntries) {
  const FileTypeCatalogue& catalogue = FileTypeCatalogue::Instance();
  struct Case {
    std::uint32_t id;
    std::string_view extension;
    std::string_view description;
    FoundCounter counter;
  };
  const Case cases[] = {
      {0, "Raw", "Raw", FoundCounter::kNone},
      {1, "3GP", "3GP (3GP Video File)", FoundCounter::kVideos},
      {10, "CDR", "CDR (CorelDRAW File", FoundCounter::kNone},
      {17, "CUR", "CUR (Cursor FIle)", FoundCounter::kNone},
      {20, "DWG", "DWG (AutoCAD)", FoundCounter::kPictures},
      {26, "GZ", "GZ (gzip compressed data)", FoundCounter::kArchives},
      {29, "JPG", "JPG (JPG picture)", FoundCounter::kPictures},
      {30, "JPG", "JPG (JPG photo)", FoundCounter::kPictures},
      {54, "RTF", "RTF (Text files with header)", FoundCounter::kDocuments},
      {61, "WPD", "WPD (OpenCanvas\xA3\xA9", FoundCounter::kNone},
      {65, "ZIP", "ZIP (zip archive )", FoundCounter::kArchives},
      {70, "NUMBERS", "NUMBERS (Apple Office)", FoundCounter::kNone},
      {82, "DAT", "DAT (IE History, Glavna Knjiga account data)", FoundCounter::kNone},
      {84, "DOCX", "DOCX (Microsoft Office Document 2007)", FoundCounter::kDocuments},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(catalogue.GetExtension(c.id), c.extension);
    EXPECT_EQ(catalogue.GetDescription(c.id), c.description);
    EXPECT_EQ(catalogue.GetCounter(c.id), c.counter);
  }
  // Every built-in id has an extension; the rest of the table is empty until scripts fill it.
  for (std::uint32_t id = 0; id <= FileTypeCatalogue::kLastBuiltInId; ++id)
    EXPECT_FALSE(catalogue.GetExtension(id).empty()) << id;
  EXPECT_EQ(catalogue.GetExtension(85), "M4A") << "the first type added after the built-in table";
  EXPECT_EQ(catalogue.GetCounter(85), FoundCounter::kVideos);
  for (std::uint32_t id : {86u, 999u, 1000u, 1999u, 2000u, 0xFFFFFFFFu}) {
    EXPECT_TRUE(catalogue.GetExtension(id).empty()) << id;
    EXPECT_TRUE(catalogue.GetDescription(id).empty()) << id;
  }
}

TEST(FileTypeCatalogue, ScriptEntriesAreCutToTheirFields) {
  FileTypeCatalogue& catalogue = FileTypeCatalogue::Instance();
  EXPECT_FALSE(catalogue.SetScriptEntry(84, "x", "X")) << "built-in entries are fixed";
  EXPECT_FALSE(catalogue.SetScriptEntry(2000, "x", "X"));
  ASSERT_TRUE(catalogue.SetScriptEntry(1999, std::string(200, 'd'), "ABCDEFGHIJKLMNOP"));
  EXPECT_EQ(catalogue.GetExtension(1999), "ABCDEFGHI") << "9 characters and the NUL";
  EXPECT_EQ(catalogue.GetDescription(1999), std::string(89, 'd'));
  EXPECT_EQ(catalogue.GetExtension(84), "DOCX");
}

}  // namespace
}  // namespace korvex
