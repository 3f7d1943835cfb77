// The FAT fixture images and the parameters tests/fixtures/make_fat_images.sh gave mkfs.fat.
#pragma once

#include <cstdint>

namespace korvex::test {

struct FatImage {
  const char* file;
  std::int32_t type;
  std::uint64_t totalSectors;  // the size given to mkfs.fat, in 512-byte sectors
  std::uint32_t sectorsPerCluster;
  const char* label;
};

inline constexpr FatImage kFatImages[] = {
    {"fat/fat12.img", 1, 2880, 1, "FLOPPY12"},      {"fat/fat12_2k.img", 1, 8192, 4, "MY DISK"},
    {"fat/fat16.img", 2, 65536, 4, "DATA16"},       {"fat/fat16_nolabel.img", 2, 32768, 2, ""},
    {"fat/fat32.img", 3, 131072, 1, "KORVEX CARD"}, {"fat/fat32_1k.img", 3, 163840, 2, "PHOTOS"},
};

}  // namespace korvex::test
