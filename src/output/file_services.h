// The Linux file services of the recovered-file writer: names from the medium made safe, paths
// joined with "/", folders and files created without ever following a link or replacing a file,
// times and the read-only attribute restored, and the test that an output folder does not lie on
// the device being recovered.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/file_time.h"

namespace korvex {

// The longest file name most Linux file systems accept, in bytes.
constexpr std::size_t kMaxNameBytes = 255;

// A name read from a medium, safe as one path component: "/" , "\\" and control bytes become "_",
// "", "." and ".." become "_", and a name longer than 255 bytes is cut, keeping its extension (the
// last dot and up to 16 bytes after it) and never splitting a UTF-8 character.
std::string SafeFileName(std::string_view name);

// "folder/name", with no doubled "/".
std::string JoinPath(std::string_view folder, std::string_view name);

// mkdir -p of `path`: true when it exists as a folder afterwards.
bool MakeSureDirectoryPathExists(const std::string& path);

// Creates the folder `path`; when it exists already, "%s_%03d" of it with 0, 1, 2, … until one is made
// or another error occurs (after 1000 names the call fails). On success `path` names the folder made.
bool CreateUniqueDirectory(std::string& path);

// Creates `path` as a new file, never through a symbolic link (O_EXCL | O_NOFOLLOW), and closes it.
// 0 on success, else the errno of the failure.
int CreateNewFile(const std::string& path);

// Sets the last access and last write times (a time of 0 is left unchanged) of an open file. Linux
// has no settable creation time.
bool SetFileTimes(int fd, FileTime access, FileTime modification);

// Writes all `size` bytes, retrying short and interrupted writes; false when the file takes no more.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t size);

// The read-only attribute as a mode without write bits; other attributes have no equivalent. Applied
// after the times, so that it cannot keep them from being set.
bool ApplyReadOnly(int fd, bool readOnly);

// FILETIME (100-ns units since 1601) to seconds and nanoseconds since 1970; false before 1970.
bool FileTimeToUnix(FileTime time, std::int64_t& seconds, std::int64_t& nanoseconds);

// True when `folder` lies on the block device `source` (the same device, its whole disk, or one of
// that disk's partitions): writing there could overwrite the data being recovered. False for a
// source that is not a block device (an image file) and for a folder that does not exist.
bool FolderLiesOnDevice(const std::string& folder, const std::string& source);

}  // namespace korvex
