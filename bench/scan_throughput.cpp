// Whole-process benchmark of a scan: with controllers that do nothing (the machine's own overhead), or
// with the RAW controller and every analyser there is (--raw). scripts/bench_scan.sh compares it with
// `cat` of the same image.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <cstring>
#include <memory>
#include <vector>

#include "app/volume_probe.h"
#include "carving/raw_search_controller.h"
#include "scan/progress_sink.h"
#include "scan/search_machine.h"

namespace {

class IdleController : public korvex::IFileSystemSearchController {
 public:
  void Attach(korvex::IDevice*) override {}
  void SetBlockSectors(std::uint32_t) override {}
  void Begin() override {}
  void Finish(korvex::iSearch*) override {}
  int ProcessBlock(const std::uint8_t* block, std::uint64_t, std::uint64_t, korvex::ScanCounters*) override {
    checksum += block[0];  // touch the block so that nothing is optimised away
    return 1;
  }
  std::int32_t GetKind() override { return korvex::kControllerRaw; }
  void CollectCandidates(korvex::CandidateList&, korvex::IDevice*) override {}
  void SetRawFileList(korvex::RawFileList*) override {}
  void SetProgressShare(std::uint64_t) override {}
  void Save(korvex::IByteStream&) override {}
  void Load(korvex::IByteStream&) override {}
  korvex::TreeRoots BuildTree(korvex::CSearchedPartitionInfo*, korvex::IDevice*, korvex::iSearch*) override {
    return {nullptr, nullptr};
  }
  int Accepts(std::int32_t) override { return 0; }
  std::uint64_t checksum = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const bool rawScan = argc == 3 && std::strcmp(argv[1], "--raw") == 0;
  if (argc != 2 && !rawScan) {
    std::fprintf(stderr, "usage: %s [--raw] IMAGE\n", argv[0]);
    return 2;
  }
  const char* path = argv[argc - 1];
  auto device = korvex::OpenDrivePath(path, 512);
  if (!device) {
    std::fprintf(stderr, "cannot open %s\n", path);
    return 1;
  }
  IdleController fat, ntfs, idleRaw;
  korvex::CRAWSearchController raw;
  korvex::RawFileList finds;
  raw.SetRawFileList(&finds);
  korvex::CSearchMachine machine;
  machine.AddController(&fat);
  machine.AddController(&ntfs);
  machine.AddController(rawScan ? static_cast<korvex::IFileSystemSearchController*>(&raw) : &idleRaw);
  machine.SetDevice(device.get());
  korvex::CSearchProgress sink;

  const auto start = std::chrono::steady_clock::now();
  machine.Start(&sink, 0, 0, 0, 0);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double mib = static_cast<double>(device->GetSectorCount()) * device->GetBytesPerSector() / (1 << 20);
  std::printf("%.3f s  %.0f MiB/s  (%.0f MiB, %zu finds, checksum %llu)\n", seconds, mib / seconds, mib,
              finds.Size(), static_cast<unsigned long long>(fat.checksum));
  return 0;
}
