// korvex-cli info on the fixture images: what a script sees of `--json`, and the exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/run_cli.h"
#include "fat/fat_images.h"
#include "fixtures.h"
#include "ntfs/ntfs_images.h"

namespace korvex {
namespace {

TEST(CliInfo, ReportsWhatMkfsWasGiven) {
  const char* names[] = {"", "FAT12", "FAT16", "FAT32"};
  for (const auto& image : test::kFatImages) {
    SCOPED_TRACE(image.file);
    const CliRun run = RunCli("info --json " + test::FixturePath(image.file));
    ASSERT_EQ(run.status, 0);
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["sectorSize"], 512);
    EXPECT_EQ(json["sectors"], image.totalSectors);
    EXPECT_EQ(json["volume"]["type"], names[image.type]);
    EXPECT_EQ(json["volume"]["totalSectors"], image.totalSectors);
    EXPECT_EQ(json["volume"]["label"], image.label);
  }
}

TEST(CliInfo, ReportsWhatMkntfsWasGiven) {
  for (const auto& image : test::kNtfsImages) {
    SCOPED_TRACE(image.file);
    const std::string sectorSize = image.sectorSize == 4096 ? "--sector-size 4096 " : "";
    const CliRun run = RunCli("info --json " + sectorSize + test::FixturePath(image.file));
    ASSERT_EQ(run.status, 0);
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["sectorSize"], image.sectorSize);
    EXPECT_EQ(json["volume"]["type"], "NTFS");
    EXPECT_EQ(json["volume"]["totalSectors"], image.totalSectors);
    EXPECT_EQ(json["volume"]["label"], image.label);
  }
  // Read with 512-byte sectors, the 4096-byte volume's boot sector does not match the device.
  const CliRun wrong = RunCli("info --json " + test::FixturePath(test::kNtfsImages[2].file));
  ASSERT_EQ(wrong.status, 0);
  EXPECT_TRUE(nlohmann::json::parse(wrong.out)["volume"].is_null());
}

TEST(CliInfo, ForeignFileHasNoVolume) {
  const CliRun run = RunCli("info --json --sector-size 4096 " + std::string(KORVEX_CLI));
  ASSERT_EQ(run.status, 0);
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["sectorSize"], 4096);
  EXPECT_TRUE(json["volume"].is_null());
}

TEST(CliInfo, ExitStatus) {
  EXPECT_EQ(RunCli("info /nonexistent/korvex.img").status, 1);
  EXPECT_EQ(RunCli("info").status, 2) << "missing PATH";
  EXPECT_EQ(RunCli("info --sector-size 1000 x").status, 2);
  EXPECT_EQ(RunCli("frobnicate").status, 2);
  EXPECT_EQ(RunCli("--help").status, 0);
  const CliRun text = RunCli("info " + test::FixturePath("fat/card.img"));
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("KORVEX CARD"), std::string::npos) << text.out;
}

}  // namespace
}  // namespace korvex
