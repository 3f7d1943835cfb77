// The three views of the found-file tree, as a front end draws them: the folder view (the folders of
// the found tree in pre-order), the category view (files filed by type and extension, the rest on
// "Other Files" pages of 400) and the search view (name hits on pages of 200). The category and
// search views own their folders; release them before the found tree.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/file_node.h"

namespace korvex {

struct FolderViewItem {
  CFileNode* node;
  std::string text;     // the name, for a volume with a label "NAME (LABEL)"
  std::uint32_t depth;  // 0 for the root; an item's parent is the nearest earlier item one level up
};

// One item per folder of the found tree, in pre-order. The folders' check states are derived from
// their files as the items are made (all 0 on a tree nobody has checked yet).
std::vector<FolderViewItem> BuildFolderView(CFileSystemNode* root);

class CCategoryView {
 public:
  static constexpr std::uint32_t kFilesPerPage = 400;
  static constexpr std::string_view kRootText = "All Files";  // what the view root's item shows

  CCategoryView(const CCategoryView&) = delete;
  CCategoryView& operator=(const CCategoryView&) = delete;
  // Unfiles every file filed under this view and releases its folders.
  ~CCategoryView();

  // "All files" (extension "A8762L").
  CFileSystemNode* Root() const { return root_; }
  // The extension folders and "Other Files" pages, in the order they were made.
  std::span<CFileSystemNode* const> GroupList() const { return groups_; }
  ViewLinks Links(CFileSystemNode* searchRoot = nullptr) const { return {root_, groups_, searchRoot}; }

  // Null when the view has no such folder.
  CFileSystemNode* ExtensionFolder(std::string_view extension) const;
  CFileSystemNode* OtherFiles() const { return otherFiles_; }
  CFileSystemNode* OtherFilesPage(std::uint32_t page) const;

 private:
  friend std::unique_ptr<CCategoryView> BuildCategoryView(CFileSystemNode* root);
  explicit CCategoryView(CFileSystemNode* foundRoot);

  CFileSystemNode* foundRoot_;
  CFileSystemNode* root_ = nullptr;
  CFileSystemNode* otherFiles_ = nullptr;
  std::vector<CFileSystemNode*> groups_;
  std::vector<CFileSystemNode*> pages_;  // page n at n - 1
  std::unordered_map<std::string, CFileSystemNode*> extensionFolders_;
};

// Files every file of the found tree by its type code: pictures, archives, multimedia and office
// files under an extension folder of their category, other files on the pages of "Other Files".
std::unique_ptr<CCategoryView> BuildCategoryView(CFileSystemNode* root);

class CSearchView {
 public:
  static constexpr std::uint32_t kHitsPerPage = 200;

  CSearchView(const CSearchView&) = delete;
  CSearchView& operator=(const CSearchView&) = delete;
  ~CSearchView();

  // "Found Files" with its pages "Folder1", "Folder2", ... as children.
  CFileSystemNode* Root() const { return root_; }
  std::uint32_t HitCount() const { return hits_; }
  // Page n (from 1), or null.
  CFileSystemNode* Page(std::uint32_t n) const;
  std::uint32_t PageCount() const { return static_cast<std::uint32_t>(pages_.size()); }

 private:
  friend std::unique_ptr<CSearchView> BuildSearchView(CFileSystemNode* root, std::string_view text);
  CSearchView() = default;

  CFileSystemNode* root_ = nullptr;
  std::vector<CFileSystemNode*> pages_;
  std::uint32_t hits_ = 0;
};

// What each user action on check boxes runs, by view mode (0 folder, 1 category, 2 search view). The
// front end hands in the links of the views that exist, and redraws afterwards.
enum ViewMode : std::uint32_t { kFolderViewMode = 0, kCategoryViewMode = 1, kSearchViewMode = 2 };

// A click on the check box of a node in the tree control.
void ClickTreeCheckBox(CFileSystemNode* root, ViewMode mode, CFileNode* node, const ViewLinks& views);
// A click on the check box of a file in the list.
void ClickListCheckBox(CFileSystemNode* root, ViewMode mode, CFileNode* file, const ViewLinks& views);
// "Check all" or "uncheck all" of the files the list shows; in the search view `page` is the page
// folder whose files are listed.
void CheckAllShown(CFileSystemNode* root, ViewMode mode, std::span<CFileNode* const> listed, std::uint8_t s,
                   const ViewLinks& views, CFileSystemNode* page = nullptr);

// Marks the files whose name contains `text` (bytes, case-sensitive) as search hits numbered in
// pre-order, and makes the view of their pages; null when nothing matches.
std::unique_ptr<CSearchView> BuildSearchView(CFileSystemNode* root, std::string_view text);

}  // namespace korvex
