// The 32-byte FAT directory entry: byte offsets of its fields (little-endian) and the marks of its
// first and attribute bytes. Shared by the FAT analysis and the FAT file-property records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace korvex {

namespace fat_entry {
constexpr std::size_t kSize = 32;
constexpr std::size_t kAttribute = 11;
constexpr std::size_t kCreationTime = 14;
constexpr std::size_t kCreationDate = 16;
constexpr std::size_t kAccessDate = 18;
constexpr std::size_t kClusterHigh = 20;
constexpr std::size_t kModificationTime = 22;
constexpr std::size_t kModificationDate = 24;
constexpr std::size_t kClusterLow = 26;
constexpr std::size_t kFileSize = 28;
constexpr std::uint8_t kDeleted = 0xE5;
constexpr std::uint8_t kAttrVolumeLabel = 0x08;
constexpr std::uint8_t kAttrDirectory = 0x10;
constexpr std::uint8_t kAttrLongName = 0x0F;
}  // namespace fat_entry
using EntryView = std::span<const std::uint8_t, fat_entry::kSize>;

}  // namespace korvex
