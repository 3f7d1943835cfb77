// The folder, category and search views: their folders, the "Other Files" and search pages, and the
// check rules of each view's actions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/extension_classification.h"
#include "model/file_views.h"
#include "tree_builder.h"

namespace korvex {
namespace {

using test::ExpectConsistent;
using test::FoundTree;
using test::StateOf;

TEST(FolderViewItems, PreOrderFoldersWithVolumeLabels) {
  FoundTree tree;
  tree.volume->SetLabel("DISK");
  CFileNode* b = tree.Folder(tree.volume, "b");
  tree.Folder(tree.volume, "a");  // comes first: children are in reverse order of insertion
  tree.Folder(b, "b1");
  tree.File(b, "file.txt", 1);
  b->properties->SetCheckState(kChecked);  // a folder whose files are not checked

  const auto items = BuildFolderView(tree.root);
  std::vector<std::string> texts;
  std::vector<std::uint32_t> depths;
  for (const auto& item : items) {
    texts.push_back(item.text);
    depths.push_back(item.depth);
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"Test device", "FAT32 (DISK)", "a", "b", "b1"}));
  EXPECT_EQ(depths, (std::vector<std::uint32_t>{0, 1, 2, 2, 3}));
  EXPECT_EQ(StateOf(b), kUnchecked) << "folder marks follow their files when the view is built";

  tree.volume->SetLabel(std::string(50, 'L'));
  EXPECT_EQ(tree.volume->label, std::string(40, 'L'));
  tree.volume->SetLabel(std::string(39, 'L') + "é");  // 41 bytes: the 2-byte character is not split
  EXPECT_EQ(tree.volume->label, std::string(39, 'L'));
}

std::vector<std::string> NamesOf(CFileNode* parent) {
  std::vector<std::string> names;
  for (CFileNode* c = parent ? parent->firstChild : nullptr; c; c = c->nextSibling)
    names.push_back(c->properties->GetName());
  return names;
}

struct Sample {
  FoundTree tree;
  CFileNode *jpg1, *jpg2, *png, *zip, *txt, *exe, *noext;
  Sample() {
    CFileNode* photos = tree.Folder(tree.volume, "photos");
    jpg1 = tree.File(photos, "a.jpg", 10);
    jpg2 = tree.File(photos, "b.JPG", 20);
    png = tree.File(photos, "c.png", 40);
    CFileNode* docs = tree.Folder(tree.volume, "docs");
    zip = tree.File(docs, "d.zip", 80);
    txt = tree.File(docs, "e.txt", 160);
    exe = tree.File(docs, "f.exe", 320);
    noext = tree.File(tree.volume, "README", 640);
    tree.Totals();
  }
};

TEST(CategoryView, FilesAreFiledByTypeAndExtension) {
  Sample s;
  auto view = BuildCategoryView(s.tree.root);
  CFileSystemNode* root = view->Root();
  EXPECT_STREQ(root->properties->GetName(), "All files");
  EXPECT_STREQ(root->properties->GetExtension(), "A8762L");
  EXPECT_TRUE(root->IsFolder());
  // Pre-order meets README and f.exe, e.txt, d.zip, then the pictures; the last created comes first.
  EXPECT_EQ(NamesOf(root), (std::vector<std::string>{"Picture", "Archive", "Office", "Other Files"}));
  CFileSystemNode* jpg = view->ExtensionFolder(".JPG");
  ASSERT_TRUE(jpg);
  EXPECT_STREQ(jpg->properties->GetName(), ".JPG");
  EXPECT_EQ(jpg->properties->GetFileCount(), 2u);
  EXPECT_STREQ(jpg->parent->properties->GetExtension(), "P1843I");
  EXPECT_EQ(NamesOf(jpg->parent), (std::vector<std::string>{".JPG", ".PNG"}));
  EXPECT_EQ(s.jpg1->groupNode, jpg);
  EXPECT_EQ(s.jpg1->properties->IsInOtherFiles(), 0u);
  EXPECT_EQ(s.zip->groupNode, view->ExtensionFolder(".ZIP"));

  CFileSystemNode* page1 = view->OtherFilesPage(1);
  ASSERT_TRUE(page1);
  EXPECT_STREQ(page1->properties->GetName(), "Folder1");
  EXPECT_STREQ(page1->properties->GetExtension(), "FOLDER1");
  EXPECT_EQ(page1->properties->GetFileCount(), 2u);
  EXPECT_EQ(s.exe->groupNode, page1);
  EXPECT_EQ(s.exe->properties->IsInOtherFiles(), 1u);
  // Pre-order: README (a child of the volume, inserted last) comes before docs/f.exe.
  EXPECT_EQ(s.noext->properties->GetOtherFilesIndex(), 1u);
  EXPECT_EQ(s.exe->properties->GetOtherFilesIndex(), 2u);
  EXPECT_EQ(view->GroupList().size(), 5u) << "4 extension folders and one page";

  view.reset();
  EXPECT_EQ(s.jpg1->groupNode, nullptr) << "no file keeps a folder of a released view";
  EXPECT_EQ(s.exe->groupNode, nullptr);
}

TEST(CategoryView, AllFilesPictureExtensionAndFileToggles) {
  Sample s;
  auto view = BuildCategoryView(s.tree.root);
  CFileSystemNode* root = s.tree.root;
  const TreeStatistics& stats = root->statistics;

  root->ToggleNode(view->Root(), 255);
  EXPECT_EQ(stats.checkedFiles, stats.totalFiles);
  EXPECT_EQ(stats.checkedBytes, stats.totalBytes);
  for (CFileSystemNode* g : view->GroupList())
    EXPECT_EQ(StateOf(g), kChecked);
  EXPECT_EQ(StateOf(s.tree.volume), kChecked);
  ExpectConsistent(root);
  root->ToggleNode(view->Root(), 255);
  EXPECT_EQ(stats.checkedFiles, 0u);
  EXPECT_EQ(stats.checkedBytes, 0u);
  ExpectConsistent(root);

  // "Picture" checks the files of its extension folders, and only those.
  CFileSystemNode* picture = static_cast<CFileSystemNode*>(view->ExtensionFolder(".JPG")->parent);
  root->ToggleNode(picture, 255);
  for (CFileNode* f : {s.jpg1, s.jpg2, s.png})
    EXPECT_EQ(StateOf(f), kChecked);
  for (CFileNode* f : {s.zip, s.txt, s.exe, s.noext})
    EXPECT_EQ(StateOf(f), kUnchecked);
  EXPECT_EQ(stats.checkedBytes, 70u);
  EXPECT_EQ(StateOf(picture), kChecked);
  EXPECT_EQ(StateOf(view->Root()), kPartlyChecked);
  EXPECT_EQ(StateOf(s.jpg1->parent), kChecked) << "the found tree's folders follow";
  ExpectConsistent(root);

  // A file toggle in the view: its extension folder by the group rule, the category by the folder rule.
  root->ToggleNode(s.jpg1, 255);
  EXPECT_EQ(StateOf(s.jpg1), kUnchecked);
  EXPECT_EQ(view->ExtensionFolder(".JPG")->properties->GetCheckedCount(), 1u) << "moved once";
  EXPECT_EQ(StateOf(view->ExtensionFolder(".JPG")), kPartlyChecked);
  EXPECT_EQ(StateOf(picture), kPartlyChecked);
  EXPECT_EQ(StateOf(s.jpg1->parent), kPartlyChecked);
  EXPECT_EQ(stats.checkedBytes, 60u);
  ExpectConsistent(root);

  // An extension folder toggles the files with its extension.
  root->ToggleNode(view->ExtensionFolder(".JPG"), 255);
  EXPECT_EQ(StateOf(s.jpg1), kChecked);
  EXPECT_EQ(StateOf(view->ExtensionFolder(".JPG")), kChecked);
  EXPECT_EQ(StateOf(picture), kChecked);
  root->ToggleNode(view->ExtensionFolder(".JPG"), 255);
  EXPECT_EQ(StateOf(s.jpg2), kUnchecked);
  EXPECT_EQ(StateOf(s.png), kChecked);
  ExpectConsistent(root);

  // Forced states: "check all shown" with a file already in that state changes nothing.
  root->ToggleNode(s.png, kChecked);
  EXPECT_EQ(stats.checkedBytes, 40u);
  ExpectConsistent(root);
}

TEST(CategoryView, ViewBuiltOverCheckedFilesStartsWithTheirCounts) {
  Sample s;
  s.tree.root->ApplyState(s.jpg1, kChecked);
  auto view = BuildCategoryView(s.tree.root);
  EXPECT_EQ(view->ExtensionFolder(".JPG")->properties->GetCheckedCount(), 1u);
  EXPECT_EQ(StateOf(view->ExtensionFolder(".JPG")), kPartlyChecked);
  s.tree.root->ToggleNode(s.jpg1, 255);
  EXPECT_EQ(view->ExtensionFolder(".JPG")->properties->GetCheckedCount(), 0u) << "no wrap below zero";
  ExpectConsistent(s.tree.root);
}

TEST(CategoryView, OtherFilesPagesHold399ThenFourHundred) {
  struct Case {
    int files;
    std::vector<std::uint32_t> pageCounts;
  };
  const Case cases[] = {{399, {399}}, {400, {399, 1}}, {799, {399, 400}}, {800, {399, 400, 1}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.files);
    FoundTree tree;
    for (int i = 0; i < c.files; ++i)
      tree.File(tree.volume, "f" + std::to_string(i) + (i % 2 ? ".bin" : ""), 1);
    tree.Totals();
    auto view = BuildCategoryView(tree.root);
    std::vector<std::uint32_t> counts;
    for (std::uint32_t page = 1; view->OtherFilesPage(page); ++page)
      counts.push_back(view->OtherFilesPage(page)->properties->GetFileCount());
    EXPECT_EQ(counts, c.pageCounts);
    EXPECT_EQ(NamesOf(view->OtherFiles()).size(), c.pageCounts.size());
  }
}

TEST(CategoryView, PageAndOtherFilesToggles) {
  FoundTree tree;
  CFileNode* folder = tree.Folder(tree.volume, "misc");
  std::vector<CFileNode*> files;
  for (int i = 0; i < 400; ++i)
    files.push_back(tree.File(folder, "f" + std::to_string(i) + ".bin", 2));
  CFileNode* jpg = tree.File(tree.volume, "p.jpg", 1000);
  tree.Totals();
  auto view = BuildCategoryView(tree.root);
  CFileSystemNode* page1 = view->OtherFilesPage(1);
  CFileSystemNode* page2 = view->OtherFilesPage(2);
  ASSERT_TRUE(page2);

  tree.root->ToggleNode(page2, 255);
  EXPECT_EQ(tree.root->statistics.checkedFiles, 1u);
  EXPECT_EQ(StateOf(page2), kChecked);
  EXPECT_EQ(page2->properties->GetCheckedCount(), 1u);
  EXPECT_EQ(StateOf(view->OtherFiles()), kPartlyChecked);
  EXPECT_EQ(StateOf(view->Root()), kPartlyChecked);
  EXPECT_EQ(StateOf(folder), kPartlyChecked) << "the found tree's folder follows";
  ExpectConsistent(tree.root);

  tree.root->ToggleNode(view->OtherFiles(), 255);
  EXPECT_EQ(tree.root->statistics.checkedFiles, 400u);
  EXPECT_EQ(StateOf(page1), kChecked);
  EXPECT_EQ(page1->properties->GetCheckedCount(), 399u) << "every file moves its own page's count";
  EXPECT_EQ(StateOf(jpg), kUnchecked);
  EXPECT_EQ(StateOf(folder), kChecked);
  ExpectConsistent(tree.root);

  tree.root->ToggleNode(page1, 255);
  EXPECT_EQ(tree.root->statistics.checkedFiles, 1u);
  EXPECT_EQ(StateOf(view->OtherFiles()), kPartlyChecked);
  ExpectConsistent(tree.root);
}

TEST(SearchView, PagesOf200WithTheEmptyLastPage) {
  struct Case {
    int hits;
    std::uint32_t pages;
  };
  for (const Case& c : {Case{1, 1}, Case{199, 1}, Case{200, 2}, Case{201, 2}, Case{400, 3}}) {
    SCOPED_TRACE(c.hits);
    FoundTree tree;
    for (int i = 0; i < c.hits; ++i)
      tree.File(tree.volume, "hit" + std::to_string(i) + ".txt", 1);
    tree.File(tree.volume, "other.txt", 1);
    auto view = BuildSearchView(tree.root, "hit");
    ASSERT_TRUE(view);
    EXPECT_EQ(view->HitCount(), static_cast<std::uint32_t>(c.hits));
    EXPECT_EQ(view->PageCount(), c.pages);
    EXPECT_STREQ(view->Root()->properties->GetName(), "Found Files");
    EXPECT_STREQ(view->Root()->properties->GetExtension(), "FOUND FILES");
    EXPECT_EQ(NamesOf(view->Root()).size(), c.pages);
    EXPECT_STREQ(view->Page(c.pages)->properties->GetName(), ("Folder" + std::to_string(c.pages)).c_str());
  }
  FoundTree tree;
  tree.File(tree.volume, "Hit.txt", 1);
  EXPECT_EQ(BuildSearchView(tree.root, "hit"), nullptr) << "case-sensitive";
}

TEST(SearchView, RootPageAndFileActions) {
  FoundTree tree;
  std::vector<CFileNode*> files;
  CFileNode* folder = tree.Folder(tree.volume, "f");
  for (int i = 0; i < 200; ++i)
    files.push_back(tree.File(folder, "img" + std::to_string(i) + ".jpg", 3));
  CFileNode* miss = tree.File(tree.volume, "nothing.txt", 5);
  tree.Totals();
  auto category = BuildCategoryView(tree.root);
  auto search = BuildSearchView(tree.root, "img");
  ASSERT_TRUE(search);
  const ViewLinks links = category->Links(search->Root());
  CFileSystemNode* page1 = search->Page(1);
  CFileSystemNode* page2 = search->Page(2);
  ASSERT_TRUE(page2) << "200 hits leave an empty second page";

  // The hit numbered 199 (the last in pre-order) lies on page 1.
  CFileNode* last = nullptr;
  for (CFileNode* f : files) {
    if (f->properties->GetSearchIndex() == 199)
      last = f;
  }
  ASSERT_TRUE(last);
  tree.root->ToggleInSearchView(last, links);
  EXPECT_EQ(StateOf(page1), kPartlyChecked);
  EXPECT_EQ(StateOf(page2), kUnchecked);
  EXPECT_EQ(StateOf(search->Root()), kPartlyChecked);
  EXPECT_EQ(StateOf(category->ExtensionFolder(".JPG")), kPartlyChecked);
  ExpectConsistent(tree.root);

  tree.root->ToggleSearchFolder(page1, links);
  EXPECT_EQ(tree.root->statistics.checkedFiles, 200u);
  EXPECT_EQ(StateOf(page1), kChecked);
  EXPECT_EQ(StateOf(search->Root()), kChecked) << "the empty page does not hold the root back";
  EXPECT_EQ(StateOf(category->ExtensionFolder(".JPG")), kChecked);
  EXPECT_EQ(StateOf(folder), kChecked);
  EXPECT_EQ(StateOf(miss), kUnchecked);

  tree.root->ToggleSearchFolder(search->Root(), links);
  EXPECT_EQ(tree.root->statistics.checkedFiles, 0u);
  EXPECT_EQ(StateOf(search->Root()), kUnchecked);
  EXPECT_EQ(StateOf(page2), kUnchecked);
  EXPECT_EQ(StateOf(folder), kUnchecked);
  ExpectConsistent(tree.root);

  std::vector<CFileNode*> shown(files.begin(), files.begin() + 10);
  tree.root->CheckSearchPageFiles(page1, shown, kChecked, links);
  EXPECT_EQ(tree.root->statistics.checkedFiles, 10u);
  EXPECT_EQ(StateOf(page1), kPartlyChecked);
  EXPECT_EQ(StateOf(search->Root()), kPartlyChecked);
  EXPECT_EQ(StateOf(folder), kPartlyChecked);
  ExpectConsistent(tree.root);

  // A folder-view click refreshes the pages.
  tree.root->ToggleInFolderView(folder, links);
  EXPECT_EQ(StateOf(page1), kChecked);
  EXPECT_EQ(StateOf(search->Root()), kChecked);
  ExpectConsistent(tree.root);
}

TEST(SearchView, ApplyToSearchPageTouchesOnlyItsHits) {
  FoundTree tree;
  for (int i = 0; i < 450; ++i)
    tree.File(tree.volume, "x" + std::to_string(i), 1);
  auto search = BuildSearchView(tree.root, "x");
  ASSERT_TRUE(search);
  EXPECT_EQ(search->PageCount(), 3u);
  tree.root->ApplyToSearchPage(3, kChecked);
  EXPECT_EQ(tree.root->statistics.checkedFiles, 50u);
  tree.root->RefreshSearchPages(search->Root());
  EXPECT_EQ(StateOf(search->Page(1)), kUnchecked);
  EXPECT_EQ(StateOf(search->Page(3)), kChecked);
  EXPECT_EQ(StateOf(search->Root()), kPartlyChecked);
  // A new search clears the old hits.
  auto again = BuildSearchView(tree.root, "x44");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->HitCount(), 11u);  // x44, x440..x449
}

}  // namespace
}  // namespace korvex

namespace korvex {
namespace {

TEST(UserActions, EveryViewModeKeepsEverythingInStep) {
  for (ViewMode mode : {kFolderViewMode, kCategoryViewMode, kSearchViewMode}) {
    SCOPED_TRACE(mode);
    Sample s;
    CFileSystemNode* root = s.tree.root;
    auto category = BuildCategoryView(root);
    auto search = BuildSearchView(root, ".");  // every name with a dot: all but README
    ASSERT_TRUE(search);
    const ViewLinks links = category->Links(search->Root());
    CFileNode* photos = s.jpg1->parent;

    ClickListCheckBox(root, mode, s.jpg1, links);
    EXPECT_EQ(StateOf(s.jpg1), kChecked);
    EXPECT_EQ(StateOf(photos), kPartlyChecked);
    EXPECT_EQ(StateOf(category->ExtensionFolder(".JPG")), kPartlyChecked);
    EXPECT_EQ(StateOf(search->Page(1)), kPartlyChecked);
    ExpectConsistent(root);

    const std::vector<CFileNode*> shown = {s.jpg1, s.jpg2, s.png};
    CheckAllShown(root, mode, shown, kChecked, links, search->Page(1));
    EXPECT_EQ(StateOf(photos), kChecked);
    EXPECT_EQ(StateOf(category->ExtensionFolder(".JPG")), kChecked);
    EXPECT_EQ(root->statistics.checkedBytes, 70u);
    ExpectConsistent(root);

    // The tree click that checks everything the view shows.
    CFileNode* everything = mode == kFolderViewMode     ? static_cast<CFileNode*>(root)
                            : mode == kCategoryViewMode ? category->Root()
                                                        : search->Root();
    ClickTreeCheckBox(root, mode, everything, links);
    const std::uint64_t readme = mode == kSearchViewMode ? 640 : 0;  // no hit, stays unchecked
    EXPECT_EQ(root->statistics.checkedBytes, s.tree.root->statistics.totalBytes - readme);
    EXPECT_EQ(StateOf(category->Root()), mode == kSearchViewMode ? kPartlyChecked : kChecked);
    EXPECT_EQ(StateOf(search->Root()), kChecked);
    ExpectConsistent(root);
    ClickTreeCheckBox(root, mode, everything, links);
    EXPECT_EQ(root->statistics.checkedFiles, 0u);
    EXPECT_EQ(StateOf(photos), kUnchecked);
    ExpectConsistent(root);
  }
}

}  // namespace
}  // namespace korvex
