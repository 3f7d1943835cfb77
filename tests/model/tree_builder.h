// Builds small found-file trees for the tree and view tests, and checks the bookkeeping invariants.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "model/fat_file_attribute.h"
#include "model/file_node.h"
#include "model/root_node_info.h"

namespace korvex::test {

// A found tree: the device root and one FAT volume node below it. Released on destruction.
struct FoundTree {
  CFileSystemNode* root;
  CFileSystemNode* volume;

  FoundTree() {
    root = new CFileSystemNode;
    root->properties = new root_node_info("Test device");
    volume = new CFileSystemNode;
    volume->properties = CFATFileAttribute::MakeSyntheticFolder("FAT32", 0).release();
    volume->SetFileSystemCode(3);
    volume->SetVolumeGeometry(2048, 0, 8);
    AddChild(root, volume);
  }
  ~FoundTree() { ReleaseTree(root); }
  FoundTree(const FoundTree&) = delete;
  FoundTree& operator=(const FoundTree&) = delete;

  CFileNode* Folder(CFileNode* parent, const std::string& name) {
    auto* node = new CFileNode;
    node->properties = CFATFileAttribute::MakeSyntheticFolder(name, 0).release();
    AddChild(parent, node);
    return node;
  }

  CFileNode* File(CFileNode* parent, const std::string& name, std::uint64_t size) {
    auto properties = std::make_unique<CFATFileAttribute>();
    properties->SetName(name.c_str());
    properties->SetSize(size);
    properties->SetAttributes(file_attr::kArchive);
    auto* node = new CFileNode;
    node->properties = properties.release();
    AddChild(parent, node);
    return node;
  }

  void Totals() {
    root->statistics = {};
    ComputeTotals(root, root);
  }
};

inline std::uint8_t StateOf(const CFileNode* node) {
  return node->CheckState();
}

// The statistics equal the checked files and bytes; files are 0 or 2; every group folder's checked
// count equals the checked files filed under it.
inline void ExpectConsistent(CFileSystemNode* root) {
  std::uint32_t files = 0;
  std::uint64_t bytes = 0;
  std::map<CFileSystemNode*, std::uint32_t> perGroup;
  WalkTree(root, [&](CFileNode* n) {
    if (!n->IsFile())
      return;
    const std::uint8_t state = n->CheckState();
    EXPECT_TRUE(state == kUnchecked || state == kChecked) << n->properties->GetName();
    if (n->groupNode)
      perGroup[n->groupNode] += 0;
    if (state == kChecked) {
      files += 1;
      bytes += n->properties->GetSize();
      if (n->groupNode)
        perGroup[n->groupNode] += 1;
    }
  });
  EXPECT_EQ(root->statistics.checkedFiles, files);
  EXPECT_EQ(root->statistics.checkedBytes, bytes);
  for (const auto& [group, checked] : perGroup)
    EXPECT_EQ(group->properties->GetCheckedCount(), checked) << group->properties->GetName();
}

}  // namespace korvex::test
