// Type codes of found files from their extensions (picture, archive, multimedia, office, other), and
// the scan-time classification of names that feeds the found-file counters of the scan progress.
#pragma once

#include <cstdint>
#include <string_view>

namespace korvex {

constexpr std::uint16_t kTypePicture = 1022;
constexpr std::uint16_t kTypeArchive = 1023;
constexpr std::uint16_t kTypeMultimedia = 1024;
constexpr std::uint16_t kTypeOffice = 1025;
constexpr std::uint16_t kTypeCarvedUnset = 1026;  // a carved file whose extension is not set yet
constexpr std::uint16_t kTypeOther = 1027;

// `extension`: upper case with its leading dot (".JPG"), compared exactly; empty or null gives 1027.
std::uint16_t ClassifyExtension(std::string_view extension);
inline std::uint16_t ClassifyExtension(const char* extension) {
  return ClassifyExtension(extension ? std::string_view(extension) : std::string_view());
}

// Scan-time classification of a name the FAT or NTFS controller records (at most 255 characters):
// counts the name in the found-file counters of CDataBase and returns the catalogue id of its
// extension, 0 when there is none or the name is rejected. A rejected name counts nothing.
std::uint16_t ClassifyForScan(const char* name, std::uint8_t length);
std::uint16_t ClassifyForScan(const char16_t* name, std::uint8_t length);

}  // namespace korvex
