// The extension lists behind the type codes, and the scan-time name classification.
#include "model/extension_classification.h"

#include <algorithm>
#include <array>
#include <string>
#include <unordered_map>

#include "common/database.h"
#include "model/file_type_catalogue.h"

namespace korvex {
namespace {

struct Category {
  std::uint16_t typeCode;
  std::atomic<std::uint64_t> CDataBase::*counter;
  std::string_view extensions;  // dot-prefixed, separated by spaces
};

// Searched in this order; the scan counts a name under the first category that lists it.
const std::array<Category, 4> kCategories = {{
    {kTypePicture, &CDataBase::foundPictures,
     ".3DS .3DM .ABR .ACB .ADO .ALBM .ANI .ARW .BLD .BMP .CAM .CAR .CR2 .RAF .CRW .CSH .CTG .DCM .DCR .DNG "
     ".DP .DPX .DSC .DWG .EMF .ERS .EXS .FH10 .FH5 .GIF .GP5 .ICC .ICO .INDD .JNG .JPG .PNG .PSD .RAW .RW2 "
     ".NEF .XV .WDP .WMF .X3F .PBM .PCT .PSB .PEF .PSP .PSF .MAX .MPO .MRW .ORF .TIF"},
    {kTypeArchive, &CDataBase::foundArchives,
     ".7Z .A .ACE .ARJ .BKF .BZ2 .CAB .DAR .DEB .DUMP .GZ .LZH .LZO .PAR2 .RAR .RPM .STU .TAR .VBM .WIM .XZ "
     ".ZIP"},
    {kTypeMultimedia, &CDataBase::foundVideos,
     ".3G2 .3GP .AEP .AIF .ALL .ALS .APE .ARI .ASF .ASL .AU .AVI .CDA .CDD .CDL .CDT .CUE .DAD .DJV .DV "
     ".FLAC .FLA .FLV .IDF .IDX .IFO .ISO .ITU .M2T .M2TS .M3U .MB .MFA .MID .MKV .MLV .MNG .MOV .MP3 .MP4 "
     ".MPG .MP .OGG .OGM .OGV .PVP .WMV .SWF .TS .TOD .SWC"},
    {kTypeOffice, &CDataBase::foundDocuments,
     ".AI .CSV .CWK .DOC .DOCX .FB2 .FP12 .KMY .LYX .MDB .NJX .ODG .ODP .ODS .ODT .ONE .PAGES .PAP .PPT "
     ".PPTX .PUB .PBB .QBW .QPW .RTF .SDA .SDC .SDD .SDW .SLK .SAV .SNT .SXC .SXD .SXI .SXW .TEX .TXT .VSD "
     ".WPD .WPS .XLR .XLS .XLSX .WDB .WK4 .WKS .PDF"},
}};

template <typename F>
void ForEachWord(std::string_view words, F f) {
  while (!words.empty()) {
    const std::size_t end = std::min(words.find(' '), words.size());
    if (end > 0)
      f(words.substr(0, end));
    words.remove_prefix(std::min(end + 1, words.size()));
  }
}

// Extension with its dot → index into kCategories.
const std::unordered_map<std::string_view, std::size_t>& CategoryTable() {
  static const auto table = [] {
    std::unordered_map<std::string_view, std::size_t> map;
    for (std::size_t i = 0; i < kCategories.size(); ++i)
      ForEachWord(kCategories[i].extensions, [&](std::string_view word) { map.emplace(word, i); });
    return map;
  }();
  return table;
}

// First five characters of a built-in catalogue extension (ids 1..84, upper case) → id; emplace keeps
// the first, that is the lower, id of a shared key.
const std::unordered_map<std::string, std::uint16_t>& CatalogueTable() {
  static const auto table = [] {
    std::unordered_map<std::string, std::uint16_t> map;
    const FileTypeCatalogue& catalogue = FileTypeCatalogue::Instance();
    for (std::uint16_t id = 1; id <= FileTypeCatalogue::kLastBuiltInId; ++id) {
      std::string key(catalogue.GetExtension(id).substr(0, 5));
      std::transform(key.begin(), key.end(), key.begin(),
                     [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
      map.emplace(std::move(key), id);
    }
    return map;
  }();
  return table;
}

template <typename Char>
std::uint16_t Classify(const Char* name, std::uint8_t length) {
  if (name == nullptr || length <= 2)
    return 0;
  const Char* end = name + length;
  const Char* dot = end;
  for (const Char* p = end; p != name;) {
    if (*--p == Char('.')) {
      dot = p;
      break;
    }
  }
  if (dot == end || dot == name || end - dot - 1 > 4)
    return 0;

  // Upper case; a character outside ASCII matches no list and no catalogue entry.
  std::string extension = ".";
  bool ascii = true;
  for (const Char* p = dot + 1; p != end; ++p) {
    const auto c = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<Char>>(*p));
    if (c >= 0x80) {
      ascii = false;
      break;
    }
    extension += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : static_cast<char>(c);
  }

  CDataBase& database = CDataBase::Instance();
  database.foundTotal.fetch_add(1, std::memory_order_relaxed);
  if (!ascii)
    return 0;
  const auto& categories = CategoryTable();
  if (auto hit = categories.find(extension); hit != categories.end())
    (database.*kCategories[hit->second].counter).fetch_add(1, std::memory_order_relaxed);
  const auto& catalogue = CatalogueTable();
  const auto id = catalogue.find(extension.substr(1));
  return id == catalogue.end() ? 0 : id->second;
}

}  // namespace

std::uint16_t ClassifyExtension(std::string_view extension) {
  const auto& categories = CategoryTable();
  const auto hit = categories.find(extension);
  return hit == categories.end() ? kTypeOther : kCategories[hit->second].typeCode;
}

std::uint16_t ClassifyForScan(const char* name, std::uint8_t length) {
  return Classify(name, length);
}

std::uint16_t ClassifyForScan(const char16_t* name, std::uint8_t length) {
  return Classify(name, length);
}

}  // namespace korvex
