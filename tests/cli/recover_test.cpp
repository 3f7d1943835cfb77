// korvex-cli recover on the sample card (real photos, two deleted, the card then formatted again):
// every photo comes back byte for byte, filters choose what is saved, and the card is left unchanged.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "cli/run_cli.h"
#include "support/fixtures.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

class RecoverCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/korvex-cli-recover-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    out_ = pattern;
  }
  void TearDown() override {
    std::error_code error;
    fs::remove_all(out_, error);
  }
  nlohmann::json Recover(const std::string& extra = "") {
    const CliRun run = RunCli("recover '" + card_ + "' --out '" + out_.string() + "' --json " + extra);
    EXPECT_EQ(run.status, 0);
    return nlohmann::json::parse(run.out);
  }
  const std::string card_ = test::FixturePath("card/sample_card.img");
  fs::path out_;
};

TEST_F(RecoverCommandTest, EveryPhotoOfTheFormattedCardComesBackByteForByte) {
  const Bytes before = ReadAll(card_);
  struct stat st {};
  ASSERT_EQ(stat(card_.c_str(), &st), 0);
  const auto modified = st.st_mtim;

  const nlohmann::json result = Recover();
  const fs::path folder = result["outputFolder"].get<std::string>();
  EXPECT_EQ(folder, out_ / "Recovered Files");
  std::set<Bytes> truth;
  for (const auto& entry : fs::directory_iterator(test::FixturePath("card/truth")))
    truth.insert(ReadAll(entry.path()));
  ASSERT_EQ(truth.size(), 10u);
  std::set<Bytes> recovered;
  for (const auto& file : result["files"]) {
    EXPECT_EQ(file["result"], "written") << file["path"];
    const Bytes bytes = ReadAll(folder / file["path"].get<std::string>());
    EXPECT_EQ(bytes.size(), file["size"].get<std::size_t>());
    recovered.insert(bytes);
  }
  EXPECT_EQ(recovered, truth);
  EXPECT_EQ(result["written"], 10);
  EXPECT_EQ(result["failed"], 0);

  // The source was only read.
  EXPECT_EQ(ReadAll(card_), before);
  ASSERT_EQ(stat(card_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, modified.tv_sec);
  EXPECT_EQ(st.st_mtim.tv_nsec, modified.tv_nsec);
}

TEST_F(RecoverCommandTest, FiltersChooseTheFilesAndRunsGetTheirOwnFolder) {
  struct Case {
    std::string options;
    std::set<std::string> extensions;
  } cases[] = {
      {"--ext png", {"PNG"}},
      {"--type picture --ext GIF,.png", {"GIF", "PNG"}},
      {"--type document", {}},
  };
  for (const Case& c : cases) {
    const nlohmann::json result = Recover(c.options);
    std::set<std::string> extensions;
    for (const auto& file : result["files"]) {
      const std::string path = file["path"];
      extensions.insert(path.substr(path.rfind('.') + 1));
    }
    EXPECT_EQ(extensions, c.extensions) << c.options;
  }
  // Two runs wrote files, the third found nothing to save and made no folder.
  std::set<std::string> folders;
  for (const auto& entry : fs::directory_iterator(out_))
    folders.insert(entry.path().filename().string());
  EXPECT_EQ(folders, (std::set<std::string>{"Recovered Files", "Recovered Files_000"}));
}

TEST_F(RecoverCommandTest, UsageErrors) {
  EXPECT_EQ(RunCli("recover '" + card_ + "'").status, 2);                             // no --out
  EXPECT_EQ(RunCli("recover '" + card_ + "' --out x --type pictures").status, 2);     // unknown type
  EXPECT_EQ(RunCli("recover '" + card_ + "' --out x --volume 1 --gap 1").status, 2);  // both
  EXPECT_EQ(RunCli("recover /no/such.img --out '" + out_.string() + "'").status, 1);  // cannot open
}

}  // namespace
}  // namespace korvex
