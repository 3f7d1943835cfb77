// The file services of the writer: safe names, unique folders, times before the read-only mode, and
// the refusal of an output folder on the device being recovered.
#include "output/file_services.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace korvex {
namespace {

namespace fs = std::filesystem;

TEST(SafeFileName, HostileNamesBecomeOneHarmlessComponent) {
  const std::string longStem(300, 'x');
  // A 2-byte UTF-8 character straddling the cut.
  const std::string utf8Stem = std::string(250, 'a') + "\xC3\xA9\xC3\xA9\xC3\xA9";
  struct Case {
    std::string in;
    std::string out;
  } cases[] = {
      {"photo.JPG", "photo.JPG"},
      {"../../etc/passwd", ".._.._etc_passwd"},
      {"/abs", "_abs"},
      {"a\\b", "a_b"},
      {"tab\tnew\nline\x7f", "tab_new_line_"},
      {".", "_"},
      {"..", "_"},
      {"", "_"},
      {longStem + ".JPG", std::string(251, 'x') + ".JPG"},
      {longStem, std::string(255, 'x')},
      {utf8Stem + ".JPG", std::string(250, 'a') + ".JPG"},
  };
  for (const Case& c : cases) {
    const std::string safe = SafeFileName(c.in);
    EXPECT_EQ(safe, c.out) << c.in;
    EXPECT_LE(safe.size(), kMaxNameBytes);
    EXPECT_EQ(safe.find('/'), std::string::npos);
  }
}

class FileServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/korvex-services-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code error;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(dir_, error);
  }
  std::string dir_;
};

TEST_F(FileServicesTest, UniqueDirectoriesCountFromZero) {
  for (const char* expected : {"/Recovered Files", "/Recovered Files_000", "/Recovered Files_001"}) {
    std::string path = dir_ + "/Recovered Files";
    ASSERT_TRUE(CreateUniqueDirectory(path));
    EXPECT_EQ(path, dir_ + expected);
    EXPECT_TRUE(fs::is_directory(path));
  }
  std::string missingParent = dir_ + "/no/such";
  EXPECT_FALSE(CreateUniqueDirectory(missingParent));
}

TEST_F(FileServicesTest, NewFilesNeverReplaceOrFollow) {
  const std::string target = dir_ + "/victim";
  std::ofstream(target) << "keep";
  const std::string link = dir_ + "/link";
  fs::create_symlink(target, link);
  EXPECT_EQ(CreateNewFile(target), EEXIST);
  EXPECT_EQ(CreateNewFile(link), EEXIST);
  std::string text;
  std::ifstream(target) >> text;
  EXPECT_EQ(text, "keep");
  EXPECT_EQ(CreateNewFile(dir_ + "/fresh"), 0);
  EXPECT_EQ(CreateNewFile(dir_ + "/missing/fresh"), ENOENT);
}

TEST_F(FileServicesTest, ReadOnlyModeComesAfterTheTimes) {
  const std::string path = dir_ + "/f";
  ASSERT_EQ(CreateNewFile(path), 0);
  // 2020-01-02 03:04:05 UTC as FILETIME.
  const FileTime time = (1577934245ULL + 11644473600ULL) * 10000000ULL;
  const int fd = open(path.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(SetFileTimes(fd, 0, time));
  EXPECT_TRUE(ApplyReadOnly(fd, true));
  close(fd);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1577934245);
  EXPECT_EQ(st.st_mode & 0222, 0u);
}

TEST_F(FileServicesTest, FolderOnTheScannedBlockDeviceIsRefused) {
  // An image file is no block device: recovering next to it is allowed.
  const std::string image = dir_ + "/card.img";
  std::ofstream(image) << "x";
  EXPECT_FALSE(FolderLiesOnDevice(dir_, image));
  // The block device holding the test folder, when the machine exposes one under /dev.
  struct stat st {};
  ASSERT_EQ(stat(dir_.c_str(), &st), 0);
  std::ifstream uevent("/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                       std::to_string(minor(st.st_dev)) + "/uevent");
  std::string line;
  std::string device;
  while (std::getline(uevent, line)) {
    if (line.rfind("DEVNAME=", 0) == 0)
      device = "/dev/" + line.substr(8);
  }
  struct stat dev {};
  if (device.empty() || stat(device.c_str(), &dev) != 0 || !S_ISBLK(dev.st_mode))
    GTEST_SKIP() << "the test folder lies on no block device visible here";
  EXPECT_TRUE(FolderLiesOnDevice(dir_, device));
}

}  // namespace
}  // namespace korvex
