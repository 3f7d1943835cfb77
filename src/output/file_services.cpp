// The Linux file services of the recovered-file writer.
#include "output/file_services.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace korvex {

namespace {

constexpr std::size_t kMaxKeptExtension = 16;

// Cuts `text` to at most `limit` bytes without leaving a partial UTF-8 character at its end.
std::string_view CutUtf8(std::string_view text, std::size_t limit) {
  if (text.size() <= limit)
    return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
    --end;
  return text.substr(0, end);
}

}  // namespace

std::string SafeFileName(std::string_view name) {
  std::string safe;
  safe.reserve(name.size());
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    safe.push_back(c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F ? '_' : c);
  }
  if (safe.empty() || safe == "." || safe == "..")
    return "_";
  if (safe.size() <= kMaxNameBytes)
    return safe;
  const std::size_t dot = safe.rfind('.');
  std::string_view extension;
  if (dot != std::string::npos && dot > 0 && safe.size() - dot <= kMaxKeptExtension + 1)
    extension = std::string_view(safe).substr(dot);
  const std::string_view stem = std::string_view(safe).substr(0, extension.empty() ? safe.size() : dot);
  std::string cut(CutUtf8(stem, kMaxNameBytes - extension.size()));
  cut.append(extension);
  return cut;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (path.empty() || path.back() != '/')
    path.push_back('/');
  path.append(name);
  return path;
}

bool MakeSureDirectoryPathExists(const std::string& path) {
  if (path.empty())
    return false;
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/')
      continue;
    const std::string prefix = path.substr(0, i);
    if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST)
      return false;
  }
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateUniqueDirectory(std::string& path) {
  if (mkdir(path.c_str(), 0777) == 0)
    return true;
  if (errno != EEXIST)
    return false;
  char suffix[16];
  for (int i = 0; i < 1000; ++i) {
    std::snprintf(suffix, sizeof suffix, "_%03d", i);
    const std::string candidate = path + suffix;
    if (mkdir(candidate.c_str(), 0777) == 0) {
      path = candidate;
      return true;
    }
    if (errno != EEXIST)
      return false;
  }
  return false;
}

int CreateNewFile(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0)
    return errno ? errno : EIO;
  close(fd);
  return 0;
}

bool FileTimeToUnix(FileTime time, std::int64_t& seconds, std::int64_t& nanoseconds) {
  // 100-ns units between 1601-01-01 and 1970-01-01.
  constexpr FileTime kUnixEpoch = 116444736000000000ULL;
  if (time < kUnixEpoch)
    return false;
  const FileTime since = time - kUnixEpoch;
  seconds = static_cast<std::int64_t>(since / 10000000ULL);
  nanoseconds = static_cast<std::int64_t>(since % 10000000ULL) * 100;
  return true;
}

bool SetFileTimes(int fd, FileTime access, FileTime modification) {
  timespec times[2];
  const FileTime values[2] = {access, modification};
  for (int i = 0; i < 2; ++i) {
    std::int64_t s = 0;
    std::int64_t ns = 0;
    if (values[i] != 0 && FileTimeToUnix(values[i], s, ns)) {
      times[i].tv_sec = static_cast<time_t>(s);
      times[i].tv_nsec = static_cast<long>(ns);
    } else {
      times[i].tv_sec = 0;
      times[i].tv_nsec = UTIME_OMIT;
    }
  }
  return futimens(fd, times) == 0;
}

bool ApplyReadOnly(int fd, bool readOnly) {
  if (!readOnly)
    return true;
  struct stat st {};
  if (fstat(fd, &st) != 0)
    return false;
  return fchmod(fd, st.st_mode & 07555 & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

namespace {

std::string SysfsOf(dev_t number) {
  return "/sys/dev/block/" + std::to_string(major(number)) + ":" + std::to_string(minor(number));
}

bool ReadDevNumber(const std::string& folder, dev_t& number) {
  std::ifstream in(folder + "/dev");
  unsigned int ma = 0;
  unsigned int mi = 0;
  char colon = 0;
  if (!(in >> ma >> colon >> mi) || colon != ':')
    return false;
  number = makedev(ma, mi);
  return true;
}

// The whole disks that a block device lives on: itself or the disk of a partition, and for a mapped
// device (LVM, dm-crypt, md) the disks under its slaves, followed a few levels down.
void WholeDisksOf(dev_t number, std::set<dev_t>& disks, int depth = 0) {
  if (depth > 8)
    return;
  char resolved[PATH_MAX];
  if (!realpath(SysfsOf(number).c_str(), resolved)) {
    disks.insert(number);
    return;
  }
  std::string folder = resolved;
  struct stat st {};
  if (stat((folder + "/partition").c_str(), &st) == 0) {
    folder = folder.substr(0, folder.rfind('/'));
    dev_t disk = number;
    if (ReadDevNumber(folder, disk))
      number = disk;
  }
  disks.insert(number);
  const std::string slaves = folder + "/slaves";
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(slaves, error))
    names.push_back(entry.path().filename().string());
  for (const std::string& name : names) {
    dev_t slave = 0;
    if (ReadDevNumber(slaves + "/" + name, slave))
      WholeDisksOf(slave, disks, depth + 1);
  }
}

}  // namespace

bool FolderLiesOnDevice(const std::string& folder, const std::string& source) {
  struct stat sourceStat {};
  struct stat folderStat {};
  if (stat(source.c_str(), &sourceStat) != 0 || !S_ISBLK(sourceStat.st_mode))
    return false;
  if (stat(folder.c_str(), &folderStat) != 0)
    return false;
  if (folderStat.st_dev == sourceStat.st_rdev)
    return true;
  std::set<dev_t> sourceDisks;
  std::set<dev_t> folderDisks;
  WholeDisksOf(sourceStat.st_rdev, sourceDisks);
  WholeDisksOf(folderStat.st_dev, folderDisks);
  for (const dev_t disk : folderDisks) {
    if (sourceDisks.count(disk))
      return true;
  }
  return false;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace korvex
