// Every audio and video analyser's check and size step over arbitrary device bytes: the input is a
// small device whose first sector is offered to each analyser; the size step runs whatever the check
// said, so that the walks meet crafted headers too.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "carving/analysers/media_analysers.h"
#include "common/database.h"
#include "storage/memory_device.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvex;
  constexpr std::size_t kSector = 512;
  std::vector<std::uint8_t> bytes(data, data + size);
  bytes.resize((bytes.size() + kSector - 1) / kSector * kSector + kSector, 0);
  CDataBase::Instance().bytesPerSector = kSector;
  CMemoryDevice device(bytes, kSector);
  static std::vector<std::unique_ptr<IRawFileAnalyser>> analysers = [] {
    std::vector<std::unique_ptr<IRawFileAnalyser>> list;
    list.emplace_back(new File3GPAnalyser);
    list.emplace_back(new FileMP4Analyser);
    list.emplace_back(new FileMOVAnalyser);
    list.emplace_back(new FileRIFFAnalyser);
    list.emplace_back(new FileASFAnalyser);
    list.emplace_back(new FileWMVAnalyser);
    list.emplace_back(new FileMP3Analyser);
    list.emplace_back(new FileOGGAnalyser);
    list.emplace_back(new FileFLVAnalyser);
    list.emplace_back(new FileMIDAnalyser);
    list.emplace_back(new FileSWFAnalyser);
    list.emplace_back(new FileAUAnalyser);
    return list;
  }();
  for (const auto& analyser : analysers) {
    CRawFileInfo info;
    (void)analyser->CheckSignature(bytes.data(), info);
    info.startSector = 0;
    (void)analyser->DetermineSize(info, device);
    (void)analyser->GetTypeName();
  }
  return 0;
}
