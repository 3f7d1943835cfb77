#include "carving/analyser_registry.h"

#include <array>
#include <cstring>
#include <set>

#include "carving/analysers/media_analysers.h"
#include "carving/analysers/picture_analysers.h"

namespace korvex {

namespace {

constexpr const char* kCustom = "CustomFileAnalyser";

// Analyser classes of the built-in type ids 0..84.
constexpr std::array<CatalogueAnalysers, 85> kAnalysers{{
    {{nullptr, nullptr}},                             // 0 Raw
    {{"File3GPAnalyser", nullptr}},                   // 1 3GP
    {{"FileONEAnalyser", nullptr}},                   // 2 ADP
    {{"FileRIFFAnalyser", nullptr}},                  // 3 ANI
    {{"FilePDFAnalyser", nullptr}},                   // 4 AI
    {{"FileASFAnalyser", nullptr}},                   // 5 ASF
    {{"FileAUAnalyser", nullptr}},                    // 6 AU
    {{"FileRIFFAnalyser", nullptr}},                  // 7 AVI
    {{"FileBMPAnalyser", nullptr}},                   // 8 BMP
    {{"FileCABAnalyser", nullptr}},                   // 9 CAB
    {{"FileRIFFAnalyser", nullptr}},                  // 10 CDR
    {{"FileCHMAnalyser", nullptr}},                   // 11 CHM
    {{"FileRIFFAnalyser", nullptr}},                  // 12 CLK
    {{"FileRIFFAnalyser", nullptr}},                  // 13 CMX
    {{"FileCPTAnalyser", nullptr}},                   // 14 CPT
    {{"FileCRWAnalyser", nullptr}},                   // 15 CRW
    {{"FileRIFFAnalyser", nullptr}},                  // 16 CSL
    {{"FileICOAnalyser", nullptr}},                   // 17 CUR
    {{"FileDBXAnalyser", nullptr}},                   // 18 DBX
    {{"FileOLEAnalyser", "FileLowDocAnalyser"}},      // 19 DOC
    {{"FileDWGAnalyser", nullptr}},                   // 20 DWG
    {{"FileDXFAnalyser", nullptr}},                   // 21 DXF
    {{"FileEMFAnalyser", nullptr}},                   // 22 EMF
    {{"FileEPSAnalyser", nullptr}},                   // 23 EPS
    {{"FileFLVAnalyser", nullptr}},                   // 24 FLV
    {{"FileGIFAnalyser", nullptr}},                   // 25 GIF
    {{"FileGZAnalyser", nullptr}},                    // 26 GZ
    {{"FileHTMAnalyser", "FileUnicodeHTMAnalyser"}},  // 27 HTML
    {{"FileICOAnalyser", nullptr}},                   // 28 ICO
    {{"FileJPGAnalyser", nullptr}},                   // 29 JPG picture
    {{kCustom, nullptr}},                             // 30 JPG photo
    {{"FileLZHAnalyser", nullptr}},                   // 31 LZH
    {{"FileOLEAnalyser", nullptr}},                   // 32 MAX
    {{"FileMIDAnalyser", nullptr}},                   // 33 MID
    {{"FileMDBAnalyser", nullptr}},                   // 34 MDB
    {{"FileMNYAnalyser", nullptr}},                   // 35 MNY
    {{"FileOLEAnalyser", nullptr}},                   // 36 MOF
    {{"FileMOVAnalyser", nullptr}},                   // 37 MOV
    {{"FileMP3Analyser", nullptr}},                   // 38 MP3
    {{"FileMP4Analyser", nullptr}},                   // 39 MP4
    {{"FileOGGAnalyser", nullptr}},                   // 40 OGG
    {{"FileOLEAnalyser", nullptr}},                   // 41 MPP
    {{"FileOLEAnalyser", nullptr}},                   // 42 OLE
    {{"FileONEAnalyser", nullptr}},                   // 43 ONE
    {{"FilePDFAnalyser", nullptr}},                   // 44 PDF
    {{"FilePNGAnalyser", nullptr}},                   // 45 PNG
    {{"FileOLEAnalyser", nullptr}},                   // 46 PPT
    {{"FileOLEAnalyser", nullptr}},                   // 47 PUB
    {{"FilePSDAnalyser", nullptr}},                   // 48 PSD
    {{"FilePSPAnalyser", nullptr}},                   // 49 PSP
    {{"FilePSTAnalyser", nullptr}},                   // 50 PST
    {{kCustom, nullptr}},                             // 51 QPW
    {{"FileRARAnalyser", nullptr}},                   // 52 RAR
    {{"FileRIFFAnalyser", nullptr}},                  // 53 RIFF
    {{"FileRTFAnalyser", nullptr}},                   // 54 RTF
    {{"FileOLEAnalyser", "FileWPDAnalyser"}},         // 55 SHW
    {{"FileSWFAnalyser", nullptr}},                   // 56 SWF
    {{"FileTARAnalyser", nullptr}},                   // 57 TAR
    {{"FileTIFAnalyser", nullptr}},                   // 58 TIF
    {{"FileOLEAnalyser", nullptr}},                   // 59 VSD
    {{"FileRIFFAnalyser", nullptr}},                  // 60 WAV
    {{"FileOLEAnalyser", "FileWPDAnalyser"}},         // 61 WPD
    {{"FileOLEAnalyser", "FileWPDAnalyser"}},         // 62 WPG
    {{"FileWMFAnalyser", nullptr}},                   // 63 WMF
    {{"FileOLEAnalyser", nullptr}},                   // 64 XLS
    {{"FileZIPAnalyser", nullptr}},                   // 65 ZIP
    {{kCustom, nullptr}},                             // 66 XLSX
    {{kCustom, nullptr}},                             // 67 PPTX
    {{kCustom, nullptr}},                             // 68 VSD
    {{kCustom, nullptr}},                             // 69 PAGES
    {{kCustom, nullptr}},                             // 70 NUMBERS
    {{kCustom, nullptr}},                             // 71 KEY
    {{"FileWMVAnalyser", nullptr}},                   // 72 WMV
    {{kCustom, nullptr}},                             // 73 WMA
    {{kCustom, nullptr}},                             // 74 MKV
    {{kCustom, nullptr}},                             // 75 ARW
    {{kCustom, nullptr}},                             // 76 CR2
    {{kCustom, nullptr}},                             // 77 NEF
    {{kCustom, nullptr}},                             // 78 RAF
    {{kCustom, nullptr}},                             // 79 DNG
    {{kCustom, nullptr}},                             // 80 DNG
    {{kCustom, nullptr}},                             // 81 PEF
    {{"FileDATAnalyser", nullptr}},                   // 82 DAT
    {{kCustom, nullptr}},                             // 83 IND
    {{"FileZIPAnalyser", nullptr}},                   // 84 DOCX
}};

constexpr CatalogueAnalysers kScriptType{{kCustom, nullptr}};

}  // namespace

const CatalogueAnalysers& CatalogueAnalysersOf(std::int32_t typeId) {
  return typeId >= 0 && typeId < static_cast<std::int32_t>(kAnalysers.size())
             ? kAnalysers[static_cast<std::size_t>(typeId)]
             : kScriptType;
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
      // Audio and video.
      {"File3GPAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new File3GPAnalyser); }},
      {"FileASFAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileASFAnalyser); }},
      {"FileAUAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileAUAnalyser); }},
      {"FileFLVAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileFLVAnalyser); }},
      {"FileMIDAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileMIDAnalyser); }},
      {"FileMOVAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileMOVAnalyser); }},
      {"FileMP3Analyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileMP3Analyser); }},
      {"FileMP4Analyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileMP4Analyser); }},
      {"FileOGGAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileOGGAnalyser); }},
      {"FileRIFFAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileRIFFAnalyser); }},
      {"FileSWFAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileSWFAnalyser); }},
      {"FileWMVAnalyser", [] { return std::unique_ptr<IRawFileAnalyser>(new FileWMVAnalyser); }},
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
  IndexByFirstByte();
}

AnalyserRegistry::AnalyserRegistry(std::vector<std::unique_ptr<IRawFileAnalyser>> analysers)
    : analysers_(std::move(analysers)) {
  for (const auto& a : analysers_)
    classNames_.push_back(a->GetTypeName());
  IndexByFirstByte();
}

void AnalyserRegistry::IndexByFirstByte() {
  for (std::size_t b = 0; b < byFirstByte_.size(); ++b) {
    byFirstByte_[b].clear();
    for (const auto& a : analysers_) {
      if (a->MayAcceptFirstByte(static_cast<std::uint8_t>(b)))
        byFirstByte_[b].push_back(a.get());
    }
  }
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
    for (const char* className : CatalogueAnalysersOf(id).classes) {
      if (className)
        Append(className);
    }
  }
  IndexByFirstByte();
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
