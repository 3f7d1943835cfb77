// The found-file tree: links, geometry lookups, release order, totals, the folder-view check rules,
// and a chain a million levels deep.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "model/byte_stream.h"
#include "model/ntfs_file_properties.h"

#include "model/file_views.h"
#include "tree_builder.h"

namespace korvex {
namespace {

using test::ExpectConsistent;
using test::FoundTree;
using test::StateOf;

std::vector<CFileNode*> Children(CFileNode* parent) {
  std::vector<CFileNode*> out;
  for (CFileNode* c = parent->firstChild; c; c = c->nextSibling)
    out.push_back(c);
  return out;
}

TEST(FileTree, ChildrenComeInReverseOrderOfInsertionAndRemoveOnlyTheirOwn) {
  FoundTree tree;
  CFileNode* a = tree.File(tree.volume, "a", 1);
  CFileNode* b = tree.File(tree.volume, "b", 1);
  CFileNode* c = tree.File(tree.volume, "c", 1);
  EXPECT_EQ(Children(tree.volume), (std::vector<CFileNode*>{c, b, a}));
  EXPECT_EQ(b->parent, tree.volume);

  EXPECT_FALSE(RemoveChild(tree.root, b)) << "b is a grandchild of the root";
  EXPECT_FALSE(RemoveChild(tree.volume, nullptr));
  EXPECT_EQ(Children(tree.volume), (std::vector<CFileNode*>{c, b, a}));
  EXPECT_EQ(b->parent, tree.volume);

  EXPECT_TRUE(RemoveChild(tree.volume, b));
  EXPECT_EQ(Children(tree.volume), (std::vector<CFileNode*>{c, a}));
  EXPECT_EQ(b->parent, nullptr);
  EXPECT_EQ(b->nextSibling, nullptr);
  EXPECT_TRUE(RemoveChild(tree.volume, c));
  EXPECT_EQ(Children(tree.volume), (std::vector<CFileNode*>{a}));
  ReleaseTree(b);
  ReleaseTree(c);
}

TEST(FileTree, GeometryAndFileSystemCodeComeFromTheNearestVolume) {
  FoundTree tree;
  CFileNode* folder = tree.Folder(tree.volume, "DCIM");
  CFileNode* file = tree.File(folder, "x.jpg", 10);
  std::uint64_t base = 0;
  std::uint32_t sectors = 0;
  EXPECT_TRUE(file->GetVolumeGeometry(base, sectors));
  EXPECT_EQ(base, 2048u);
  EXPECT_EQ(sectors, 8u);
  EXPECT_EQ(file->GetFileSystemCode(), 3u);

  // A file assembled away from its volume carries its own values.
  file->volumeBase = 0;
  file->sectorsPerCluster = 1;
  EXPECT_TRUE(file->GetVolumeGeometry(base, sectors));
  EXPECT_EQ(base, 0u);
  EXPECT_EQ(sectors, 1u);

  tree.volume->SetVolumeGeometry(0x89ABCDEF, 0x1, 64);
  EXPECT_TRUE(folder->GetVolumeGeometry(base, sectors));
  EXPECT_EQ(base, 0x189ABCDEFu);
  EXPECT_EQ(sectors, 64u);

  CFileNode loose;
  EXPECT_FALSE(loose.GetVolumeGeometry(base, sectors));
  EXPECT_EQ(loose.GetFileSystemCode(), 0u);
  EXPECT_EQ(tree.root->GetFileSystemCode(), 0u) << "the device root";
}

// Properties that log their destruction, to see the order ReleaseTree deletes in.
struct Logged : CFATFileAttribute {
  Logged(std::string name, std::vector<std::string>* log) : log_(log) {
    SetName(name.c_str());
    SetAttributes(file_attr::kDirectory);
  }
  ~Logged() override { log_->push_back(GetName()); }
  std::vector<std::string>* log_;
};

TEST(FileTree, ReleaseTreeDeletesInPostOrderAndReleaseNodesKeepsProperties) {
  std::vector<std::string> log;
  auto node = [&](CFileNode* parent, const char* name) {
    auto* n = new CFileNode;
    n->properties = new Logged(name, &log);
    AddChild(parent, n);
    return n;
  };
  CFileNode* top = node(nullptr, "top");
  CFileNode* a = node(top, "a");
  CFileNode* b = node(top, "b");  // chain order: b, a
  node(a, "a1");
  node(b, "b1");
  node(b, "b2");  // chain order under b: b2, b1
  ReleaseTree(top);
  EXPECT_EQ(log, (std::vector<std::string>{"b2", "b1", "b", "a1", "a", "top"}));

  log.clear();
  CFileNode* kept = new CFileNode;
  IFileProperties* properties = kept->properties = new Logged("kept", &log);
  CFileNode* child = node(kept, "child");
  IFileProperties* childProperties = child->properties;
  ReleaseNodes(kept);
  EXPECT_TRUE(log.empty()) << "ReleaseNodes deletes no properties";
  delete properties;
  delete childProperties;
}

TEST(FileTree, ReleasingASubtreeUnlinksItFromItsParent) {
  FoundTree tree;
  CFileNode* first = tree.Folder(tree.volume, "first");
  tree.File(first, "inner.txt", 3);
  CFileNode* second = tree.Folder(tree.volume, "second");
  ReleaseTree(first);
  EXPECT_EQ(Children(tree.volume), (std::vector<CFileNode*>{second}));
}

TEST(FileTree, TotalsCountFilesOnly) {
  FoundTree tree;
  CFileNode* folder = tree.Folder(tree.volume, "Documents");
  tree.File(folder, "a.txt", 100);
  tree.File(folder, "b.doc", 250);
  tree.File(tree.volume, "c.jpg", 1);
  tree.Folder(folder, "empty");
  tree.Totals();
  EXPECT_EQ(tree.root->statistics.totalFiles, 3u);
  EXPECT_EQ(tree.root->statistics.totalBytes, 351u);
  ComputeTotals(tree.root, folder);
  EXPECT_EQ(tree.root->statistics.totalFiles, 5u) << "adds; the caller zeroes first";
}

TEST(FolderView, FileAndFolderClicksKeepFoldersAndStatisticsInStep) {
  FoundTree tree;
  CFileNode* outer = tree.Folder(tree.volume, "outer");
  CFileNode* inner = tree.Folder(outer, "inner");
  CFileNode* x = tree.File(inner, "x.txt", 100);
  CFileNode* y = tree.File(inner, "y.txt", 30);
  CFileNode* z = tree.File(outer, "z.txt", 7);
  tree.Totals();
  const ViewLinks none;

  tree.root->ToggleInFolderView(x, none);
  EXPECT_EQ(StateOf(x), kChecked);
  EXPECT_EQ(StateOf(inner), kPartlyChecked) << "the other child is unchecked";
  EXPECT_EQ(StateOf(outer), kPartlyChecked);
  EXPECT_EQ(StateOf(tree.root), kPartlyChecked);
  ExpectConsistent(tree.root);

  tree.root->ToggleInFolderView(y, none);
  EXPECT_EQ(StateOf(inner), kChecked);
  EXPECT_EQ(StateOf(outer), kPartlyChecked) << "z is still unchecked";
  EXPECT_EQ(tree.root->statistics.checkedBytes, 130u);

  tree.root->ToggleInFolderView(x, none);
  EXPECT_EQ(tree.root->statistics.checkedFiles, 1u);
  EXPECT_EQ(tree.root->statistics.checkedBytes, 30u) << "its size is subtracted once";
  ExpectConsistent(tree.root);

  // A folder click checks its whole subtree, then the ancestors follow.
  tree.root->ToggleInFolderView(outer, none);
  for (CFileNode* n : {outer, inner, x, y, z})
    EXPECT_EQ(StateOf(n), kChecked);
  EXPECT_EQ(StateOf(tree.volume), kChecked);
  EXPECT_EQ(tree.root->statistics.checkedBytes, 137u);
  ExpectConsistent(tree.root);
  tree.root->ToggleInFolderView(outer, none);
  EXPECT_EQ(tree.root->statistics.checkedFiles, 0u);
  EXPECT_EQ(tree.root->statistics.checkedBytes, 0u);
  EXPECT_EQ(StateOf(tree.root), kUnchecked);

  // Checking twice counts once.
  tree.root->ApplyState(x, kChecked);
  tree.root->ApplyState(x, kChecked);
  EXPECT_EQ(tree.root->statistics.checkedFiles, 1u);
  ExpectConsistent(tree.root);

  tree.root->ResetSelection();
  EXPECT_EQ(StateOf(x), kUnchecked);
  EXPECT_EQ(tree.root->statistics.checkedFiles, 0u);
  EXPECT_EQ(tree.root->statistics.totalFiles, 0u) << "totals are zeroed too";
}

TEST(FolderView, FolderRuleAndChildlessFolders) {
  FoundTree tree;
  CFileNode* empty = tree.Folder(tree.volume, "empty");
  CFileNode* full = tree.Folder(tree.volume, "full");
  CFileNode* f = tree.File(full, "f.txt", 1);
  empty->properties->SetCheckState(kChecked);
  EXPECT_EQ(tree.root->DeriveFolderState(empty), kChecked) << "the single-folder form leaves it";
  tree.root->SetFileState(f, kChecked);
  EXPECT_EQ(tree.root->DeriveFolderState(full), kChecked);
  tree.root->RefreshFolderStates(tree.root);
  EXPECT_EQ(StateOf(empty), kUnchecked) << "the refresh sets a childless folder to 0";
  EXPECT_EQ(StateOf(tree.volume), kPartlyChecked);
}

TEST(FolderView, CheckListedFilesChecksTheShownFilesAndTheirFolders) {
  FoundTree tree;
  CFileNode* a = tree.Folder(tree.volume, "a");
  CFileNode* b = tree.Folder(tree.volume, "b");
  std::vector<CFileNode*> listed = {tree.File(a, "1.txt", 1), tree.File(a, "2.jpg", 2)};
  CFileNode* other = tree.File(b, "3.txt", 4);
  tree.Totals();
  auto category = BuildCategoryView(tree.root);

  EXPECT_EQ(tree.root->CheckListedFiles(listed, kChecked, category->Links()), 1u);
  EXPECT_EQ(StateOf(a), kChecked);
  EXPECT_EQ(StateOf(b), kUnchecked);
  EXPECT_EQ(StateOf(tree.volume), kPartlyChecked);
  EXPECT_EQ(StateOf(category->ExtensionFolder(".JPG")), kChecked);
  EXPECT_EQ(StateOf(category->ExtensionFolder(".TXT")), kPartlyChecked) << "3.txt is unchecked";
  EXPECT_EQ(StateOf(category->Root()), kPartlyChecked);
  ExpectConsistent(tree.root);

  const std::vector<CFileNode*> all = {other};
  tree.root->CheckListedFiles(all, kChecked, category->Links());
  EXPECT_EQ(StateOf(category->Root()), kChecked);
  EXPECT_EQ(StateOf(tree.root), kChecked);
  tree.root->CheckListedFiles(listed, kUnchecked, category->Links());
  EXPECT_EQ(StateOf(category->ExtensionFolder(".JPG")), kUnchecked);
  EXPECT_EQ(tree.root->statistics.checkedBytes, 4u);
  ExpectConsistent(tree.root);
}

TEST(FileSystemNode, NodeRecordRoundTripAndStoredValues) {
  CFileSystemNode volume;
  volume.statistics = {7, 3, 7000, 3000, {11, 12, 13, 14}};
  volume.SetVolumeGeometry(0x2000, 0x1, 16);
  volume.SetFileSystemCode(2);
  volume.SetLabel("DATA16");
  CMemoryByteStream stream;
  volume.SaveRecord(stream, "SanDisk Ultra");

  std::vector<std::uint8_t> expected;
  auto le = [&](std::uint64_t v, int width) {
    for (int i = 0; i < width; ++i)
      expected.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  le(7, 4), le(0, 4), le(7000, 8), le(0, 8), le(11, 4), le(0, 4), le(13, 4), le(0, 4);
  le(0x100002000, 8), le(16, 4), le(2, 4), le(6, 4), le(13, 4);
  for (char c : std::string_view("SanDisk UltraDATA16"))
    expected.push_back(static_cast<std::uint8_t>(c));
  EXPECT_EQ(stream.Bytes(), expected) << "checked values and the 2nd and 4th kept words are not saved";

  CFileSystemNode loaded;
  EXPECT_EQ(loaded.Load(stream), 1u);
  EXPECT_EQ(stream.Remaining(), 0u);
  EXPECT_EQ(loaded.statistics.totalFiles, 7u);
  EXPECT_EQ(loaded.statistics.checkedFiles, 0u);
  EXPECT_EQ(loaded.statistics.kept[2], 13u);
  EXPECT_EQ(loaded.volumeBase, 0x100002000u);
  EXPECT_EQ(loaded.sectorsPerCluster, 16u);
  EXPECT_EQ(loaded.GetFileSystemCode(), 2u);
  EXPECT_EQ(loaded.label, "DATA16");
  EXPECT_EQ(loaded.deviceText, "SanDisk Ultra");
  CFileNode plain;
  EXPECT_EQ(plain.Save(stream), 0u);
  EXPECT_EQ(stream.Remaining(), 0u) << "a plain node writes nothing";

  // A device-text length beyond what the stream holds is the stream's error, not an allocation.
  std::vector<std::uint8_t> cut(expected.begin(), expected.begin() + 60);  // up to the label length
  cut.insert(cut.end(), {0xFF, 0xFF, 0xFF, 0xFF});
  CMemoryByteStream bad(cut);
  EXPECT_THROW(loaded.Load(bad), IRSException);

  std::uint8_t record[CFileSystemNode::kPartitionRecordSize];
  for (std::size_t i = 0; i < sizeof record; ++i)
    record[i] = static_cast<std::uint8_t>(i);
  std::uint8_t back[CFileSystemNode::kPartitionRecordSize] = {};
  EXPECT_EQ(loaded.GetPartitionRecord(back), 1u);
  EXPECT_EQ(back[263], 0) << "all zero unless set";
  EXPECT_EQ(loaded.SetPartitionRecord(record), 1u);
  loaded.GetPartitionRecord(back);
  EXPECT_EQ(std::memcmp(back, record, sizeof record), 0);

  TreeStatistics copy;
  EXPECT_EQ(volume.GetStatistics(copy), 1u);
  EXPECT_EQ(copy.kept[3], 14u);
  CFileNode file;
  EXPECT_EQ(volume.SetFileMark(&file, 3), 0u) << "no properties";
  file.properties = new CNTFSFileProperties;
  volume.SetFileMark(&file, 3);
  EXPECT_EQ(volume.SetFileMark(&file, 4), 3u) << "the properties' answer";
  delete file.properties;
}

TEST(FileTree, AMillionLevelsDeepChainIsBuiltCheckedAndReleased) {
  constexpr int kDepth = 1'000'000;
  auto* root = new CFileSystemNode;
  root->properties = new root_node_info("deep");
  CFileNode* bottom = root;
  for (int i = 0; i < kDepth; ++i) {
    auto* folder = new CFileNode;
    auto properties = std::make_unique<CFATFileAttribute>();
    properties->SetName("d");
    properties->SetAttributes(file_attr::kDirectory);
    folder->properties = properties.release();
    AddChild(bottom, folder);
    bottom = folder;
  }
  auto* file = new CFileNode;
  auto properties = std::make_unique<CFATFileAttribute>();
  properties->SetName("deep.jpg");
  properties->SetSize(5);
  file->properties = properties.release();
  AddChild(bottom, file);

  ComputeTotals(root, root);
  EXPECT_EQ(root->statistics.totalFiles, 1u);
  std::uint64_t base = 1;
  std::uint32_t sectors = 1;
  EXPECT_TRUE(file->GetVolumeGeometry(base, sectors)) << "found at the root a million levels up";
  EXPECT_EQ(base, 0u);

  const ViewLinks none;
  root->ToggleInFolderView(file, none);
  EXPECT_EQ(StateOf(root), kChecked) << "every level re-derived";
  root->ToggleInFolderView(root, none);
  EXPECT_EQ(StateOf(file), kUnchecked);
  root->ApplyState(root, kChecked);
  root->RefreshFolderStates(root);
  EXPECT_EQ(StateOf(root), kChecked);
  EXPECT_EQ(BuildFolderView(root).size(), static_cast<std::size_t>(kDepth) + 1);
  {
    auto category = BuildCategoryView(root);
    root->ToggleNode(category->Root(), 255);
    EXPECT_EQ(StateOf(file), kUnchecked);
    auto search = BuildSearchView(root, "deep");
    ASSERT_TRUE(search);
    root->ToggleSearchFolder(search->Root(), category->Links(search->Root()));
    EXPECT_EQ(StateOf(file), kChecked);
  }
  ExpectConsistent(root);
  ReleaseTree(root);
}

}  // namespace
}  // namespace korvex
