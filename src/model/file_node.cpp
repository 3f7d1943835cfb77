#include "model/file_node.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "model/byte_stream.h"

namespace korvex {
namespace {

std::string_view TextOf(const char* text) {
  return text ? std::string_view(text) : std::string_view();
}

std::string_view ExtensionOf(const CFileNode* node) {
  return node && node->properties ? TextOf(node->properties->GetExtension()) : std::string_view();
}

void SetState(CFileNode* node, std::uint8_t s) {
  if (node && node->properties)
    node->properties->SetCheckState(s);
}

// The top of a node's parent chain: the root of the view (or tree) it belongs to.
CFileNode* TopOf(CFileNode* node) {
  while (node && node->parent)
    node = node->parent;
  return node;
}

// The page number n of a page folder named "Folder<n>"; 0 when the name is not of that form.
std::uint32_t PageNumber(const CFileNode* page) {
  if (!page || !page->properties)
    return 0;
  std::string_view name = TextOf(page->properties->GetName());
  if (!name.starts_with("Folder"))
    return 0;
  name.remove_prefix(6);
  std::uint32_t n = 0;
  for (char c : name) {
    if (c < '0' || c > '9' || n > 100'000'000)
      return 0;
    n = n * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return n;
}

constexpr std::uint32_t kHitsPerPage = 200;

// Reads n bytes from the stream in bounded pieces, so that a length taken from a file cannot make
// us allocate more than the stream really holds; keeps the first `keep` of them.
std::string ReadText(IByteStream& stream, std::uint32_t n, std::size_t keep) {
  std::string text;
  char piece[4096];
  while (n > 0) {
    const std::uint32_t step = std::min<std::uint32_t>(n, sizeof piece);
    stream.ReadBytes(piece, step);
    if (text.size() < keep)
      text.append(piece, std::min<std::size_t>(step, keep - text.size()));
    n -= step;
  }
  return text;
}

constexpr std::size_t kMaxDeviceText = 64 * 1024;

}  // namespace

// ----- CFileNode -----

CFileNode::~CFileNode() {
  parent = firstChild = nextSibling = nullptr;
  groupNode = nullptr;
}

bool CFileNode::GetVolumeGeometry(std::uint64_t& base, std::uint32_t& sectors) const {
  if (volumeBase != 0 || sectorsPerCluster != 0) {
    base = volumeBase;
    sectors = sectorsPerCluster;
    return true;
  }
  for (const CFileNode* p = parent; p; p = p->parent) {
    if (p->IsFileSystemNode())
      return p->GetVolumeGeometry(base, sectors);
  }
  return false;
}

std::uint32_t CFileNode::GetFileSystemCode() const {
  for (const CFileNode* p = parent; p; p = p->parent) {
    if (p->IsFileSystemNode())
      return p->GetFileSystemCode();
  }
  return 0;
}

// ----- CFileSystemNode -----

CFileSystemNode::~CFileSystemNode() = default;

bool CFileSystemNode::GetVolumeGeometry(std::uint64_t& base, std::uint32_t& sectors) const {
  base = volumeBase;
  sectors = sectorsPerCluster;
  return true;
}

void CFileSystemNode::SetVolumeGeometry(std::uint32_t baseLow, std::uint32_t baseHigh,
                                        std::uint32_t sectors) {
  volumeBase = (std::uint64_t{baseHigh} << 32) | baseLow;
  sectorsPerCluster = sectors;
}

std::uint32_t CFileSystemNode::GetPartitionRecord(std::uint8_t* record) const {
  std::memcpy(record, partitionRecord.data(), partitionRecord.size());
  return 1;
}

std::uint32_t CFileSystemNode::SetPartitionRecord(const std::uint8_t* record) {
  std::memcpy(partitionRecord.data(), record, partitionRecord.size());
  return 1;
}

std::uint32_t CFileSystemNode::SetFileMark(CFileNode* node, std::uint32_t value) {
  if (!node || !node->properties)
    return 0;
  return node->properties->SetMark(static_cast<std::uint8_t>(value));
}

std::uint32_t CFileSystemNode::GetStatistics(TreeStatistics& out) const {
  out = statistics;
  return 1;
}

std::uint32_t CFileSystemNode::ResetSelection() {
  // Unchecking through the building block keeps the group folders' counts right; the statistics are
  // zeroed afterwards, totals included.
  ApplyState(this, kUnchecked);
  statistics = TreeStatistics{};
  return 1;
}

void CFileSystemNode::SetLabel(std::string_view text) {
  if (text.size() > kMaxLabelLength) {
    std::size_t cut = kMaxLabelLength;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
      --cut;
    text = text.substr(0, cut);
  }
  label.assign(text);
}

std::uint32_t CFileSystemNode::Save(IByteStream& stream) const {
  SaveRecord(stream, deviceText);
  return 1;
}

void CFileSystemNode::SaveRecord(IByteStream& stream, std::string_view device) const {
  WriteU32(stream, statistics.totalFiles);
  WriteU32(stream, 0);
  WriteU64(stream, statistics.totalBytes);
  WriteU64(stream, 0);
  WriteU32(stream, statistics.kept[0]);
  WriteU32(stream, 0);
  WriteU32(stream, statistics.kept[2]);
  WriteU32(stream, 0);
  WriteU64(stream, volumeBase);
  WriteU32(stream, sectorsPerCluster);
  WriteU32(stream, fileSystemCode);
  WriteU32(stream, static_cast<std::uint32_t>(label.size()));
  WriteU32(stream, static_cast<std::uint32_t>(device.size()));
  stream.WriteBytes(device.data(), device.size());
  stream.WriteBytes(label.data(), label.size());
}

std::uint32_t CFileSystemNode::Load(IByteStream& stream) {
  statistics.totalFiles = ReadU32(stream);
  statistics.checkedFiles = ReadU32(stream);
  statistics.totalBytes = ReadU64(stream);
  statistics.checkedBytes = ReadU64(stream);
  for (std::uint32_t& word : statistics.kept)
    word = ReadU32(stream);
  volumeBase = ReadU64(stream);
  sectorsPerCluster = ReadU32(stream);
  fileSystemCode = ReadU32(stream);
  const std::uint32_t labelLength = ReadU32(stream);
  deviceText = ReadText(stream, ReadU32(stream), kMaxDeviceText);
  SetLabel(ReadText(stream, labelLength, kMaxLabelLength));
  return 1;
}

void CFileSystemNode::Redraw() {
  if (view)
    view->RedrawMarks();
}

// ----- check states -----

std::uint8_t GroupState(const IFileProperties& folder) {
  const std::uint32_t checked = folder.GetCheckedCount();
  const std::uint32_t files = folder.GetFileCount();
  if (files > 0 && checked >= files)
    return kChecked;
  return checked > 0 ? kPartlyChecked : kUnchecked;
}

void CFileSystemNode::SetFileState(CFileNode* f, std::uint8_t s, CFileSystemNode* group) {
  if (!f || !f->properties)
    return;
  // A file is either checked or not; only folders are ever partly checked.
  s = s == kChecked ? kChecked : kUnchecked;
  IFileProperties& file = *f->properties;
  const std::uint8_t old = file.GetCheckState();
  CFileSystemNode* counted = group ? group : f->groupNode;
  IFileProperties* groupProperties = counted ? counted->properties : nullptr;
  if (s == kChecked && old != kChecked) {
    statistics.checkedFiles += 1;
    statistics.checkedBytes += file.GetSize();
    if (groupProperties)
      groupProperties->SetCheckedCount(groupProperties->GetCheckedCount() + 1);
  } else if (s != kChecked && old == kChecked) {
    statistics.checkedFiles -= 1;
    statistics.checkedBytes -= file.GetSize();
    if (groupProperties && groupProperties->GetCheckedCount() > 0)
      groupProperties->SetCheckedCount(groupProperties->GetCheckedCount() - 1);
  }
  file.SetCheckState(s);
}

void CFileSystemNode::ApplyState(CFileNode* node, std::uint8_t s) {
  WalkTree(node, [&](CFileNode* n) {
    if (n->IsFile())
      SetFileState(n, s);
    else
      SetState(n, s);
  });
}

std::uint8_t CFileSystemNode::DeriveFolderState(CFileNode* folder) {
  if (!folder || !folder->properties)
    return kUnchecked;
  if (!folder->firstChild)
    return folder->properties->GetCheckState();
  bool all2 = true;
  bool all0 = true;
  for (CFileNode* child = folder->firstChild; child && (all2 || all0); child = child->nextSibling) {
    const std::uint8_t state = child->CheckState();
    all2 = all2 && state == kChecked;
    all0 = all0 && state == kUnchecked;
  }
  const std::uint8_t state = all2 ? kChecked : all0 ? kUnchecked : kPartlyChecked;
  folder->properties->SetCheckState(state);
  return state;
}

void CFileSystemNode::RefreshFolderStates(CFileNode* node) {
  WalkTree(
      node, [](CFileNode*) {},
      [&](CFileNode* n) {
        if (!n->IsFolder())
          return;
        if (n->firstChild)
          DeriveFolderState(n);
        else
          SetState(n, kUnchecked);
      });
}

void CFileSystemNode::RederiveAncestors(CFileNode* node) {
  for (CFileNode* p = node ? node->parent : nullptr; p; p = p->parent)
    DeriveFolderState(p);
}

void CFileSystemNode::RefreshGroups(const ViewLinks& views) {
  for (CFileSystemNode* group : views.groupList) {
    if (group && group->properties)
      group->properties->SetCheckState(GroupState(*group->properties));
  }
  CFileNode* last = nullptr;
  for (CFileSystemNode* group : views.groupList) {
    if (group && group->parent != last && group->parent != views.categoryRoot)
      DeriveFolderState(last = group->parent);
  }
  if (views.categoryRoot)
    DeriveFolderState(views.categoryRoot);
}

namespace {

// Gives the found tree's files that `select` picks state s through the building block and then
// re-derives, bottom-up and once each, every folder above a file whose state changed. The same result
// as re-deriving the ancestors after each file, in one pass.
template <typename Select>
void ApplyToSelectedFiles(CFileSystemNode& root, std::uint8_t s, Select select,
                          CFileSystemNode* group = nullptr) {
  std::vector<std::uint8_t> dirty;  // one flag per level of the walk: something below changed
  WalkTree(
      &root,
      [&](CFileNode* n) {
        std::uint8_t changed = 0;
        if (n->IsFile() && select(n)) {
          const std::uint8_t old = n->CheckState();
          root.SetFileState(n, s, group);
          changed = old != n->CheckState();
        }
        dirty.push_back(changed);
      },
      [&](CFileNode* n) {
        const bool changed = dirty.back() != 0;
        dirty.pop_back();
        if (!changed)
          return;
        if (n->firstChild)
          root.DeriveFolderState(n);
        if (!dirty.empty())
          dirty.back() = 1;
      });
}

}  // namespace

void CFileSystemNode::ToggleNode(CFileNode* node, std::uint8_t forced) {
  if (!node || !node->properties)
    return;
  const std::uint8_t old = node->CheckState();
  std::uint8_t next = old == kChecked ? kUnchecked : kChecked;
  if (forced != 255)
    next = forced;

  if (!node->IsFolder()) {
    SetFileState(node, next);
    for (CFileNode* p = node->parent; p; p = p->parent) {
      bool all = true;
      for (CFileNode* c = p->firstChild; c && all; c = c->nextSibling)
        all = c->CheckState() == next;
      SetState(p, all ? next : kPartlyChecked);
    }
    if (CFileSystemNode* group = node->groupNode) {
      if (group->properties)
        group->properties->SetCheckState(GroupState(*group->properties));
      DeriveFolderState(group->parent);
      DeriveFolderState(TopOf(group));
    }
    Redraw();
    return;
  }

  SetState(node, next);
  const std::string_view extension = ExtensionOf(node);
  CFileNode* viewRoot = TopOf(node);
  if (extension == view_code::kAllFiles) {
    WalkTree(this, [&](CFileNode* n) {
      if (n->IsFile()) {
        if (n->CheckState() != next)
          SetFileState(n, next);
      } else if (n->properties) {
        n->properties->SetCheckState(next);
        n->properties->SetReserved4(0);
      }
    });
    WalkTree(node, [&](CFileNode* n) {
      if (n->properties) {
        n->properties->SetCheckState(next);
        n->properties->SetReserved4(0);
      }
    });
  } else if (extension.starts_with(view_code::kPagePrefix)) {
    auto* page = static_cast<CFileSystemNode*>(node);
    ApplyToSelectedFiles(
        *this, next,
        [&](CFileNode* f) { return f->properties->IsInOtherFiles() == 1 && f->groupNode == page; }, page);
    DeriveFolderState(node->parent);
    DeriveFolderState(viewRoot);
  } else if (extension == view_code::kOtherFiles) {
    // Each file moves the count of its own page, so that the pages' group rule stays right.
    ApplyToSelectedFiles(*this, next, [](CFileNode* f) { return f->properties->IsInOtherFiles() == 1; });
    for (CFileNode* page = node->firstChild; page; page = page->nextSibling)
      SetState(page, next);
    DeriveFolderState(viewRoot);
  } else if (extension == view_code::kPicture || extension == view_code::kArchive ||
             extension == view_code::kMultimedia || extension == view_code::kOffice) {
    for (CFileNode* folder = node->firstChild; folder; folder = folder->nextSibling)
      SetState(folder, next);
    ApplyToSelectedFiles(*this, next,
                         [&](CFileNode* f) { return f->groupNode && f->groupNode->parent == node; });
    DeriveFolderState(node);
    DeriveFolderState(viewRoot);
  } else {
    // An extension folder: the files filed under it, that is the files with its extension.
    ApplyToSelectedFiles(*this, next, [&](CFileNode* f) { return f->groupNode == node; });
    DeriveFolderState(node->parent);
    DeriveFolderState(viewRoot);
  }
  Redraw();
}

void CFileSystemNode::ToggleInFolderView(CFileNode* node, const ViewLinks& views) {
  if (!node || !node->properties)
    return;
  const std::uint8_t next = node->CheckState() == kChecked ? kUnchecked : kChecked;
  ApplyState(node, next);
  RederiveAncestors(node);
  RefreshGroups(views);
  if (views.searchRoot)
    RefreshSearchPages(views.searchRoot);
  Redraw();
}

void CFileSystemNode::ToggleInSearchView(CFileNode* file, const ViewLinks& views) {
  if (!file || !file->IsFile())
    return;
  SetFileState(file, file->CheckState() == kChecked ? kUnchecked : kChecked);
  RederiveAncestors(file);
  if (CFileSystemNode* group = file->groupNode) {
    if (group->properties)
      group->properties->SetCheckState(GroupState(*group->properties));
    DeriveFolderState(group->parent);
  }
  if (views.categoryRoot)
    DeriveFolderState(views.categoryRoot);
  if (views.searchRoot)
    RefreshSearchPages(views.searchRoot);
  RefreshFolderStates(this);
  Redraw();
}

std::uint32_t CFileSystemNode::CheckListedFiles(std::span<CFileNode* const> listed, std::uint8_t s,
                                                const ViewLinks& views) {
  for (CFileNode* file : listed) {
    if (file && file->IsFile())
      SetFileState(file, s);
  }
  // The folders of every listed file: a folder view lists one folder, a search page many.
  std::unordered_set<CFileNode*> folders;
  for (CFileNode* file : listed) {
    if (file && file->parent && folders.insert(file->parent).second) {
      DeriveFolderState(file->parent);
      RederiveAncestors(file->parent);
    }
  }
  RefreshGroups(views);
  if (views.searchRoot)
    RefreshSearchPages(views.searchRoot);
  Redraw();
  return 1;
}

void CFileSystemNode::CheckSearchPageFiles(CFileSystemNode* page, std::span<CFileNode* const> listed,
                                           std::uint8_t s, const ViewLinks& views) {
  ViewLinks withoutSearch = views;
  withoutSearch.searchRoot = nullptr;
  CheckListedFiles(listed, s, withoutSearch);
  SetState(page, s);
  if (views.searchRoot) {
    DeriveFolderState(views.searchRoot);
    RefreshSearchPages(views.searchRoot);
  }
  Redraw();
}

void CFileSystemNode::ApplyToSearchPage(std::uint32_t page, std::uint8_t s) {
  WalkTree(this, [&](CFileNode* n) {
    if (n->IsFile() && n->properties->IsSearchHit() == 1 &&
        n->properties->GetSearchIndex() / kHitsPerPage + 1 == page)
      SetFileState(n, s);
  });
}

void CFileSystemNode::ToggleSearchFolder(CFileSystemNode* folder, const ViewLinks& views) {
  if (!folder || !folder->properties)
    return;
  CFileNode* searchRoot = views.searchRoot ? views.searchRoot : TopOf(folder);
  if (folder == searchRoot) {
    const std::uint8_t next = folder->CheckState() == kChecked ? kUnchecked : kChecked;
    WalkTree(this, [&](CFileNode* n) {
      if (n->IsFile() && n->properties->IsSearchHit() == 1)
        SetFileState(n, next);
    });
    SetState(folder, next);
    for (CFileNode* page = folder->firstChild; page; page = page->nextSibling)
      SetState(page, next);
  } else {
    const std::uint8_t next = folder->CheckState() == kChecked ? kUnchecked : kChecked;
    ApplyToSearchPage(PageNumber(folder), next);
    SetState(folder, next);
    DeriveFolderState(searchRoot);
  }
  RefreshGroups(views);
  RefreshFolderStates(this);
  // Settles an empty last page, which no click can change, against the other pages.
  RefreshSearchPages(static_cast<CFileSystemNode*>(searchRoot));
  Redraw();
}

void CFileSystemNode::RefreshSearchPages(CFileSystemNode* searchRoot) {
  if (!searchRoot)
    return;
  // Page folders by number; hits and checked hits per page.
  std::vector<CFileNode*> pages;
  for (CFileNode* page = searchRoot->firstChild; page; page = page->nextSibling) {
    SetState(page, kUnchecked);
    const std::uint32_t n = PageNumber(page);
    if (n == 0)
      continue;
    if (pages.size() < n)
      pages.resize(n, nullptr);
    pages[n - 1] = page;
  }
  SetState(searchRoot, kUnchecked);
  std::vector<std::uint32_t> hits(pages.size(), 0);
  std::vector<std::uint32_t> checked(pages.size(), 0);
  std::uint64_t allHits = 0;
  std::uint64_t allChecked = 0;
  WalkTree(this, [&](CFileNode* n) {
    if (!n->IsFile() || n->properties->IsSearchHit() != 1)
      return;
    const std::uint32_t index = n->properties->GetSearchIndex() / kHitsPerPage;
    if (index >= pages.size())
      return;
    const bool isChecked = n->CheckState() == kChecked;
    hits[index] += 1;
    checked[index] += isChecked;
    allHits += 1;
    allChecked += isChecked;
  });
  // A page without hits (the empty last page) follows the whole search, so that it never makes
  // "Found Files" look partly checked.
  const std::uint8_t emptyPage = allHits > 0 && allChecked == allHits ? kChecked : kUnchecked;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    std::uint8_t state = emptyPage;
    if (hits[i] > 0)
      state = checked[i] == hits[i] ? kChecked : checked[i] > 0 ? kPartlyChecked : kUnchecked;
    SetState(pages[i], state);
  }
  DeriveFolderState(searchRoot);
}

// ----- tree operations -----

void AddChild(CFileNode* parent, CFileNode* node) {
  if (!parent || !node)
    return;
  node->parent = parent;
  node->nextSibling = parent->firstChild;
  parent->firstChild = node;
}

bool RemoveChild(CFileNode* parent, CFileNode* node) {
  if (!parent || !node)
    return false;
  for (CFileNode** link = &parent->firstChild; *link; link = &(*link)->nextSibling) {
    if (*link == node) {
      *link = node->nextSibling;
      node->parent = nullptr;
      node->nextSibling = nullptr;
      return true;
    }
  }
  return false;
}

namespace {

// Post-order deletion without recursion: descend to a leaf, delete it, and let its parent become a
// leaf once its last child is gone.
void DeleteSubtree(CFileNode* node, bool withProperties) {
  if (!node)
    return;
  if (node->parent)
    RemoveChild(node->parent, node);
  CFileNode* current = node;
  for (;;) {
    while (current->firstChild)
      current = current->firstChild;
    CFileNode* parent = current == node ? nullptr : current->parent;
    CFileNode* next = current == node ? nullptr : current->nextSibling;
    if (parent)
      parent->firstChild = next;
    if (withProperties)
      delete current->properties;
    delete current;
    if (!parent)
      return;
    current = next ? next : parent;
  }
}

}  // namespace

void ReleaseTree(CFileNode* node) {
  DeleteSubtree(node, true);
}

void ReleaseNodes(CFileNode* node) {
  DeleteSubtree(node, false);
}

void ComputeTotals(CFileSystemNode* root, CFileNode* node) {
  if (!root)
    return;
  WalkTree(node, [&](CFileNode* n) {
    if (n->IsFile()) {
      root->statistics.totalFiles += 1;
      root->statistics.totalBytes += n->properties->GetSize();
    }
  });
}

}  // namespace korvex
