// `korvex-cli drives`: the drives of the machine and the disk images named on the command line, each
// with its volumes, its unallocated gaps and, for a very large drive, the parts a lost-partition scan
// takes; as text or as one JSON object.
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/volume_probe.h"
#include "cli/commands.h"
#include "platform/drive_table.h"
#include "platform/sysfs_drives.h"
#include "storage/drive_list.h"
#include "storage/volume_list.h"

namespace korvex::cli {

namespace {

struct DrivesOptions {
  std::vector<std::string> images;
  bool imagesOnly = false;
  bool json = false;
};

struct ImageArgument {
  std::string path;
  std::uint32_t sectorSize = 512;
};

// "PATH" or "PATH:SECTORSIZE"; a colon followed by anything but digits belongs to the path.
bool ParseImage(const std::string& text, ImageArgument& image) {
  image.path = text;
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon + 1 == text.size() ||
      text.find_first_not_of("0123456789", colon + 1) != std::string::npos)
    return true;
  const std::string digits = text.substr(colon + 1);
  image.path = text.substr(0, colon);
  if (digits.size() > 5)
    return false;
  image.sectorSize = static_cast<std::uint32_t>(std::stoul(digits));
  return image.sectorSize == 512 || image.sectorSize == 1024 || image.sectorSize == 2048 ||
         image.sectorSize == 4096;
}

struct DriveView {
  int number;
  std::string path;
  DeviceInfo info;
  std::uint64_t sectors;
  std::uint32_t sectorSize;
  std::vector<const ListedVolume*> volumes;
  std::vector<UnallocatedGap> gaps;
  std::vector<DrivePart> parts;
};

std::vector<DriveView> Describe() {
  std::vector<DriveView> views;
  int gapCounter = 0;
  for (const auto& drive : ListedDrives::Instance().driveList) {
    DriveView view{};
    view.number = drive->GetDriveNumber();
    const auto path = platform::DriveTable::Instance().Lookup(view.number);
    view.path = path ? path->path : "";
    GetDeviceInfo(*drive, view.info);
    view.sectors = drive->GetSectorCount();
    view.sectorSize = drive->GetBytesPerSector();
    view.volumes = VolumesOfDrive(view.number);
    std::vector<VolumeExtent> extents;
    for (const ListedVolume* v : view.volumes)
      extents.push_back(v->entry.extents[0]);
    view.gaps = ListUnallocatedGaps(extents, view.sectors, view.sectorSize, gapCounter);
    view.parts = ListDriveParts(view.sectors, view.sectorSize);
    views.push_back(std::move(view));
  }
  return views;
}

// `text` padded with spaces to `width` characters (UTF-8 characters, not bytes, so that names outside
// ASCII keep the columns straight).
std::string Padded(const std::string& text, std::size_t width) {
  std::size_t characters = 0;
  for (char c : text)
    characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return characters >= width ? text : text + std::string(width - characters, ' ');
}

std::string Label(const VolumeEntry& entry) {
  return std::string(entry.label, strnlen(entry.label, sizeof entry.label));
}

void PrintJson(const std::vector<DriveView>& views, int denied) {
  nlohmann::ordered_json drives = nlohmann::ordered_json::array();
  for (const DriveView& d : views) {
    nlohmann::ordered_json volumes = nlohmann::ordered_json::array();
    for (const ListedVolume* v : d.volumes) {
      // Copies of the packed record's fields: a reference to one may be misaligned.
      const std::uint64_t start = v->entry.extents[0].startSector;
      const std::uint64_t sectors = v->entry.extents[0].sectorCount;
      volumes.push_back({{"name", VolumeDisplayName(v->entry)},
                         {"fsType", FileSystemShortName(v->entry.fsType)},
                         {"start", start},
                         {"sectors", sectors},
                         {"sizeText", SectorsSizeText(sectors, d.sectorSize)},
                         {"label", Label(v->entry)},
                         {"gptName", EntryGptName(v->entry)},
                         {"mountPoint", v->mountPoint}});
    }
    nlohmann::ordered_json gaps = nlohmann::ordered_json::array();
    for (const UnallocatedGap& g : d.gaps) {
      gaps.push_back(
          {{"name", g.name}, {"start", g.startSector}, {"sectors", g.sectorCount}, {"sizeText", g.sizeText}});
    }
    nlohmann::ordered_json parts = nlohmann::ordered_json::array();
    for (const DrivePart& p : d.parts)
      parts.push_back({{"name", p.name}, {"start", p.startSector}, {"sectors", p.sectorCount}});
    drives.push_back({{"index", d.number},
                      {"path", d.path},
                      {"text", DriveText(d.info)},
                      {"sectors", d.sectors},
                      {"sectorSize", d.sectorSize},
                      {"sizeText", SectorsSizeText(d.sectors, d.sectorSize)},
                      {"busType", d.info.busType},
                      {"busName", BusName(d.info.busType)},
                      {"removable", IsRemovableBus(d.info.busType)},
                      {"volumes", volumes},
                      {"gaps", gaps},
                      {"parts", parts}});
  }
  nlohmann::ordered_json out = {{"drives", drives}, {"skippedForPermission", denied}};
  // Texts from media may hold bytes that are not UTF-8; they are shown replaced, never refused.
  std::cout << out.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

void PrintText(const std::vector<DriveView>& views) {
  if (views.empty())
    std::cout << "No drives listed.\n";
  for (const DriveView& d : views) {
    std::printf("Drive %d: %s\n", d.number, DriveText(d.info).c_str());
    std::printf("  %s, %s, %llu sectors of %u bytes, %s, %s\n", d.path.c_str(),
                SectorsSizeText(d.sectors, d.sectorSize).c_str(), static_cast<unsigned long long>(d.sectors),
                d.sectorSize, d.info.busName[0] ? d.info.busName : "unknown bus",
                IsRemovableBus(d.info.busType) ? "removable" : "fixed");
    if (!d.volumes.empty()) {
      std::printf("  %-32s %12s  %-12s %12s %12s  %s\n", "Volume", "Size", "Type", "Start", "Sectors",
                  "Label / GPT name / mounted on");
      for (const ListedVolume* v : d.volumes) {
        const VolumeEntry& e = v->entry;
        std::string details = Label(e);
        const std::string gptName = EntryGptName(e);
        if (!gptName.empty())
          details += (details.empty() ? "" : " / ") + ("\"" + gptName + "\"");
        if (!v->mountPoint.empty())
          details += (details.empty() ? "" : " / ") + v->mountPoint;
        std::printf("  %s %12s  %-12s %12llu %12llu  %s\n", Padded(VolumeDisplayName(e), 32).c_str(),
                    SectorsSizeText(e.extents[0].sectorCount, d.sectorSize).c_str(),
                    FileSystemShortName(e.fsType).c_str(),
                    static_cast<unsigned long long>(e.extents[0].startSector),
                    static_cast<unsigned long long>(e.extents[0].sectorCount), details.c_str());
      }
    }
    for (const UnallocatedGap& g : d.gaps) {
      std::printf("  %-32s %12s  %-12s %12llu %12llu\n", g.name.c_str(), g.sizeText.c_str(),
                  g.typeText.c_str(), static_cast<unsigned long long>(g.startSector),
                  static_cast<unsigned long long>(g.sectorCount));
    }
    if (!d.parts.empty()) {
      std::printf("  Parts for a lost-partition scan:\n");
      for (const DrivePart& p : d.parts) {
        std::printf("  %-32s %12s  %-12s %12llu %12llu\n", p.name.c_str(),
                    SectorsSizeText(p.sectorCount, d.sectorSize).c_str(), "",
                    static_cast<unsigned long long>(p.startSector),
                    static_cast<unsigned long long>(p.sectorCount));
      }
    }
  }
  std::fflush(stdout);
}

int RunDrives(const DrivesOptions& options) {
  std::vector<ImageArgument> images;
  for (const std::string& text : options.images) {
    ImageArgument image;
    if (!ParseImage(text, image)) {
      std::fprintf(stderr, "korvex-cli: --image %s: the sector size must be 512, 1024, 2048 or 4096\n",
                   text.c_str());
      return 2;
    }
    images.push_back(image);
  }

  auto& table = platform::DriveTable::Instance();
  table.Clear();
  if (!options.imagesOnly)
    platform::RefreshBlockDevices();
  for (const ImageArgument& image : images) {
    const int number = table.AddImage(image.path, image.sectorSize);
    if (number > CDevice::kMaxDriveIndex) {
      std::fprintf(stderr, "korvex-cli: %s would be drive %d, but drives are numbered 0 to %d\n",
                   image.path.c_str(), number, CDevice::kMaxDriveIndex);
      return 1;
    }
  }

  std::vector<DriveOpenFailure> failures;
  ListDrives(&failures);
  int denied = 0;
  for (const DriveOpenFailure& f : failures) {
    const auto path = table.Lookup(f.driveNumber);
    if (path && path->isImage) {
      std::fprintf(stderr, "korvex-cli: cannot open %s: %s\n", path->path.c_str(), std::strerror(f.error));
      return 1;
    }
    if (f.error == EACCES || f.error == EPERM)
      ++denied;
  }
  ListAllVolumes(VolumeAnalysers());

  const std::vector<DriveView> views = Describe();
  if (options.json)
    PrintJson(views, denied);
  else
    PrintText(views);
  if (denied > 0 && geteuid() == 0) {
    std::fprintf(stderr,
                 "korvex-cli: %d drive%s not listed: the system denies access even to root (a container or a "
                 "security policy keeps %s from this process).\n",
                 denied, denied == 1 ? "" : "s", denied == 1 ? "it" : "them");
  } else if (denied > 0) {
    std::fprintf(
        stderr,
        "korvex-cli: %d drive%s not listed: no permission to read %s. Run as root (sudo korvex-cli drives) "
        "or add your user to the group that owns the disks (usually \"disk\").\n",
        denied, denied == 1 ? "" : "s", denied == 1 ? "it" : "them");
  }
  return 0;
}

}  // namespace

Command AddDrivesCommand(CLI::App& app) {
  auto options = std::make_shared<DrivesOptions>();
  CLI::App* drives =
      app.add_subcommand("drives", "List the drives and disk images with their volumes and gaps");
  drives->add_option("--image", options->images, "A disk image to list as a drive, PATH or PATH:SECTORSIZE")
      ->take_all()
      ->allow_extra_args(false);
  drives->add_flag("--images-only", options->imagesOnly,
                   "List only the images given, not the machine's drives");
  drives->add_flag("--json", options->json, "Print one JSON object");
  return {drives, [options] { return RunDrives(*options); }};
}

}  // namespace korvex::cli
