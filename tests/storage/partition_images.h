// The partitioned fixture images and the layouts tests/fixtures/make_partition_images.sh gave sfdisk,
// mkfs.fat and mkntfs, with the gaps that the 100,000-sector rule admits on them.
#pragma once

#include <cstdint>
#include <vector>

namespace korvex::test {

struct ExpectedVolume {
  std::uint64_t start;
  std::uint64_t sectors;  // as written into the table
  std::int32_t fsType;    // what mkfs.fat made; 0 for unformatted, swap and NTFS partitions
  const char* label;
  const char* gptName;
  // NTFS partitions are checked here for their place and name only: their type and label come from
  // the NTFS volume analyser, whose tests live in the NTFS area. With it in the analyser list, such a
  // partition takes the size its boot sector gives, which mkntfs writes one sector short of the table.
  bool ntfs = false;
};

struct ExpectedGap {
  const char* name;  // when the image is listed alone
  std::uint64_t start;
  std::uint64_t sectors;
};

struct PartitionImage {
  const char* file;
  std::uint32_t sectorSize;
  std::uint64_t sectors;
  bool gpt;
  std::vector<ExpectedVolume> volumes;
  std::vector<ExpectedGap> gaps;
};

inline const std::vector<PartitionImage>& PartitionImages() {
  static const std::vector<PartitionImage> images = {
      {"partitions/mbr.img",
       512,
       400000,
       false,
       {
           {2048, 32768, 2, "PRIMARY1", ""},
           {34816, 8192, 0, "", "", true},
           {161792, 8192, 1, "LOGICAL1", ""},
           {172032, 69632, 3, "LOGICAL2", ""},
           {245760, 8192, 0, "", ""},
       },
       // The NTFS volume ends where its boot sector says, one sector before its partition's end.
       {{"(Unallocated1)", 43007, 118785}, {"(Unallocated2)", 253952, 146048}}},
      {"partitions/gpt.img",
       512,
       300000,
       true,
       {
           {2048, 16384, 1, "EFI", "EFI system partition"},
           {18432, 69632, 3, "GPT DATA", "Basic data partition"},
           {88064, 8192, 0, "",
            "Donn\xC3\xA9"
            "es Windows",
            true},
           {96256, 8192, 0, "", "Linux swap"},
           // The FAT partition of an unknown type at 104448 is not listed; the gap runs over it.
       },
       {{"(Unallocated1)", 104448, 195552}}},
      {"partitions/gpt4k.img",
       4096,
       16384,
       true,
       {
           {256, 2048, 0, "", "Data 4K", true},
           {2304, 1024, 0, "", "Swap 4K"},
       },
       {}},
      {"partitions/mbr4k.img",
       4096,
       16384,
       false,
       {
           {256, 2048, 0, "", "", true},
           {2816, 2048, 0, "", "", true},
           {5120, 1024, 0, "", ""},
       },
       {}},
      {"fat/card.img", 512, 131072, false, {{0, 131072, 3, "KORVEX CARD", ""}}, {}},
  };
  return images;
}

}  // namespace korvex::test
