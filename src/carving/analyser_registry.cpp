#include "carving/analyser_registry.h"

#include <array>
#include <cstring>
#include <set>

#include "carving/analysers/picture_analysers.h"

namespace korvex {

namespace {

using C = FoundCounter;
constexpr const char* kCustom = "CustomFileAnalyser";

// Analyser classes and counters of the built-in type ids 0..84.
constexpr std::array<CatalogueCarving, 85> kCarving{{
    {{nullptr, nullptr}, C::kNone},                              // 0 Raw
    {{"File3GPAnalyser", nullptr}, C::kVideos},                  // 1 3GP
    {{"FileONEAnalyser", nullptr}, C::kNone},                    // 2 ADP
    {{"FileRIFFAnalyser", nullptr}, C::kNone},                   // 3 ANI
    {{"FilePDFAnalyser", nullptr}, C::kNone},                    // 4 AI
    {{"FileASFAnalyser", nullptr}, C::kNone},                    // 5 ASF
    {{"FileAUAnalyser", nullptr}, C::kNone},                     // 6 AU
    {{"FileRIFFAnalyser", nullptr}, C::kVideos},                 // 7 AVI
    {{"FileBMPAnalyser", nullptr}, C::kPictures},                // 8 BMP
    {{"FileCABAnalyser", nullptr}, C::kNone},                    // 9 CAB
    {{"FileRIFFAnalyser", nullptr}, C::kNone},                   // 10 CDR
    {{"FileCHMAnalyser", nullptr}, C::kNone},                    // 11 CHM
    {{"FileRIFFAnalyser", nullptr}, C::kNone},                   // 12 CLK
    {{"FileRIFFAnalyser", nullptr}, C::kNone},                   // 13 CMX
    {{"FileCPTAnalyser", nullptr}, C::kNone},                    // 14 CPT
    {{"FileCRWAnalyser", nullptr}, C::kNone},                    // 15 CRW
    {{"FileRIFFAnalyser", nullptr}, C::kNone},                   // 16 CSL
    {{"FileICOAnalyser", nullptr}, C::kNone},                    // 17 CUR
    {{"FileDBXAnalyser", nullptr}, C::kNone},                    // 18 DBX
    {{"FileOLEAnalyser", "FileLowDocAnalyser"}, C::kDocuments},  // 19 DOC
    {{"FileDWGAnalyser", nullptr}, C::kPictures},                // 20 DWG
    {{"FileDXFAnalyser", nullptr}, C::kPictures},                // 21 DXF
    {{"FileEMFAnalyser", nullptr}, C::kNone},                    // 22 EMF
    {{"FileEPSAnalyser", nullptr}, C::kNone},                    // 23 EPS
    {{"FileFLVAnalyser", nullptr}, C::kVideos},                  // 24 FLV
    {{"FileGIFAnalyser", nullptr}, C::kNone},                    // 25 GIF
    {{"FileGZAnalyser", nullptr}, C::kArchives},                 // 26 GZ
    {{"FileHTMAnalyser", "FileUnicodeHTMAnalyser"}, C::kNone},   // 27 HTML
    {{"FileICOAnalyser", nullptr}, C::kPictures},                // 28 ICO
    {{"FileJPGAnalyser", nullptr}, C::kPictures},                // 29 JPG picture
    {{kCustom, nullptr}, C::kPictures},                          // 30 JPG photo
    {{"FileLZHAnalyser", nullptr}, C::kNone},                    // 31 LZH
    {{"FileOLEAnalyser", nullptr}, C::kNone},                    // 32 MAX
    {{"FileMIDAnalyser", nullptr}, C::kNone},                    // 33 MID
    {{"FileMDBAnalyser", nullptr}, C::kNone},                    // 34 MDB
    {{"FileMNYAnalyser", nullptr}, C::kNone},                    // 35 MNY
    {{"FileOLEAnalyser", nullptr}, C::kNone},                    // 36 MOF
    {{"FileMOVAnalyser", nullptr}, C::kVideos},                  // 37 MOV
    {{"FileMP3Analyser", nullptr}, C::kVideos},                  // 38 MP3
    {{"FileMP4Analyser", nullptr}, C::kVideos},                  // 39 MP4
    {{"FileOGGAnalyser", nullptr}, C::kVideos},                  // 40 OGG
    {{"FileOLEAnalyser", nullptr}, C::kNone},                    // 41 MPP
    {{"FileOLEAnalyser", nullptr}, C::kNone},                    // 42 OLE
    {{"FileONEAnalyser", nullptr}, C::kNone},                    // 43 ONE
    {{"FilePDFAnalyser", nullptr}, C::kNone},                    // 44 PDF
    {{"FilePNGAnalyser", nullptr}, C::kPictures},                // 45 PNG
    {{"FileOLEAnalyser", nullptr}, C::kDocuments},               // 46 PPT
    {{"FileOLEAnalyser", nullptr}, C::kNone},                    // 47 PUB
    {{"FilePSDAnalyser", nullptr}, C::kPictures},                // 48 PSD
    {{"FilePSPAnalyser", nullptr}, C::kNone},                    // 49 PSP
    {{"FilePSTAnalyser", nullptr}, C::kNone},                    // 50 PST
    {{kCustom, nullptr}, C::kNone},                              // 51 QPW
    {{"FileRARAnalyser", nullptr}, C::kArchives},                // 52 RAR
    {{"FileRIFFAnalyser", nullptr}, C::kNone},                   // 53 RIFF
    {{"FileRTFAnalyser", nullptr}, C::kDocuments},               // 54 RTF
    {{"FileOLEAnalyser", "FileWPDAnalyser"}, C::kNone},          // 55 SHW
    {{"FileSWFAnalyser", nullptr}, C::kNone},                    // 56 SWF
    {{"FileTARAnalyser", nullptr}, C::kArchives},                // 57 TAR
    {{"FileTIFAnalyser", nullptr}, C::kNone},                    // 58 TIF
    {{"FileOLEAnalyser", nullptr}, C::kNone},                    // 59 VSD
    {{"FileRIFFAnalyser", nullptr}, C::kNone},                   // 60 WAV
    {{"FileOLEAnalyser", "FileWPDAnalyser"}, C::kNone},          // 61 WPD
    {{"FileOLEAnalyser", "FileWPDAnalyser"}, C::kNone},          // 62 WPG
    {{"FileWMFAnalyser", nullptr}, C::kNone},                    // 63 WMF
    {{"FileOLEAnalyser", nullptr}, C::kDocuments},               // 64 XLS
    {{"FileZIPAnalyser", nullptr}, C::kArchives},                // 65 ZIP
    {{kCustom, nullptr}, C::kDocuments},                         // 66 XLSX
    {{kCustom, nullptr}, C::kDocuments},                         // 67 PPTX
    {{kCustom, nullptr}, C::kNone},                              // 68 VSD
    {{kCustom, nullptr}, C::kNone},                              // 69 PAGES
    {{kCustom, nullptr}, C::kNone},                              // 70 NUMBERS
    {{kCustom, nullptr}, C::kNone},                              // 71 KEY
    {{"FileWMVAnalyser", nullptr}, C::kVideos},                  // 72 WMV
    {{kCustom, nullptr}, C::kVideos},                            // 73 WMA
    {{kCustom, nullptr}, C::kNone},                              // 74 MKV
    {{kCustom, nullptr}, C::kPictures},                          // 75 ARW
    {{kCustom, nullptr}, C::kPictures},                          // 76 CR2
    {{kCustom, nullptr}, C::kPictures},                          // 77 NEF
    {{kCustom, nullptr}, C::kPictures},                          // 78 RAF
    {{kCustom, nullptr}, C::kPictures},                          // 79 DNG
    {{kCustom, nullptr}, C::kPictures},                          // 80 DNG
    {{kCustom, nullptr}, C::kPictures},                          // 81 PEF
    {{"FileDATAnalyser", nullptr}, C::kNone},                    // 82 DAT
    {{kCustom, nullptr}, C::kNone},                              // 83 IND
    {{"FileZIPAnalyser", nullptr}, C::kDocuments},               // 84 DOCX
}};

constexpr CatalogueCarving kScriptType{{kCustom, nullptr}, C::kNone};

}  // namespace

const CatalogueCarving& CatalogueCarvingOf(std::int32_t typeId) {
  return typeId >= 0 && typeId < static_cast<std::int32_t>(kCarving.size())
             ? kCarving[static_cast<std::size_t>(typeId)]
             : kScriptType;
}

FoundCounter FoundCounterOf(std::int32_t typeId) {
  return CatalogueCarvingOf(typeId).counter;
}

const std::vector<AnalyserClass>& BuiltInAnalyserClasses() {
  // One line per analyser class, in the order of the registry's first fill.
  static const std::vector<AnalyserClass> classes = {
      {"FileBMPAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileBMPAnalyser); }},
      {"FileCRWAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileCRWAnalyser); }},
      {"FileEMFAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileEMFAnalyser); }},
      {"FileGIFAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileGIFAnalyser); }},
      {"FileICOAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileICOAnalyser); }},
      {"FileJPGAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileJPGAnalyser); }},
      {"FilePNGAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FilePNGAnalyser); }},
      {"FilePSDAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FilePSDAnalyser); }},
      {"FilePSPAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FilePSPAnalyser); }},
      {"FileTIFAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileTIFAnalyser); }},
      {"FileWMFAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileWMFAnalyser); }},
  };
  return classes;
}

AnalyserRegistry& AnalyserRegistry::Instance() {
  static AnalyserRegistry registry(BuiltInAnalyserClasses());
  return registry;
}

AnalyserRegistry::AnalyserRegistry(std::vector<AnalyserClass> classes) : classes_(std::move(classes)) {
  for (const AnalyserClass& c : classes_)
    Append(c.className);
}

AnalyserRegistry::AnalyserRegistry(std::vector<std::unique_ptr<IRawFileAnalyser>> analysers)
    : analysers_(std::move(analysers)) {
  for (const auto& a : analysers_)
    classNames_.push_back(a->GetTypeName());
}

void AnalyserRegistry::Append(const char* className) {
  for (const AnalyserClass& c : classes_) {
    if (std::strcmp(c.className, className) == 0) {
      analysers_.push_back(c.make());
      classNames_.push_back(c.className);
      return;
    }
  }
}

void AnalyserRegistry::Rebuild(const std::vector<std::int32_t>& typeIds) {
  analysers_.clear();
  classNames_.clear();
  for (std::int32_t id : typeIds) {
    for (const char* className : CatalogueCarvingOf(id).analysers) {
      if (className)
        Append(className);
    }
  }
}

std::vector<std::string> AnalyserRegistry::EffectiveOrder() const {
  std::vector<std::string> order;
  std::set<std::string> seen;
  for (const char* name : classNames_) {
    if (seen.insert(name).second)
      order.emplace_back(name);
  }
  return order;
}

}  // namespace korvex
