// `korvex-cli info PATH`: the sector size, sector count and the volume found at sector 0.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "app/volume_probe.h"
#include "cli/commands.h"
#include "storage/volume.h"

namespace korvex::cli {

namespace {

struct InfoOptions {
  std::string path;
  std::uint32_t sectorSize = 512;
  bool json = false;
};

int RunInfo(const InfoOptions& options) {
  errno = 0;
  std::unique_ptr<CDevice> device = OpenDrivePath(options.path, options.sectorSize);
  if (!device) {
    std::fprintf(stderr, "korvex-cli: cannot open %s%s%s\n", options.path.c_str(), errno ? ": " : "",
                 errno ? std::strerror(errno) : "");
    return 1;
  }
  const std::optional<VolumeSummary> volume = ProbeVolume(*device, 0);

  if (options.json) {
    nlohmann::json out = {{"path", options.path},
                          {"sectorSize", device->GetBytesPerSector()},
                          {"sectors", device->GetSectorCount()},
                          {"volume", nullptr}};
    if (volume) {
      out["volume"] = {{"type", FileSystemShortName(volume->type)},
                       {"totalSectors", volume->totalSectors},
                       {"label", volume->label}};
    }
    std::cout << out.dump(2) << '\n';
    return 0;
  }
  std::cout << "Path:           " << options.path << '\n'
            << "Sector size:    " << device->GetBytesPerSector() << '\n'
            << "Sectors:        " << device->GetSectorCount() << '\n';
  if (!volume) {
    std::cout << "Volume:         none recognised at sector 0\n";
    return 0;
  }
  std::cout << "Volume type:    " << FileSystemShortName(volume->type) << '\n'
            << "Total sectors:  " << volume->totalSectors << '\n'
            << "Label:          " << (volume->label.empty() ? "(none)" : volume->label) << '\n';
  return 0;
}

}  // namespace

Command AddInfoCommand(CLI::App& app) {
  auto options = std::make_shared<InfoOptions>();
  CLI::App* info =
      app.add_subcommand("info", "Show the sector size, sector count and the volume at sector 0");
  info->add_option("PATH", options->path, "Disk image or block device")->required();
  info->add_option("--sector-size", options->sectorSize, "Sector size of an image file")
      ->check(CLI::IsMember({512u, 4096u}));
  info->add_flag("--json", options->json, "Print one JSON object");
  return {info, [options] { return RunInfo(*options); }};
}

}  // namespace korvex::cli
