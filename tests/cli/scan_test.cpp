// korvex-cli scan on an image of real picture files laid at sector offsets with noise between them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <string>

#include "cli/run_cli.h"
#include "fixtures.h"

namespace korvex {
namespace {

TEST(CliScan, ListsEverySampleAtItsSectorWithItsSize) {
  // Each sample starts a sector; noise that no analyser takes for a header fills the rest.
  std::mt19937 random(3);
  std::vector<std::uint8_t> image(64 * 512);
  for (auto& b : image)
    b = static_cast<std::uint8_t>(random() % 64 + 'A');
  std::map<std::uint64_t, std::pair<std::string, std::size_t>> placed;  // sector → name, size
  for (const char* name :
       {"baseline.jpg", "progressive.jpg", "plain.png", "still89a.gif", "v3.bmp", "little.tif"}) {
    const std::vector<std::uint8_t> bytes = test::ReadFixture(std::string("pictures/") + name);
    placed[image.size() / 512] = {name, bytes.size()};
    image.insert(image.end(), bytes.begin(), bytes.end());
    image.resize((image.size() + 511) / 512 * 512 + 32 * 512, 'Q');
  }
  const std::string path = (std::filesystem::temp_directory_path() / "korvex-scan-test.img").string();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), image.size());

  const CliRun run = RunCli("scan --json " + path);
  std::filesystem::remove(path);
  ASSERT_EQ(run.status, 0);
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["scanned"], "the whole drive");
  std::map<std::uint64_t, std::uint64_t> found;  // sector → size
  for (const auto& f : json["files"])
    found[f["startSector"]] = f["size"];
  EXPECT_EQ(found.size(), placed.size());
  for (const auto& [sector, sample] : placed) {
    ASSERT_TRUE(found.count(sector)) << sample.first << " at sector " << sector;
    EXPECT_EQ(found[sector], sample.second) << sample.first;
  }
}

TEST(CliScan, VolumesGapsAndUsage) {
  const std::string mbr = test::FixturePath("partitions/mbr.img");
  const CliRun volume = RunCli("scan --json --volume 4 " + mbr);
  ASSERT_EQ(volume.status, 0);
  EXPECT_EQ(nlohmann::json::parse(volume.out)["scanned"], "(FAT32)LOGICAL2");
  EXPECT_EQ(nlohmann::json::parse(volume.out)["sectors"], 69632);
  const CliRun gap = RunCli("scan --json --gap 2 " + mbr);
  ASSERT_EQ(gap.status, 0);
  EXPECT_EQ(nlohmann::json::parse(gap.out)["sectors"], 146048);
  EXPECT_EQ(RunCli("scan --volume 9 " + mbr).status, 2) << "no such volume";
  EXPECT_EQ(RunCli("scan --volume 1 --gap 1 " + mbr).status, 2) << "one target at a time";
  EXPECT_EQ(RunCli("scan /nonexistent/korvex.img").status, 1);
}

}  // namespace
}  // namespace korvex
