// The recovered-file writer on found trees over in-memory devices: what lands where, with which bytes,
// names, times and modes, and how bad runs, hostile names and cancellation are handled.
#include "output/recovered_file_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/database.h"
#include "model/data_run_list.h"
#include "model/fat_file_attribute.h"
#include "model/file_node.h"
#include "model/root_node_info.h"
#include "model/stored_run_list.h"
#include "storage/memory_device.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kVolumeBase = 64;
constexpr std::uint32_t kSectorsPerCluster = 8;

// A device whose every byte tells its position, with sectors that can be made unreadable.
class PatternDevice : public IDevice {
 public:
  explicit PatternDevice(std::uint64_t sectors) : memory_(Pattern(sectors), 512) {}
  int Read(void* buffer, std::uint64_t first, std::uint64_t count, std::uint32_t bps) override {
    for (std::uint64_t s = first; s < first + count; ++s) {
      if (bad.count(s))
        return 0;
    }
    return memory_.Read(buffer, first, count, bps);
  }
  std::uint64_t GetSectorCount() override { return memory_.GetSectorCount(); }
  int Open() override { return 1; }
  int Close() override { return 1; }
  Bytes Sectors(std::uint64_t first, std::uint64_t count) {
    return Bytes(memory_.Bytes().begin() + static_cast<std::ptrdiff_t>(first * 512),
                 memory_.Bytes().begin() + static_cast<std::ptrdiff_t>((first + count) * 512));
  }
  std::set<std::uint64_t> bad;

 private:
  static Bytes Pattern(std::uint64_t sectors) {
    Bytes bytes(sectors * 512);
    for (std::size_t i = 0; i < bytes.size(); ++i)
      bytes[i] = static_cast<std::uint8_t>((i / 512) * 7 + i % 251 + 1);
    return bytes;
  }
  CMemoryDevice memory_;
};

// Counts what the writer reports and cancels once `cancelAfter` files are done.
struct CountingCallback : IFileRecoverCallback {
  int Begin(std::uint32_t, std::uint64_t) override { return 0; }
  int FileDone(std::uint32_t n) override {
    files += n;
    return cancelAfter && files >= cancelAfter ? -1 : 0;
  }
  int BytesWritten(std::uint64_t n) override {
    bytes += n;
    return 0;
  }
  int BytesWithdrawn(std::uint32_t n) override {
    withdrawn += n;
    return 0;
  }
  int FileStarted(const char* name) override {
    started.push_back(name);
    return 0;
  }
  int Poll() override { return 0; }
  std::uint32_t files = 0;
  std::uint64_t bytes = 0;
  std::uint64_t withdrawn = 0;
  std::uint32_t cancelAfter = 0;
  std::vector<std::string> started;
};

// A found tree: a root and a FAT volume with data area at kVolumeBase, clusters of 8 sectors.
class Tree {
 public:
  Tree() {
    root = new CFileSystemNode;
    root->properties = new root_node_info("Test device");
    volume = new CFileSystemNode;
    volume->properties = CFATFileAttribute::MakeSyntheticFolder("FAT32", 0).release();
    volume->SetVolumeGeometry(static_cast<std::uint32_t>(kVolumeBase), 0, kSectorsPerCluster);
    AddChild(root, volume);
  }
  ~Tree() { ReleaseTree(root); }
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;

  CFileNode* Folder(CFileNode* parent, const std::string& name) {
    auto* node = new CFileNode;
    auto properties = CFATFileAttribute::MakeSyntheticFolder("x", 0);
    properties->SetName(name.c_str());
    node->properties = properties.release();
    AddChild(parent, node);
    return node;
  }
  // A file with runs {cluster, clusters}; no runs when `runs` is empty.
  CFATFileAttribute* File(CFileNode* parent, const std::string& name, std::uint64_t size,
                          std::vector<DataRun> runs, std::uint16_t attributes = file_attr::kArchive) {
    auto properties = std::make_unique<CFATFileAttribute>();
    properties->SetName(name.c_str());
    properties->SetSize(size);
    properties->SetAttributes(attributes);
    if (!runs.empty()) {
      CFATDataRunList list;
      for (const DataRun& r : runs)
        list.Push(r);
      properties->SetStoredRunList(std::make_unique<StoredRunList>(*ToStored(list)));
    }
    auto* node = new CFileNode;
    CFATFileAttribute* raw = properties.get();
    node->properties = properties.release();
    AddChild(parent, node);
    return raw;
  }
  void CheckAll() {
    WalkTree(root, [](CFileNode* n) {
      if (n->properties)
        n->properties->SetCheckState(kChecked);
    });
  }

  CFileSystemNode* root;
  CFileSystemNode* volume;
};

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Every regular file below `dir`, relative to it.
std::set<std::string> FilesBelow(const fs::path& dir) {
  std::set<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file())
      files.insert(fs::relative(entry.path(), dir).string());
  }
  return files;
}

class RecoverJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CDataBase::Instance().bytesPerSector = 512;
    char pattern[] = "/tmp/korvex-recover-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code error;
    fs::remove_all(dir_, error);
  }
  std::uint32_t Recover(Tree& tree, IFileRecoverCallback* callback = nullptr) {
    job_ = std::make_unique<RecoverJob>(callback, &device_, tree.root, dir_.string());
    return job_->Start();
  }
  std::uint64_t Lba(std::uint64_t cluster) const { return kVolumeBase + cluster * kSectorsPerCluster; }

  fs::path dir_;
  PatternDevice device_{1024};
  std::unique_ptr<RecoverJob> job_;
};

TEST_F(RecoverJobTest, WritesFoldersAndFilesWithTheirBytes) {
  Tree tree;
  CFileNode* photos = tree.Folder(tree.volume, "DCIM");
  tree.File(photos, "A.JPG", 5000, {{1, 1}});  // two clusters' worth, one run of one
  tree.File(photos, "B.JPG", 1000, {{3, 1}});  // 1,000 bytes of a 4 KB cluster
  tree.File(tree.volume, "SPLIT.BIN", 8192, {{5, 1}, {9, 1}});
  tree.File(tree.volume, "EMPTY.TXT", 0, {});
  tree.CheckAll();
  CountingCallback callback;
  ASSERT_EQ(Recover(tree, &callback), 1u);
  const fs::path out = dir_ / "Recovered Files";
  EXPECT_EQ(job_->OutputFolder(), out.string());
  EXPECT_EQ(FilesBelow(out), (std::set<std::string>{"FAT32/DCIM/A.JPG", "FAT32/DCIM/B.JPG", "FAT32/SPLIT.BIN",
                                                    "FAT32/EMPTY.TXT"}));
  // A runs out after one cluster: the file stays short, as the runs allow.
  EXPECT_EQ(ReadFile(out / "FAT32/DCIM/A.JPG"), device_.Sectors(Lba(1), 8));
  Bytes b = device_.Sectors(Lba(3), 2);
  b.resize(1000);
  EXPECT_EQ(ReadFile(out / "FAT32/DCIM/B.JPG"), b);
  Bytes split = device_.Sectors(Lba(5), 8);
  const Bytes second = device_.Sectors(Lba(9), 8);
  split.insert(split.end(), second.begin(), second.end());
  EXPECT_EQ(ReadFile(out / "FAT32/SPLIT.BIN"), split);
  EXPECT_EQ(fs::file_size(out / "FAT32/EMPTY.TXT"), 0u);
  EXPECT_EQ(callback.files, 4u);
  EXPECT_EQ(callback.bytes, 4096u + 1000u + 8192u);
}

TEST_F(RecoverJobTest, NamesCollideIntoNumberedNamesAndFoldersIntoNumberedFolders) {
  Tree tree;
  tree.File(tree.volume, "a.txt", 10, {{1, 1}});
  tree.File(tree.volume, "a.txt", 10, {{2, 1}});
  tree.File(tree.volume, "name", 10, {{3, 1}});
  tree.File(tree.volume, "name", 10, {{4, 1}});
  tree.Folder(tree.volume, "D");
  tree.File(tree.Folder(tree.volume, "D"), "x", 10, {{5, 1}});
  tree.CheckAll();
  ASSERT_EQ(Recover(tree), 1u);
  EXPECT_EQ(
      FilesBelow(dir_ / "Recovered Files"),
      (std::set<std::string>{"FAT32/a.TXT", "FAT32/a_000.TXT", "FAT32/name", "FAT32/name_000", "FAT32/D/x"}));
  EXPECT_TRUE(fs::is_directory(dir_ / "Recovered Files/FAT32/D_000"));
  // Second and third runs into the same folder.
  ASSERT_EQ(Recover(tree), 1u);
  EXPECT_EQ(job_->OutputFolder(), (dir_ / "Recovered Files_000").string());
  ASSERT_EQ(Recover(tree), 1u);
  EXPECT_EQ(job_->OutputFolder(), (dir_ / "Recovered Files_001").string());
}

TEST_F(RecoverJobTest, HostileNamesStayInsideTheOutputFolder) {
  Tree tree;
  tree.File(tree.volume, "../../escape", 10, {{1, 1}});
  tree.File(tree.volume, "/etc/cron.d/x", 10, {{1, 1}});
  tree.File(tree.volume, "..", 10, {{1, 1}});
  CFileNode* up = tree.Folder(tree.volume, "..");
  tree.File(up, "inside", 10, {{1, 1}});
  tree.File(tree.volume, std::string(400, 'n') + ".JPG", 10, {{1, 1}});
  tree.CheckAll();
  ASSERT_EQ(Recover(tree), 1u);
  // Nothing but the output folder appeared in the chosen folder, nothing above it.
  EXPECT_EQ(FilesBelow(dir_).size(), 5u);
  std::vector<std::string> top;
  for (const auto& entry : fs::directory_iterator(dir_))
    top.push_back(entry.path().filename().string());
  EXPECT_EQ(top, std::vector<std::string>{"Recovered Files"});
  EXPECT_FALSE(fs::exists(dir_.parent_path() / "escape"));
  const std::set<std::string> files = FilesBelow(dir_ / "Recovered Files");
  // (FAT names have their extension upper-cased; the folder "_" was made first, so the file ".."
  // takes the next name.)
  EXPECT_EQ(files, (std::set<std::string>{"FAT32/.._.._ESCAPE", "FAT32/_etc_cron.D_X", "FAT32/__000",
                                          "FAT32/_/inside", "FAT32/" + std::string(251, 'n') + ".JPG"}));
  for (const RecoveredFileRecord& r : job_->Records())
    EXPECT_EQ(r.result, kWritten) << r.path;
}

TEST_F(RecoverJobTest, BadFilesFailAloneAndTheJobGoesOn) {
  Tree tree;
  tree.File(tree.volume, "NORUNS.BIN", 10, {});  // data promised, no runs
  // The second run points past the device: the first cluster is written, the file fails.
  tree.File(tree.volume, "PAST.BIN", 8192, {{1, 1}, {1000000, 1}});
  // A run whose cluster number overflows any sector address.
  tree.File(tree.volume, "HUGE.BIN", 4096, {{INT64_MAX / 2, 1}});
  tree.File(tree.volume, "GOOD.BIN", 512, {{2, 1}});
  tree.CheckAll();
  CountingCallback callback;
  ASSERT_EQ(Recover(tree, &callback), 1u);
  std::map<std::string, std::uint32_t> results;
  for (const RecoveredFileRecord& r : job_->Records())
    results[r.path] = r.result;
  EXPECT_EQ(results, (std::map<std::string, std::uint32_t>{{"FAT32/NORUNS.BIN", kFailed},
                                                           {"FAT32/PAST.BIN", kFailed},
                                                           {"FAT32/HUGE.BIN", kFailed},
                                                           {"FAT32/GOOD.BIN", kWritten}}));
  EXPECT_EQ(ReadFile(dir_ / "Recovered Files/FAT32/PAST.BIN"), device_.Sectors(Lba(1), 8));
  EXPECT_EQ(ReadFile(dir_ / "Recovered Files/FAT32/GOOD.BIN"), device_.Sectors(Lba(2), 1));
  EXPECT_EQ(callback.files, 1u);
}

TEST_F(RecoverJobTest, SparseRunsAndUnreadableSectorsComeOutAsZeros) {
  Tree tree;
  tree.File(tree.volume, "HOLE.BIN", 3 * 4096, {{1, 1}, {DataRun::kSparseStart, 1}, {2, 1}});
  tree.File(tree.volume, "TAIL.BIN", 2 * 4096, {{3, 1}, {DataRun::kSparseStart, 1}});
  tree.File(tree.volume, "BAD.BIN", 4096, {{4, 1}});
  tree.CheckAll();
  device_.bad = {Lba(4) + 2};
  ASSERT_EQ(Recover(tree), 1u);
  const fs::path out = dir_ / "Recovered Files/FAT32";
  Bytes hole = device_.Sectors(Lba(1), 8);
  hole.resize(2 * 4096, 0);
  const Bytes last = device_.Sectors(Lba(2), 8);
  hole.insert(hole.end(), last.begin(), last.end());
  EXPECT_EQ(ReadFile(out / "HOLE.BIN"), hole);
  Bytes tail = device_.Sectors(Lba(3), 8);
  tail.resize(2 * 4096, 0);
  EXPECT_EQ(ReadFile(out / "TAIL.BIN"), tail);
  Bytes bad = device_.Sectors(Lba(4), 8);
  std::fill(bad.begin() + 2 * 512, bad.begin() + 3 * 512, std::uint8_t{0});
  EXPECT_EQ(ReadFile(out / "BAD.BIN"), bad);
  EXPECT_EQ(job_->UnreadableSectors(), 1u);
}

TEST_F(RecoverJobTest, TimesAreRestoredAndReadOnlyKeptWithoutHidden) {
  Tree tree;
  // 2021-06-01 12:00:00 and 2021-06-02 12:00:00 UTC.
  const FileTime modified = (1622548800ULL + 11644473600ULL) * 10000000ULL;
  const FileTime accessed = (1622635200ULL + 11644473600ULL) * 10000000ULL;
  tree.File(tree.volume, "RO.TXT", 100, {{1, 1}}, file_attr::kReadOnly | file_attr::kHidden)
      ->SetTimes(0, modified, accessed);
  tree.File(tree.volume, "RW.TXT", 100, {{1, 1}})->SetTimes(0, modified, accessed);
  tree.CheckAll();
  ASSERT_EQ(Recover(tree), 1u);
  for (const char* name : {"RO.TXT", "RW.TXT"}) {
    struct stat st {};
    ASSERT_EQ(stat((dir_ / "Recovered Files/FAT32" / name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1622548800) << name;
    EXPECT_EQ(st.st_atim.tv_sec, 1622635200) << name;
    EXPECT_EQ((st.st_mode & 0222) == 0, std::string(name) == "RO.TXT") << name;
  }
}

TEST_F(RecoverJobTest, CancellingKeepsTheFilesWrittenSoFar) {
  Tree tree;
  // Children come out in the reverse order of insertion.
  tree.File(tree.volume, "THIRD", 10, {{3, 1}});
  tree.File(tree.volume, "SECOND", 10, {{2, 1}});
  tree.File(tree.volume, "FIRST", 10, {{1, 1}});
  tree.CheckAll();
  CountingCallback callback;
  callback.cancelAfter = 2;
  ASSERT_EQ(Recover(tree, &callback), 1u);
  EXPECT_TRUE(job_->Cancelled());
  EXPECT_EQ(FilesBelow(dir_ / "Recovered Files"), (std::set<std::string>{"FAT32/FIRST", "FAT32/SECOND"}));
  EXPECT_EQ(callback.started, (std::vector<std::string>{"FIRST", "SECOND"}));
}

TEST_F(RecoverJobTest, UncheckedTreesAndSkippedNodes) {
  Tree tree;
  tree.File(tree.volume, "SKIPPED", 10, {{1, 1}});
  EXPECT_EQ(Recover(tree), 0u);
  EXPECT_FALSE(fs::exists(dir_ / "Recovered Files"));
  tree.root->properties->SetCheckState(kPartlyChecked);
  tree.volume->properties->SetCheckState(kPartlyChecked);
  tree.File(tree.volume, "TAKEN", 10, {{1, 1}})->SetCheckState(kChecked);
  ASSERT_EQ(Recover(tree), 1u);
  EXPECT_EQ(FilesBelow(dir_ / "Recovered Files"), (std::set<std::string>{"FAT32/TAKEN"}));
}

TEST_F(RecoverJobTest, AllThousandAlternativesTakenFailsTheFile) {
  Tree tree;
  tree.File(tree.volume, "F.TXT", 10, {{1, 1}});
  tree.CheckAll();
  const fs::path folder = dir_ / "taken";
  fs::create_directory(folder);
  job_ = std::make_unique<RecoverJob>(nullptr, &device_, tree.root, dir_.string());
  std::ofstream(folder / "F.TXT");
  char name[32];
  for (int i = 0; i < 1000; ++i) {
    std::snprintf(name, sizeof name, "F_%03d.TXT", i);
    std::ofstream(folder / name);
  }
  std::string made;
  EXPECT_FALSE(job_->CreateTargetFile(folder.string(), "F.TXT", made));
  fs::remove(folder / "F_999.TXT");
  ASSERT_TRUE(job_->CreateTargetFile(folder.string(), "F.TXT", made));
  EXPECT_EQ(made, (folder / "F_999.TXT").string());
}

TEST_F(RecoverJobTest, OtherSectorSizesFailFilesWithRuns) {
  Tree tree;
  CFileNode* file = nullptr;
  tree.File(tree.volume, "F", 10, {{1, 1}});
  file = tree.volume->firstChild;
  RecoveredFileWriter writer(nullptr, &device_);
  writer.SetBytesPerSector(2048);
  EXPECT_EQ(writer.WriteFileData(file, (dir_ / "F").string()), kFailed);
  writer.SetBytesPerSector(512);
  EXPECT_EQ(writer.WriteFileData(file, (dir_ / "F").string()), kWritten);
  EXPECT_EQ(fs::file_size(dir_ / "F"), 10u);
}

}  // namespace
}  // namespace korvex
