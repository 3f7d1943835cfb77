// Every picture analyser's check and size step over arbitrary device bytes: the input is a small
// device whose first sector is offered to each analyser; the size step runs whatever the check said,
// so that the walks meet crafted headers too.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "carving/analysers/picture_analysers.h"
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
    list.emplace_back(new FileJPGAnalyser);
    list.emplace_back(new FileTIFAnalyser);
    list.emplace_back(new FileCRWAnalyser);
    list.emplace_back(new FilePNGAnalyser);
    list.emplace_back(new FileGIFAnalyser);
    list.emplace_back(new FileBMPAnalyser);
    list.emplace_back(new FilePSDAnalyser);
    list.emplace_back(new FilePSPAnalyser);
    list.emplace_back(new FileICOAnalyser);
    list.emplace_back(new FileEMFAnalyser);
    list.emplace_back(new FileWMFAnalyser);
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
