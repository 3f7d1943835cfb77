#include "platform/sysfs_drives.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string_view>
#include <system_error>

#include "platform/drive_table.h"

namespace korvex::platform {

namespace fs = std::filesystem;

namespace {

// The patterns of the names of whole disks, in listing order of their kinds.
const std::array<std::regex, 7>& DiskPatterns() {
  static const std::array<std::regex, 7> patterns = {
      std::regex("sd[a-z]+"),   std::regex("hd[a-z]+"),          std::regex("vd[a-z]+"),
      std::regex("xvd[a-z]+"),  std::regex("nvme[0-9]+n[0-9]+"), std::regex("mmcblk[0-9]+"),
      std::regex("loop[0-9]+"),
  };
  return patterns;
}

int KindRank(const std::string& name) {
  const auto& patterns = DiskPatterns();
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    if (std::regex_match(name, patterns[i]))
      return static_cast<int>(i);
  }
  return -1;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string_view()
                                         : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Names in order with their digit runs compared as numbers and their letter runs shorter first
// (sdz before sdaa, loop2 before loop10).
bool NameLess(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const bool digitA = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
    const bool digitB = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
    std::size_t ei = i;
    std::size_t ej = j;
    while (ei < a.size() && (std::isdigit(static_cast<unsigned char>(a[ei])) != 0) == digitA)
      ++ei;
    while (ej < b.size() && (std::isdigit(static_cast<unsigned char>(b[ej])) != 0) == digitB)
      ++ej;
    std::string_view ra(a.data() + i, ei - i);
    std::string_view rb(b.data() + j, ej - j);
    if (digitA && digitB) {
      while (ra.size() > 1 && ra[0] == '0')
        ra.remove_prefix(1);
      while (rb.size() > 1 && rb[0] == '0')
        rb.remove_prefix(1);
    }
    if (digitA == digitB && ra.size() != rb.size())
      return ra.size() < rb.size();
    if (ra != rb)
      return ra < rb;
    i = ei;
    j = ej;
  }
  return a.size() - i < b.size() - j;
}

// A sysfs attribute without its line end; padding spaces are kept. Empty when absent.
std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  if (!in)
    return {};
  std::string text;
  std::getline(in, text);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  return text;
}

DeviceNumber ParseDeviceNumber(std::string_view text) {
  DeviceNumber number;
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos)
    return number;
  try {
    number.major = static_cast<std::uint32_t>(std::stoul(std::string(text.substr(0, colon))));
    number.minor = static_cast<std::uint32_t>(std::stoul(std::string(text.substr(colon + 1))));
  } catch (...) {
    return DeviceNumber{};
  }
  return number;
}

// "\x20"-style escapes of the udev database's *_ENC values.
std::string DecodeUdevEscapes(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 2, 2)), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::map<std::string, std::string> ReadUdevProperties(const SysfsRoots& roots, DeviceNumber number) {
  std::map<std::string, std::string> properties;
  std::ifstream in(roots.udev + "/data/b" + std::to_string(number.major) + ":" +
                   std::to_string(number.minor));
  for (std::string line; std::getline(in, line);) {
    if (!StartsWith(line, "E:"))
      continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos)
      continue;
    properties[line.substr(2, eq - 2)] = line.substr(eq + 1);
  }
  return properties;
}

std::string UdevText(const std::map<std::string, std::string>& properties, const std::string& key) {
  if (auto it = properties.find(key + "_ENC"); it != properties.end())
    return DecodeUdevEscapes(it->second);
  if (auto it = properties.find(key); it != properties.end())
    return it->second;
  return {};
}

// mountinfo escapes space, tab, newline and backslash as three octal digits.
std::string UnescapeMountPoint(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size()) {
      const std::string_view digits = text.substr(i + 1, 3);
      if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
        out += static_cast<char>(((digits[0] - '0') << 6) | ((digits[1] - '0') << 3) | (digits[2] - '0'));
        i += 3;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::string MountPointOf(const std::vector<MountEntry>& mounts, DeviceNumber number) {
  std::string found;
  for (const MountEntry& m : mounts) {
    if (m.number == number)
      found = m.mountPoint;  // the last mount of a device wins, as with several drive letters
  }
  return found;
}

void Describe(BlockDeviceDescription& d, const fs::path& blockDir, const SysfsRoots& roots) {
  const fs::path device = blockDir / "device";
  const bool scsiLike = StartsWith(d.name, "sd") || StartsWith(d.name, "hd");
  if (scsiLike) {
    d.vendor = ReadAttribute(device / "vendor");
    d.model = ReadAttribute(device / "model");
    d.revision = ReadAttribute(device / "rev");
  } else if (StartsWith(d.name, "nvme")) {
    d.model = ReadAttribute(device / "model");
    d.revision = ReadAttribute(device / "firmware_rev");
    d.serial = ReadAttribute(device / "serial");
  } else if (StartsWith(d.name, "mmcblk")) {
    d.model = ReadAttribute(device / "name");
    d.revision = ReadAttribute(device / "fwrev");
    d.serial = ReadAttribute(device / "serial");
  } else if (StartsWith(d.name, "vd")) {
    d.serial = ReadAttribute(blockDir / "serial");
  }
  // The udev database fills what sysfs does not tell (USB and ATA serial numbers, virtio models).
  const auto properties = ReadUdevProperties(roots, d.number);
  // Linux's SCSI layer names every ATA disk's vendor "ATA" and cuts its model to the 16 characters
  // of a SCSI inquiry; the disk's own identify data, which udev keeps, has the whole model and
  // firmware revision, and no vendor field.
  if (d.busType == kBusAta && scsiLike) {
    if (Trimmed(d.vendor) == "ATA")
      d.vendor.clear();
    if (const std::string model = UdevText(properties, "ID_MODEL"); !model.empty())
      d.model = model;
    if (const std::string revision = UdevText(properties, "ID_REVISION"); !revision.empty())
      d.revision = revision;
  }
  if (d.vendor.empty())
    d.vendor = UdevText(properties, "ID_VENDOR");
  if (d.model.empty())
    d.model = UdevText(properties, "ID_MODEL");
  if (d.revision.empty())
    d.revision = UdevText(properties, "ID_REVISION");
  if (d.serial.empty())
    d.serial = UdevText(properties, "ID_SERIAL_SHORT");
  // A loop device is known by its backing file; any other disk that names no model by its kernel
  // name, so that the user can tell it apart.
  if (d.model.empty() && StartsWith(d.name, "loop"))
    d.model = fs::path(ReadAttribute(blockDir / "loop" / "backing_file")).filename().string();
  if (d.model.empty())
    d.model = d.name;
}

}  // namespace

bool IsWholeDiskName(const std::string& name) {
  return KindRank(name) >= 0;
}

std::uint32_t BusTypeOfSysfsPath(const std::string& devicePath, const std::string& name) {
  std::vector<std::string> parts;
  std::stringstream stream(devicePath);
  for (std::string part; std::getline(stream, part, '/');)
    parts.push_back(part);
  auto any = [&](const std::regex& pattern) {
    return std::any_of(parts.begin(), parts.end(),
                       [&](const std::string& p) { return std::regex_match(p, pattern); });
  };
  static const std::regex usb("usb[0-9]+");
  static const std::regex ata("ata[0-9]+");
  static const std::regex mmc("mmc_host|mmc[0-9]+");
  static const std::regex nvme("nvme|nvme[0-9]+");
  static const std::regex scsiHost("host[0-9]+|target[0-9:]+");
  if (any(usb))
    return kBusUsb;
  if (StartsWith(name, "mmcblk") || any(mmc))
    return kBusSd;
  if (StartsWith(name, "nvme") || any(nvme))
    return kBusNvme;
  if (any(ata) || StartsWith(name, "hd"))
    return kBusAta;
  if (StartsWith(name, "vd") || StartsWith(name, "xvd"))
    return kBusVirtual;
  if (StartsWith(name, "loop"))
    return kBusFileBacked;
  if (any(scsiHost))
    return kBusScsi;
  return kBusUnknown;
}

std::vector<MountEntry> ReadMountInfo(const std::string& path) {
  std::vector<MountEntry> mounts;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    // id parent major:minor root mount-point options ...
    std::istringstream fields(line);
    std::string id, parent, number, root, mountPoint;
    if (!(fields >> id >> parent >> number >> root >> mountPoint))
      continue;
    mounts.push_back({ParseDeviceNumber(number), UnescapeMountPoint(mountPoint)});
  }
  return mounts;
}

std::vector<BlockDeviceDescription> ListBlockDevices(const SysfsRoots& roots) {
  std::vector<BlockDeviceDescription> disks;
  const fs::path blockRoot = fs::path(roots.sys) / "block";
  std::error_code ec;
  fs::directory_iterator it(blockRoot, ec);
  if (ec)
    return disks;
  const std::vector<MountEntry> mounts = ReadMountInfo(roots.mountInfo);
  for (const fs::directory_entry& entry : it) {
    const std::string name = entry.path().filename().string();
    if (!IsWholeDiskName(name))
      continue;
    const fs::path blockDir = entry.path();
    if (StartsWith(name, "loop") && ReadAttribute(blockDir / "loop" / "backing_file").empty())
      continue;
    BlockDeviceDescription d;
    d.name = name;
    d.path = roots.dev + "/" + name;
    d.number = ParseDeviceNumber(ReadAttribute(blockDir / "dev"));
    const fs::path resolved = fs::canonical(blockDir, ec);
    d.busType = BusTypeOfSysfsPath(ec ? blockDir.string() : resolved.string(), name);
    if (d.busType == kBusSd && ReadAttribute(blockDir / "device" / "type") == "MMC")
      d.busType = kBusMmc;
    Describe(d, blockDir, roots);
    d.mountPoint = MountPointOf(mounts, d.number);

    fs::directory_iterator parts(blockDir, ec);
    if (!ec) {
      for (const fs::directory_entry& p : parts) {
        const std::string partName = p.path().filename().string();
        if (!StartsWith(partName, name) || !fs::exists(p.path() / "partition", ec))
          continue;
        BlockPartition part;
        part.name = partName;
        part.number = ParseDeviceNumber(ReadAttribute(p.path() / "dev"));
        try {
          part.start512 = std::stoull(ReadAttribute(p.path() / "start"));
        } catch (...) {
          continue;
        }
        part.mountPoint = MountPointOf(mounts, part.number);
        d.partitions.push_back(std::move(part));
      }
    }
    std::sort(d.partitions.begin(), d.partitions.end(),
              [](const BlockPartition& a, const BlockPartition& b) { return NameLess(a.name, b.name); });
    disks.push_back(std::move(d));
  }
  std::sort(disks.begin(), disks.end(), [](const BlockDeviceDescription& a, const BlockDeviceDescription& b) {
    const int ka = KindRank(a.name);
    const int kb = KindRank(b.name);
    return ka != kb ? ka < kb : NameLess(a.name, b.name);
  });
  return disks;
}

void RefreshBlockDevices(const SysfsRoots& roots) {
  DriveTable::Instance().SetBlockDevices(ListBlockDevices(roots));
}

}  // namespace korvex::platform
