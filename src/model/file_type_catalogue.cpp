// The built-in file types of the catalogue, ids 0..84, with their folder descriptions and counters.
#include "model/file_type_catalogue.h"

#include <algorithm>
#include <cstring>

namespace korvex {
namespace {

struct BuiltIn {
  std::uint32_t id;
  const char* extension;
  const char* description;
  FoundCounter counter;
};

constexpr FoundCounter kNo = FoundCounter::kNone;
constexpr FoundCounter kPic = FoundCounter::kPictures;
constexpr FoundCounter kVid = FoundCounter::kVideos;
constexpr FoundCounter kDoc = FoundCounter::kDocuments;
constexpr FoundCounter kArc = FoundCounter::kArchives;

// The texts are kept byte for byte as the program has always shown them, typos included: folder
// names of carved files in stored recovery states depend on them.
constexpr BuiltIn kBuiltIn[] = {
    {0, "Raw", "Raw", kNo},
    {1, "3GP", "3GP (3GP Video File)", kVid},
    {2, "ADP", "ADP", kNo},
    {3, "ANI", "ANI", kNo},
    {4, "AI", "AI", kNo},
    {5, "ASF", "ASF (Advanced Streaming Format)", kNo},
    {6, "AU", "AU (Sun/NeXT audio data)", kNo},
    {7, "AVI", "AVI (Advanced Streaming Format)", kVid},
    {8, "BMP", "BMP (bitmap image)", kPic},
    {9, "CAB", "CAB (Microsoft Cabinet archive)", kNo},
    {10, "CDR", "CDR (CorelDRAW File", kNo},
    {11, "CHM", "CHM (MS Windows HtmlHelp Data)", kNo},
    {12, "CLK", "CLK", kNo},
    {13, "CMX", "CMX", kNo},
    {14, "CPT", "CPT", kNo},
    {15, "CRW", "CRW (Canon Raw picture)", kNo},
    {16, "CSL", "CSL", kNo},
    {17, "CUR", "CUR (Cursor FIle)", kNo},
    {18, "DBX", "DBX (Outlook Express)", kNo},
    {19, "DOC", "DOC (Microsoft Office Document)", kDoc},
    {20, "DWG", "DWG (AutoCAD)", kPic},
    {21, "DXF", "DXF (Drawing Interchange File)", kPic},
    {22, "EMF", "EMF (Windows Enhanced MetaFile)", kNo},
    {23, "EPS", "EPS (Encapsulated Post Script File)", kNo},
    {24, "FLV", "FLV (Macromedia)", kVid},
    {25, "GIF", "GIF (Graphic Interchange Format)", kNo},
    {26, "GZ", "GZ (gzip compressed data)", kArc},
    {27, "HTML", "HTML (HyperText Mark-up Language File)", kNo},
    {28, "ICO", "ICO (Windows Icon)", kPic},
    {29, "JPG", "JPG (JPG picture)", kPic},
    {30, "JPG", "JPG (JPG photo)", kPic},
    {31, "LZH", "LZH (lzh&LArc archive)", kNo},
    {32, "MAX", "MAX (PaperPort)", kNo},
    {33, "MID", "MID (Musical Instrument Digital Interface)", kNo},
    {34, "MDB", "MDB (Access Data Base)", kNo},
    {35, "MNY", "MNY", kNo},
    {36, "MOF", "MOF", kNo},
    {37, "MOV", "MOV (QuickTime Video)", kVid},
    {38, "MP3", "MP3 (MP3 audio)", kVid},
    {39, "MP4", "MP4 (MPEG-4 File)", kVid},
    {40, "OGG", "OGG (OGG audio)", kVid},
    {41, "MPP", "MPP", kNo},
    {42, "OLE", "OLE", kNo},
    {43, "ONE", "ONE (Microsoft OneNote)", kNo},
    {44, "PDF", "PDF (Portable Document Format)", kNo},
    {45, "PNG", "PNG (Portable Multiple-Image Network Graphics)", kPic},
    {46, "PPT", "PPT (Microsoft Office Powerpoint)", kDoc},
    {47, "PUB", "PUB (Microsoft Office Publisher File)", kNo},
    {48, "PSD", "PSD (Adobe Photoshop Image)", kPic},
    {49, "PSP", "PSP (Paint Shop Pro Image File)", kNo},
    {50, "PST", "PST (Outlook File)", kNo},
    {51, "QPW", "QPW", kNo},
    {52, "RAR", "RAR (Rar archive)", kArc},
    {53, "RIFF", "RIFF (RIFF audio&video)", kNo},
    {54, "RTF", "RTF (Text files with header)", kDoc},
    {55, "SHW", "SHW", kNo},
    {56, "SWF", "SWF (Macromedia Flash)", kNo},
    {57, "TAR", "TAR (tar archive)", kArc},
    {58, "TIF", "TIF (Tag Image File Format)", kNo},
    {59, "VSD", "VSD (Microsoft Office Visio)", kNo},
    {60, "WAV", "WAV (Wave Audio Files)", kNo},
    // The closing parenthesis is the full-width one of the GBK code page, bytes A3 A9.
    {61, "WPD", "WPD (OpenCanvas\xA3\xA9", kNo},
    {62, "WPG", "WPG", kNo},
    {63, "WMF", "WMF (Microsoft Windows Metafile)", kNo},
    {64, "XLS", "XLS (Microsoft Office Excel)", kDoc},
    {65, "ZIP", "ZIP (zip archive )", kArc},
    {66, "XLSX", "XLSX (Microsoft Office Excel 2007)", kDoc},
    {67, "PPTX", "PPTX (Microsoft Office Powerpoint 2007)", kDoc},
    {68, "VSD", "VSD (Microsoft Office Visio)", kNo},
    {69, "PAGES", "PAGES (Apple Office)", kNo},
    {70, "NUMBERS", "NUMBERS (Apple Office)", kNo},
    {71, "KEY", "KEY (Apple Office)", kNo},
    {72, "WMV", "WMV (Windows Media Video)", kVid},
    {73, "WMA", "WMA (Windows Media Audio)", kVid},
    {74, "MKV", "MKV (Matroska Media)", kNo},
    {75, "ARW", "ARW (SONY Raw picture)", kPic},
    {76, "CR2", "CR2 (Canon Raw picture)", kPic},
    {77, "NEF", "NEF (Nikon Raw picture)", kPic},
    {78, "RAF", "RAF (fuji Raw picture)", kPic},
    {79, "DNG", "DNG (Digital Negative)", kPic},
    {80, "DNG", "DNG (Digital Negative)", kPic},
    {81, "PEF", "PEF (PENTAX Raw picture)", kPic},
    {82, "DAT", "DAT (IE History, Glavna Knjiga account data)", kNo},
    {83, "IND", "IND", kNo},
    {84, "DOCX", "DOCX (Microsoft Office Document 2007)", kDoc},
};
static_assert(std::size(kBuiltIn) == FileTypeCatalogue::kLastBuiltInId + 1);

// Types added after the original table, numbered on from it so that stored recovery states keep the
// meaning of every id; analysers refine their finds to them.
constexpr BuiltIn kAdded[] = {
    {85, "M4A", "M4A (MPEG-4 Audio)", kVid},
};

// Copies at most size - 1 bytes and terminates; the rest of the field stays zero.
void CopyField(char* field, std::size_t size, std::string_view text) {
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

std::string_view FieldText(const char* field, std::size_t size) {
  return std::string_view(field, strnlen(field, size));
}

}  // namespace

FileTypeCatalogue& FileTypeCatalogue::Instance() {
  static FileTypeCatalogue catalogue;
  return catalogue;
}

FileTypeCatalogue::FileTypeCatalogue() : entries_{} {
  auto fill = [this](const BuiltIn& type) {
    Entry& entry = entries_[type.id];
    CopyField(entry.description, kDescriptionSize, type.description);
    CopyField(entry.extension, kExtensionSize, type.extension);
    entry.counter = type.counter;
  };
  std::for_each(std::begin(kBuiltIn), std::end(kBuiltIn), fill);
  std::for_each(std::begin(kAdded), std::end(kAdded), fill);
}

std::string_view FileTypeCatalogue::GetDescription(std::uint32_t id) const {
  return id < kEntryCount ? FieldText(entries_[id].description, kDescriptionSize) : std::string_view();
}

std::string_view FileTypeCatalogue::GetExtension(std::uint32_t id) const {
  return id < kEntryCount ? FieldText(entries_[id].extension, kExtensionSize) : std::string_view();
}

FoundCounter FileTypeCatalogue::GetCounter(std::uint32_t id) const {
  return id < kEntryCount ? entries_[id].counter : FoundCounter::kNone;
}

bool FileTypeCatalogue::SetScriptEntry(std::uint32_t id, std::string_view description,
                                       std::string_view extension) {
  if (id < kFirstScriptId || id >= kEntryCount)
    return false;
  Entry& entry = entries_[id];
  CopyField(entry.description, kDescriptionSize, description);
  CopyField(entry.extension, kExtensionSize, extension);
  entry.counter = FoundCounter::kNone;
  return true;
}

}  // namespace korvex
