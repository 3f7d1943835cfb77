// The tree of carved files: type folders, names, groups of 300, and the carved files' properties.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "carving/raw_tree_builder.h"
#include "model/byte_stream.h"
#include "model/data_run_list.h"
#include "model/extension_classification.h"
#include "model/file_node.h"
#include "model/raw_file_properties.h"

namespace korvex {
namespace {

constexpr std::uint32_t kJpg = 29, kPng = 45;

std::vector<CFileNode*> Children(const CFileNode* node) {
  std::vector<CFileNode*> out;
  for (CFileNode* c = node->firstChild; c; c = c->nextSibling)
    out.push_back(c);
  return out;
}

std::vector<std::string> ChildNames(const CFileNode* node) {
  std::vector<std::string> out;
  for (CFileNode* c : Children(node))
    out.emplace_back(c->properties->GetName());
  return out;
}

RawFileList Finds(std::uint32_t type, std::uint32_t n) {
  RawFileList list;
  for (std::uint32_t i = 0; i < n; ++i) {
    CRawFileInfo info;
    info.startSector = 100 + i;
    info.size = 1000;
    info.type = type;
    list.Add(info);
  }
  return list;
}

struct Tree {
  explicit Tree(const RawFileList& list) : root(RawTreeBuilder().Build(list, nullptr)) {}
  ~Tree() { ReleaseTree(root); }
  CFileSystemNode* root;
};

TEST(RawTree, GroupsOfThreeHundred) {
  struct Case {
    std::uint32_t files;
    std::vector<std::string> groups;  // newest first, as nodes are inserted first
  };
  const Case cases[] = {
      {299, {}},
      {300, {"1-300"}},
      {301, {"301-301", "1-300"}},
      {600, {"301-600", "1-300"}},
      {750, {"601-750", "301-600", "1-300"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.files);
    Tree tree(Finds(kJpg, c.files));
    ASSERT_NE(tree.root, nullptr);
    EXPECT_STREQ(tree.root->properties->GetName(), "All RAW Files");
    EXPECT_EQ(tree.root->GetFileSystemCode(), 8u);
    ASSERT_EQ(ChildNames(tree.root), std::vector<std::string>{"JPG (JPG picture)"});
    CFileNode* typeFolder = tree.root->firstChild;
    if (c.groups.empty()) {
      EXPECT_EQ(Children(typeFolder).size(), c.files);
      continue;
    }
    EXPECT_EQ(ChildNames(typeFolder), c.groups);
    std::uint32_t total = 0;
    for (CFileNode* group : Children(typeFolder)) {
      const auto files = Children(group);
      EXPECT_LE(files.size(), 300u);
      total += static_cast<std::uint32_t>(files.size());
    }
    EXPECT_EQ(total, c.files);
  }
}

TEST(RawTree, NamesAndWhatIsLeftOut) {
  RawFileList list = Finds(kJpg, 1000);
  CRawFileInfo png;
  png.startSector = 5;
  png.size = 513;
  png.type = kPng;
  list.Add(png);
  CRawFileInfo empty = png;
  empty.size = 0;
  list.Add(empty);
  CRawFileInfo script = png;
  script.type = 1005;  // a signature-script type that is not enabled
  list.Add(script);

  Tree tree(list);
  EXPECT_EQ(ChildNames(tree.root), (std::vector<std::string>{"PNG (Portable Multiple-Image Network Graphics)",
                                                             "JPG (JPG picture)"}));
  CFileNode* pngFolder = tree.root->firstChild;
  ASSERT_EQ(Children(pngFolder).size(), 1u) << "the find of size 0 is left out";
  const IFileProperties& file = *pngFolder->firstChild->properties;
  EXPECT_STREQ(file.GetName(), "File001.PNG");
  EXPECT_STREQ(file.GetExtension(), ".PNG");
  EXPECT_EQ(file.GetTypeCode(), kTypePicture);
  EXPECT_EQ(file.GetSize(), 513u);
  EXPECT_EQ(file.GetAttributes(), 32);
  auto runs = file.CreateDataRunList();
  ASSERT_NE(runs, nullptr);
  ASSERT_EQ(runs->Count(), 1u);
  EXPECT_EQ(runs->Runs()[0], (DataRun{5, 2})) << "one run over the sectors the size covers";

  // The 1000th JPEG sits in the newest group, 901-1000.
  CFileNode* jpgFolder = tree.root->firstChild->nextSibling;
  CFileNode* newest = jpgFolder->firstChild;
  EXPECT_STREQ(newest->properties->GetName(), "901-1000");
  EXPECT_STREQ(newest->firstChild->properties->GetName(), "File1000.JPG");
}

TEST(RawFileProperties, RecordRoundTripKeepsThePictureTypeCode) {
  auto file = CRAWFileProperties::MakeFile("File007.JPG", 0x1'0000'0001, 4097, "JPG");
  file->SetCheckState(kChecked);
  CMemoryByteStream stream;
  file->Save(stream);
  // Name length with its NUL, the name, size, attributes, state, type code 1022 as 0xFE.
  const auto& bytes = stream.Bytes();
  ASSERT_GT(bytes.size(), 26u);
  EXPECT_EQ(bytes[0], 12);
  EXPECT_EQ(bytes[12], 0) << "the NUL is written";
  EXPECT_EQ(bytes[12 + 1 + 8 + 2 + 1], 0xFE);

  CRAWFileProperties back;
  back.Load(stream);
  EXPECT_EQ(stream.Remaining(), 0u);
  EXPECT_STREQ(back.GetName(), "File007.JPG");
  EXPECT_EQ(back.GetNameLength(), 12);
  EXPECT_STREQ(back.GetExtension(), ".JPG");
  EXPECT_EQ(back.GetTypeCode(), kTypePicture);
  EXPECT_EQ(back.GetSize(), 4097u);
  EXPECT_EQ(back.GetAttributes(), 32);
  EXPECT_EQ(back.GetCheckState(), kUnchecked) << "check states are not saved";
  auto runs = back.CreateDataRunList();
  ASSERT_NE(runs, nullptr);
  EXPECT_EQ(runs->Runs()[0], (DataRun{0x1'0000'0001, 9}));

  auto folder = CRAWFileProperties::MakeFolder("JPG (JPG picture)");
  CMemoryByteStream folderStream;
  folder->Save(folderStream);
  CRAWFileProperties folderBack;
  folderBack.Load(folderStream);
  EXPECT_EQ(folderBack.GetAttributes(), 16);
  EXPECT_EQ(folderBack.GetState(), 16);
  EXPECT_EQ(folderBack.GetTypeCode(), kTypeCarvedUnset);
  EXPECT_EQ(folderBack.GetExtension() ? std::string(folderBack.GetExtension()) : "", "");
  EXPECT_EQ(folderBack.GetValidFields(), 0x1C7u);
}

}  // namespace
}  // namespace korvex
