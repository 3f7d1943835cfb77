// korvex-cli drives on the fixture images: the volumes and gaps a script sees in `--json`, the parts of a
// large drive, the text form and the exit status.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/run_cli.h"
#include "fixtures.h"
#include "storage/partition_images.h"
#include "storage/volume.h"

namespace korvex {
namespace {

std::string ImageArgument(const test::PartitionImage& image) {
  return "--image " + test::FixturePath(image.file) + (image.sectorSize == 512 ? "" : ":4096");
}

TEST(CliDrives, ListsWhatSfdiskWrote) {
  for (const test::PartitionImage& image : test::PartitionImages()) {
    SCOPED_TRACE(image.file);
    const CliRun run = RunCli("drives --images-only --json " + ImageArgument(image));
    ASSERT_EQ(run.status, 0);
    const auto json = nlohmann::json::parse(run.out);
    ASSERT_EQ(json["drives"].size(), 1u);
    const auto& drive = json["drives"][0];
    EXPECT_EQ(drive["index"], 0);
    EXPECT_EQ(drive["path"], test::FixturePath(image.file));
    EXPECT_EQ(drive["sectors"], image.sectors);
    EXPECT_EQ(drive["sectorSize"], image.sectorSize);
    EXPECT_EQ(drive["busType"], 15);
    EXPECT_EQ(drive["removable"], true);
    const std::string file = std::filesystem::path(image.file).filename().string();
    EXPECT_EQ(drive["text"], file + "  Disk Image File");

    ASSERT_EQ(drive["volumes"].size(), image.volumes.size());
    for (std::size_t i = 0; i < image.volumes.size(); ++i) {
      SCOPED_TRACE(i);
      const auto& v = drive["volumes"][i];
      const test::ExpectedVolume& e = image.volumes[i];
      EXPECT_EQ(v["start"], e.start);
      EXPECT_EQ(v["gptName"], e.gptName);
      if (e.ntfs) {
        EXPECT_TRUE(v["sectors"] == e.sectors || v["sectors"] == e.sectors - 1) << v["sectors"];
        continue;
      }
      EXPECT_EQ(v["sectors"], e.sectors);
      EXPECT_EQ(v["fsType"], FileSystemShortName(e.fsType));
      EXPECT_EQ(v["label"], e.label);
      const std::string shown = std::string(e.label).empty() ? e.gptName : e.label;
      const std::string type = e.fsType == 0 ? "" : "(" + FileSystemName(e.fsType) + ")";
      EXPECT_EQ(v["name"], type + shown == "" ? "Partition" : type + shown);
    }
    ASSERT_EQ(drive["gaps"].size(), image.gaps.size());
    for (std::size_t i = 0; i < image.gaps.size(); ++i) {
      EXPECT_EQ(drive["gaps"][i]["name"], image.gaps[i].name);
      EXPECT_EQ(drive["gaps"][i]["start"], image.gaps[i].start);
      EXPECT_EQ(drive["gaps"][i]["sectors"], image.gaps[i].sectors);
    }
    EXPECT_TRUE(drive["parts"].empty());
  }
}

TEST(CliDrives, GapsNumberedAcrossDrivesPartsOfLargeDrives) {
  // A sparse image of two terabytes: one gap over all of it, and two parts.
  std::string pattern = (std::filesystem::temp_directory_path() / "korvex-large-XXXXXX").string();
  const int fd = mkstemp(pattern.data());
  ASSERT_GE(fd, 0);
  close(fd);
  std::filesystem::resize_file(pattern, 2000000000000ull);
  const CliRun run = RunCli("drives --images-only --json --image " + test::FixturePath("partitions/mbr.img") +
                            " --image " + test::FixturePath("partitions/gpt.img") + " --image " + pattern);
  std::filesystem::remove(pattern);
  ASSERT_EQ(run.status, 0);
  const auto json = nlohmann::json::parse(run.out);
  ASSERT_EQ(json["drives"].size(), 3u);
  EXPECT_EQ(json["drives"][1]["index"], 1);
  EXPECT_EQ(json["drives"][1]["gaps"][0]["name"], "(Unallocated3)");
  const auto& large = json["drives"][2];
  EXPECT_TRUE(large["volumes"].empty());
  ASSERT_EQ(large["gaps"].size(), 1u);
  EXPECT_EQ(large["gaps"][0]["name"], "(Unallocated4)");
  EXPECT_EQ(large["gaps"][0]["start"], 0);
  EXPECT_EQ(large["gaps"][0]["sectors"], 3906250000ull);
  ASSERT_EQ(large["parts"].size(), 2u);
  EXPECT_EQ(large["parts"][0]["name"], "Part 1");
  EXPECT_EQ(large["parts"][0]["sectors"], 2155872256ull);
  EXPECT_EQ(large["parts"][1]["name"], "Part 2");
  EXPECT_EQ(large["parts"][1]["start"], 2155872256ull);
  EXPECT_EQ(large["parts"][1]["sectors"], 3906250000ull - 2155872256ull);
}

TEST(CliDrives, TextAndExitStatus) {
  const std::string mbr = test::FixturePath("partitions/mbr.img");
  const CliRun text = RunCli("drives --images-only --image " + mbr);
  EXPECT_EQ(text.status, 0);
  for (const char* shown :
       {"Drive 0: mbr.img  Disk Image File", "(FAT32)LOGICAL2", "34.82 MB", "(Unallocated2)"})
    EXPECT_NE(text.out.find(shown), std::string::npos) << shown << "\n" << text.out;

  EXPECT_EQ(RunCli("drives --images-only --image /nonexistent/korvex.img").status, 1);
  EXPECT_EQ(RunCli("drives --images-only --image " + mbr + ":1000").status, 2);
  EXPECT_EQ(RunCli("drives --images-only --image").status, 2);
  EXPECT_EQ(RunCli("drives --frobnicate").status, 2);
  const CliRun none = RunCli("drives --images-only --json");
  EXPECT_EQ(none.status, 0);
  EXPECT_TRUE(nlohmann::json::parse(none.out)["drives"].empty());
}

}  // namespace
}  // namespace korvex
