// The content check over the analyser registry.
#include "output/content_check.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <vector>

#include "carving/analyser_registry.h"
#include "common/database.h"
#include "model/data_run_list.h"
#include "model/file_node.h"
#include "storage/device.h"

namespace korvex {

namespace {

template <std::size_t N>
bool OneOf(std::string_view extension, const std::array<std::string_view, N>& list) {
  return std::find(list.begin(), list.end(), extension) != list.end();
}

}  // namespace

bool AnalyserAppliesTo(std::string_view typeName, std::string_view extension) {
  static constexpr std::array<std::string_view, 11> kOle = {"DOC", "PPT", "XLS", "MOF", "MAX", "VSD",
                                                            "WPD", "SHW", "PUB", "MPP", "ADP"};
  static constexpr std::array<std::string_view, 4> kZip = {"DOCX", "ZIP", "XLSX", "PPTX"};
  static constexpr std::array<std::string_view, 6> kTif = {"ARW", "CR2", "NEF", "RAF", "DNG", "PEF"};
  static constexpr std::array<std::string_view, 3> kAsf = {"WMA", "WMV", "ASF"};
  // Names that are no extension: the Matroska analyser's, and the AU analyser's (which never matches).
  static constexpr std::array<std::string_view, 2> kMatroska = {"MKV", "WEBM"};
  static constexpr std::array<std::string_view, 4> kMp4 = {"MP4", "M4A", "M4V", "M4B"};
  static constexpr std::array<std::string_view, 4> kRiff = {"RIFF", "WAV", "AVI", "CDR"};
  static constexpr std::array<std::string_view, 4> kOgg = {"OGG", "OGA", "OGV", "OPUS"};
  if (typeName == "OLE")
    return OneOf(extension, kOle);
  if (typeName == "ZIP")
    return OneOf(extension, kZip);
  if (typeName == "TIF")
    return OneOf(extension, kTif);
  if (typeName == "ASF")
    return OneOf(extension, kAsf);
  if (typeName == "WMV")
    return OneOf(extension, kMatroska);
  if (typeName == "MP4")
    return OneOf(extension, kMp4);
  if (typeName == "RIFF")
    return OneOf(extension, kRiff);
  if (typeName == "OGG")
    return OneOf(extension, kOgg);
  if (typeName == "3GP")
    return extension == "3GP" || extension == "3G2";
  if (typeName == "NULL")
    return extension == "AU";
  return typeName == extension;
}

std::uint32_t VerifyFileContentAt(IDevice& device, CFileNode* node, std::string_view extension,
                                  std::uint64_t volumeBase, std::uint32_t sectorsPerCluster,
                                  const AnalyserRegistry* registry) {
  if (!node || !node->properties || node->IsFolder())
    return 0;
  const IFileProperties& properties = *node->properties;
  const bool compressed = (properties.GetAttributes() & file_attr::kCompressed) != 0;
  if (compressed && sectorsPerCluster > 8)
    return 0;
  const std::unique_ptr<IDataRunList> runs = properties.CreateDataRunList();
  const DataRun* first = runs ? runs->First() : nullptr;
  if (!first || runs->IsResident() || compressed)
    return 0;
  const std::uint32_t bytesPerSector = CDataBase::Instance().bytesPerSector;
  if (bytesPerSector != 512 && bytesPerSector != 4096)
    return 1;
  const AnalyserRegistry& analysers = registry ? *registry : AnalyserRegistry::Instance();
  if (analysers.Empty())
    return 1;
  // A sparse start or one past what sector numbers address has no sector to look at.
  if (first->start < 0 || sectorsPerCluster == 0)
    return 0;
  const auto start = static_cast<std::uint64_t>(first->start);
  if (start > (std::numeric_limits<std::uint64_t>::max() - volumeBase) / sectorsPerCluster)
    return 0;
  std::vector<std::uint8_t> sector(bytesPerSector, 0);
  device.Read(sector.data(), volumeBase + start * sectorsPerCluster, 1, bytesPerSector);
  for (const auto& analyser : analysers.Analysers()) {
    if (!AnalyserAppliesTo(analyser->GetTypeName(), extension))
      continue;
    CRawFileInfo info;
    if (const int answer = analyser->CheckSignature(sector.data(), info))
      return static_cast<std::uint32_t>(answer);
  }
  return 0;
}

std::uint32_t VerifyFileContent(IDevice& device, CFileNode* node, std::string_view extension,
                                const AnalyserRegistry* registry) {
  std::uint64_t base = 0;
  std::uint32_t sectors = 0;
  if (!node || !node->GetVolumeGeometry(base, sectors))
    return 0;
  return VerifyFileContentAt(device, node, extension, base, sectors, registry);
}

}  // namespace korvex
