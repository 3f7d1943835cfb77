// The found-file tree at the size of a large card: 1,000,000 files in 10,000 folders with camera,
// office, music and other names. Times building, totals, the category view, checking and unchecking
// "All files", a search, and the release; the tree's heap size is reported as a counter.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <memory>
#include <string>

#include "model/fat_file_attribute.h"
#include "model/file_node.h"
#include "model/file_views.h"
#include "model/root_node_info.h"

namespace korvex {
namespace {

constexpr int kFolders = 10'000;
constexpr int kFilesPerFolder = 100;

CFileNode* AddNode(CFileNode* parent, const char* name, std::uint16_t attributes, std::uint64_t size,
                   std::uint32_t cluster) {
  auto properties = std::make_unique<CFATFileAttribute>();
  properties->SetName(name);
  properties->SetAttributes(attributes);
  properties->SetSize(size);
  properties->SetClusters(cluster, 2);
  properties->SetVolumeGeometry(32768, 64);
  auto* node = new CFileNode;
  node->properties = properties.release();
  AddChild(parent, node);
  return node;
}

// Folder i holds 100 files named after its kind: a camera folder, a document folder, music, or a
// folder of program and data files (which go to "Other Files").
CFileSystemNode* BuildTree() {
  auto* root = new CFileSystemNode;
  root->properties = new root_node_info("USB Flash Disk (15.9 GB)");
  auto* volume = new CFileSystemNode;
  volume->properties = CFATFileAttribute::MakeSyntheticFolder("FAT32", 0).release();
  volume->SetFileSystemCode(3);
  volume->SetVolumeGeometry(32768, 0, 64);
  volume->SetLabel("KORVEX CARD");
  AddChild(root, volume);
  char name[96];
  std::uint32_t cluster = 3;
  for (int f = 0; f < kFolders; ++f) {
    const int kind = f % 4;
    static const char* const kFolderFormats[] = {"DCIM/%03dCANON", "Documents %d", "Music/Album %d",
                                                 "Program Files/App%d"};
    std::snprintf(name, sizeof name, kFolderFormats[kind], f);
    CFileNode* folder = AddNode(volume, name, file_attr::kDirectory, 0, cluster++);
    for (int i = 0; i < kFilesPerFolder; ++i) {
      const int n = f * kFilesPerFolder + i;
      switch (kind) {
        case 0:
          std::snprintf(name, sizeof name, i % 10 == 9 ? "MVI_%04d.MOV" : "IMG_%04d.JPG", n % 10000);
          break;
        case 1:
          static const char* const kDocs[] = {"Report %d.docx", "Budget %d.xlsx", "notes-%d.txt",
                                              "Invoice_%d.pdf"};
          std::snprintf(name, sizeof name, kDocs[i % 4], n);
          break;
        case 2:
          std::snprintf(name, sizeof name, "%02d - Track %d.mp3", i % 20 + 1, n);
          break;
        default:
          static const char* const kOther[] = {"module%d.dll", "cache_%d.dat", "setup%d.exe", "README%d",
                                               "backup-%d.zip"};
          std::snprintf(name, sizeof name, kOther[i % 5], n);
          break;
      }
      AddNode(folder, name, file_attr::kArchive, 1000 + static_cast<std::uint64_t>(n % 5000) * 997, cluster);
      cluster += 4;
    }
  }
  return root;
}

struct Shared {
  CFileSystemNode* root = BuildTree();
  Shared() { ComputeTotals(root, root); }
  ~Shared() { ReleaseTree(root); }
};

Shared& Tree() {
  static Shared shared;
  return shared;
}

void BM_BuildAndReleaseTree(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::size_t before = mallinfo2().uordblks;
    CFileSystemNode* root = BuildTree();
    bytes = mallinfo2().uordblks - before;
    ReleaseTree(root);
  }
  state.counters["tree_MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
  state.counters["bytes_per_file"] = static_cast<double>(bytes) / (kFolders * kFilesPerFolder);
}

void BM_ComputeTotals(benchmark::State& state) {
  CFileSystemNode* root = Tree().root;
  for (auto _ : state) {
    root->statistics = {};
    ComputeTotals(root, root);
  }
  state.counters["files"] = root->statistics.totalFiles;
}

void BM_BuildCategoryView(benchmark::State& state) {
  CFileSystemNode* root = Tree().root;
  std::size_t groups = 0;
  for (auto _ : state) {
    auto view = BuildCategoryView(root);
    groups = view->GroupList().size();
  }
  state.counters["groups"] = static_cast<double>(groups);
}

void BM_ToggleAllFilesOnAndOff(benchmark::State& state) {
  CFileSystemNode* root = Tree().root;
  auto view = BuildCategoryView(root);
  for (auto _ : state) {
    root->ToggleNode(view->Root(), 255);
    if (root->statistics.checkedFiles != root->statistics.totalFiles)
      state.SkipWithError("All files did not check every file");
    root->ToggleNode(view->Root(), 255);
    if (root->statistics.checkedFiles != 0)
      state.SkipWithError("All files did not uncheck every file");
  }
}

void BM_Search(benchmark::State& state) {
  CFileSystemNode* root = Tree().root;
  auto category = BuildCategoryView(root);
  std::uint32_t hits = 0;
  for (auto _ : state) {
    auto search = BuildSearchView(root, "Track 12");
    hits = search ? search->HitCount() : 0;
    if (search)
      root->ToggleSearchFolder(search->Root(), category->Links(search->Root()));
  }
  state.counters["hits"] = hits;
}

void BM_BuildFolderView(benchmark::State& state) {
  CFileSystemNode* root = Tree().root;
  std::size_t items = 0;
  for (auto _ : state)
    items = BuildFolderView(root).size();
  state.counters["items"] = static_cast<double>(items);
}

BENCHMARK(BM_BuildAndReleaseTree)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ComputeTotals)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildCategoryView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToggleAllFilesOnAndOff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Search)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildFolderView)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvex

BENCHMARK_MAIN();
