#include "model/file_views.h"

#include <string>

#include "model/extension_classification.h"
#include "model/fat_file_attribute.h"

namespace korvex {
namespace {

// A folder of the category or search view: a CFileSystemNode with FAT properties, directory attribute.
CFileSystemNode* MakeViewFolder(std::string_view name, std::string_view extension) {
  auto properties = std::make_unique<CFATFileAttribute>();
  properties->AssignNameAndExtension(name, extension);
  properties->SetAttributes(properties->GetAttributes() | file_attr::kDirectory);
  auto* folder = new CFileSystemNode;
  folder->properties = properties.release();
  return folder;
}

std::string PageName(std::uint32_t n) {
  return "Folder" + std::to_string(n);
}

std::string PageExtension(std::uint32_t n) {
  return "FOLDER" + std::to_string(n);
}

struct CategoryFolder {
  std::uint16_t typeCode;
  std::string_view name;
  std::string_view extension;
};

constexpr CategoryFolder kCategoryFolders[] = {
    {kTypePicture, "Picture", view_code::kPicture},
    {kTypeArchive, "Archive", view_code::kArchive},
    {kTypeMultimedia, "Multimedia", view_code::kMultimedia},
    {kTypeOffice, "Office", view_code::kOffice},
};

}  // namespace

std::vector<FolderViewItem> BuildFolderView(CFileSystemNode* root) {
  std::vector<FolderViewItem> items;
  if (!root)
    return items;
  root->RefreshFolderStates(root);
  std::uint32_t depth = 0;
  WalkTree(
      root,
      [&](CFileNode* n) {
        if (n->IsFolder()) {
          std::string text = n->properties->GetName();
          if (n->IsFileSystemNode()) {
            const auto* volume = static_cast<const CFileSystemNode*>(n);
            if (!volume->label.empty())
              text += " (" + volume->label + ")";
          }
          items.push_back({n, std::move(text), depth});
        }
        ++depth;
      },
      [&](CFileNode*) { --depth; });
  return items;
}

// ----- category view -----

CCategoryView::CCategoryView(CFileSystemNode* foundRoot) : foundRoot_(foundRoot) {}

CCategoryView::~CCategoryView() {
  if (foundRoot_ && root_) {
    WalkTree(foundRoot_, [&](CFileNode* n) {
      CFileNode* top = n->groupNode;
      while (top && top->parent)
        top = top->parent;
      if (top == root_)
        n->groupNode = nullptr;
    });
  }
  ReleaseTree(root_);
}

CFileSystemNode* CCategoryView::ExtensionFolder(std::string_view extension) const {
  const auto found = extensionFolders_.find(std::string(extension));
  return found == extensionFolders_.end() ? nullptr : found->second;
}

CFileSystemNode* CCategoryView::OtherFilesPage(std::uint32_t page) const {
  return page >= 1 && page <= pages_.size() ? pages_[page - 1] : nullptr;
}

std::unique_ptr<CCategoryView> BuildCategoryView(CFileSystemNode* root) {
  std::unique_ptr<CCategoryView> view(new CCategoryView(root));
  view->root_ = MakeViewFolder("All files", view_code::kAllFiles);
  CFileSystemNode* categories[std::size(kCategoryFolders)] = {};
  std::uint32_t n = 0;

  // Files the user checked before the view existed count as checked in their folders from the start.
  auto file = [&](CFileNode* f, CFileSystemNode* group) {
    f->groupNode = group;
    if (f->CheckState() == kChecked)
      group->properties->SetCheckedCount(group->properties->GetCheckedCount() + 1);
  };

  WalkTree(root, [&](CFileNode* f) {
    if (!f->IsFile())
      return;
    f->groupNode = nullptr;
    IFileProperties& properties = *f->properties;
    const std::uint16_t type = properties.GetTypeCode();
    if (type >= kTypePicture && type <= kTypeOffice) {
      properties.SetInOtherFiles(0);
      const char* raw = properties.GetExtension();
      const std::string extension = raw ? raw : "";
      CFileSystemNode*& folder = view->extensionFolders_[extension];
      if (folder) {
        folder->properties->SetFileCount(folder->properties->GetFileCount() + 1);
      } else {
        const std::size_t c = type - kTypePicture;
        if (!categories[c]) {
          categories[c] = MakeViewFolder(kCategoryFolders[c].name, kCategoryFolders[c].extension);
          AddChild(view->root_, categories[c]);
        }
        folder = MakeViewFolder(extension, extension);
        folder->properties->SetFileCount(1);
        AddChild(categories[c], folder);
        view->groups_.push_back(folder);
      }
      file(f, folder);
    } else if (type == kTypeCarvedUnset || type == kTypeOther) {
      if (!view->otherFiles_) {
        view->otherFiles_ = MakeViewFolder("Other Files", view_code::kOtherFiles);
        AddChild(view->root_, view->otherFiles_);
      }
      n += 1;
      properties.SetInOtherFiles(1);
      properties.SetOtherFilesIndex(n);
      // Page n / 400 + 1: the first page holds 399 files, every later one 400.
      const std::uint32_t page = n / CCategoryView::kFilesPerPage + 1;
      if (view->pages_.size() < page)
        view->pages_.resize(page, nullptr);
      CFileSystemNode*& folder = view->pages_[page - 1];
      if (!folder) {
        folder = MakeViewFolder(PageName(page), PageExtension(page));
        AddChild(view->otherFiles_, folder);
        view->groups_.push_back(folder);
      }
      folder->properties->SetFileCount(folder->properties->GetFileCount() + 1);
      file(f, folder);
    }
  });
  root->RefreshGroups(view->Links());
  return view;
}

// ----- search view -----

CSearchView::~CSearchView() {
  ReleaseTree(root_);
}

CFileSystemNode* CSearchView::Page(std::uint32_t n) const {
  return n >= 1 && n <= pages_.size() ? pages_[n - 1] : nullptr;
}

std::unique_ptr<CSearchView> BuildSearchView(CFileSystemNode* root, std::string_view text) {
  std::uint32_t k = 0;
  WalkTree(root, [&](CFileNode* f) {
    if (!f->IsFile())
      return;
    f->properties->SetSearchHit(0);
    if (std::string_view(f->properties->GetName()).find(text) != std::string_view::npos) {
      f->properties->SetSearchHit(1);
      f->properties->SetSearchIndex(k++);
    }
  });
  if (k == 0)
    return nullptr;
  std::unique_ptr<CSearchView> view(new CSearchView);
  view->hits_ = k;
  view->root_ = MakeViewFolder("Found Files", view_code::kFoundFiles);
  // k / 200 + 1 pages: a multiple of 200 hits leaves an empty last page.
  const std::uint32_t pages = k / CSearchView::kHitsPerPage + 1;
  for (std::uint32_t page = 1; page <= pages; ++page) {
    CFileSystemNode* folder = MakeViewFolder(PageName(page), PageExtension(page));
    AddChild(view->root_, folder);
    view->pages_.push_back(folder);
  }
  root->RefreshSearchPages(view->root_);
  return view;
}

// ----- user actions -----

void ClickTreeCheckBox(CFileSystemNode* root, ViewMode mode, CFileNode* node, const ViewLinks& views) {
  if (!root || !node)
    return;
  switch (mode) {
    case kFolderViewMode:
      root->ToggleInFolderView(node, views);
      break;
    case kCategoryViewMode:
      root->ToggleNode(node, 255);
      root->RefreshSearchPages(views.searchRoot);
      root->RefreshFolderStates(root);
      break;
    case kSearchViewMode:
      if (node->IsFileSystemNode())
        root->ToggleSearchFolder(static_cast<CFileSystemNode*>(node), views);
      break;
  }
}

void ClickListCheckBox(CFileSystemNode* root, ViewMode mode, CFileNode* file, const ViewLinks& views) {
  if (!root || !file)
    return;
  switch (mode) {
    case kFolderViewMode:
      root->ToggleInFolderView(file, views);
      break;
    case kCategoryViewMode:
      root->ToggleNode(file, 255);
      root->RefreshSearchPages(views.searchRoot);
      root->RefreshFolderStates(root);
      break;
    case kSearchViewMode:
      root->ToggleInSearchView(file, views);
      break;
  }
}

void CheckAllShown(CFileSystemNode* root, ViewMode mode, std::span<CFileNode* const> listed, std::uint8_t s,
                   const ViewLinks& views, CFileSystemNode* page) {
  if (!root)
    return;
  switch (mode) {
    case kFolderViewMode:
      root->CheckListedFiles(listed, s, views);
      break;
    case kCategoryViewMode:
      for (CFileNode* item : listed)
        root->ToggleNode(item, s);
      root->RefreshSearchPages(views.searchRoot);
      break;
    case kSearchViewMode:
      root->CheckSearchPageFiles(page, listed, s, views);
      break;
  }
}

}  // namespace korvex
