// The found-file tree: CFileNode (a file or folder) and CFileSystemNode (the device root, a scanned
// volume, or a folder of the category and search views), linked by parent, first child and next
// sibling; the tree operations; and the check-state bookkeeping the root of the found tree performs.
//
// Every walk over the tree follows the links without recursion: a crafted medium can yield folder
// chains millions of levels deep, and no operation may need stack in proportion to the depth.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "model/file_properties.h"

namespace korvex {

class CFileSystemNode;
class IByteStream;

class CFileNode {
 public:
  CFileNode() = default;
  CFileNode(const CFileNode&) = delete;
  CFileNode& operator=(const CFileNode&) = delete;

  // Clears the links; deletes neither children nor properties (ReleaseTree does that).
  virtual ~CFileNode();
  virtual bool IsFileSystemNode() const { return false; }
  // The node's own geometry when either value is set, else that of the nearest CFileSystemNode
  // above it; false when there is none.
  virtual bool GetVolumeGeometry(std::uint64_t& base, std::uint32_t& sectors) const;
  // The fileSystemCode of the nearest CFileSystemNode above, 0 when there is none.
  virtual std::uint32_t GetFileSystemCode() const;
  // A plain node has no record of its own.
  virtual std::uint32_t Save(IByteStream&) const { return 0; }
  virtual std::uint32_t Load(IByteStream&) { return 0; }

  // A folder is a node whose attributes have the directory bit; a node without properties is neither.
  bool IsFolder() const { return properties && (properties->GetAttributes() & file_attr::kDirectory); }
  bool IsFile() const { return properties && !(properties->GetAttributes() & file_attr::kDirectory); }
  std::uint8_t CheckState() const { return properties ? properties->GetCheckState() : kUnchecked; }

  CFileNode* parent = nullptr;
  CFileNode* firstChild = nullptr;
  CFileNode* nextSibling = nullptr;
  // For a file: the category-view folder it is filed under; null while there is no category view.
  CFileSystemNode* groupNode = nullptr;
  // The node's own volume base LBA and run unit in sectors; both 0 means "inherit".
  std::uint64_t volumeBase = 0;
  std::uint32_t sectorsPerCluster = 0;
  // Owned, but deleted only by ReleaseTree; null only transiently.
  IFileProperties* properties = nullptr;
};

// Tree-wide statistics, kept on the root of the found tree.
struct TreeStatistics {
  std::uint32_t totalFiles = 0;
  std::uint32_t checkedFiles = 0;
  std::uint64_t totalBytes = 0;
  std::uint64_t checkedBytes = 0;
  std::uint32_t kept[4] = {};  // copied and zeroed, never interpreted
};
static_assert(sizeof(TreeStatistics) == 40);

// What a front end's tree view offers the nodes: after check marks change, redraw them.
class IMarksView {
 public:
  virtual ~IMarksView() = default;
  virtual void RedrawMarks() = 0;
};

// The view folders a check-state operation keeps in step with the files, handed in by the caller
// (the category and search views give theirs, see file_views.h).
struct ViewLinks {
  CFileSystemNode* categoryRoot = nullptr;      // "All files"; null without a category view
  std::span<CFileSystemNode* const> groupList;  // extension folders and "Other Files" pages
  CFileSystemNode* searchRoot = nullptr;        // "Found Files"; null without search hits
};

// Folder extensions of the category and search views.
namespace view_code {
constexpr std::string_view kAllFiles = "A8762L";
constexpr std::string_view kPicture = "P1843I";
constexpr std::string_view kArchive = "A7532R";
constexpr std::string_view kMultimedia = "M9762U";
constexpr std::string_view kOffice = "O0902F";
constexpr std::string_view kOtherFiles = "O1314T";
constexpr std::string_view kPagePrefix = "FOLDER";
constexpr std::string_view kFoundFiles = "FOUND FILES";
}  // namespace view_code

class CFileSystemNode : public CFileNode {
 public:
  static constexpr std::size_t kPartitionRecordSize = 264;
  static constexpr std::size_t kMaxLabelLength = 40;

  CFileSystemNode() = default;
  ~CFileSystemNode() override;
  bool IsFileSystemNode() const override { return true; }
  // Always its own values, true.
  bool GetVolumeGeometry(std::uint64_t& base, std::uint32_t& sectors) const override;
  std::uint32_t GetFileSystemCode() const override { return fileSystemCode; }
  // The node record of recovery states: statistics (checked values and the second and fourth kept
  // words as 0), volume base u64, sectors per cluster u32, file-system code u32, label length u32,
  // device text (u32 length, bytes), label bytes. Returns 1.
  std::uint32_t Save(IByteStream& stream) const override;
  std::uint32_t Load(IByteStream& stream) override;
  virtual void SetVolumeGeometry(std::uint32_t baseLow, std::uint32_t baseHigh, std::uint32_t sectors);
  virtual void SetFileSystemCode(std::uint32_t code) { fileSystemCode = code; }
  virtual std::uint32_t GetPartitionRecord(std::uint8_t* record) const;
  virtual std::uint32_t SetPartitionRecord(const std::uint8_t* record);
  // Gives state s to every listed file (the files a list view shows), then keeps their folders and
  // the view folders in step. Returns 1.
  virtual std::uint32_t CheckListedFiles(std::span<CFileNode* const> listed, std::uint8_t s,
                                         const ViewLinks& views);
  // SetMark of the node's properties; 0 when the node or its properties is null.
  virtual std::uint32_t SetFileMark(CFileNode* node, std::uint32_t value);
  virtual std::uint32_t GetStatistics(TreeStatistics& out) const;
  // Unchecks everything and zeroes the statistics (the totals too: ComputeTotals fills them again).
  virtual std::uint32_t ResetSelection();

  // The node record with a given device text (the description of the device being saved).
  void SaveRecord(IByteStream& stream, std::string_view device) const;
  // Keeps at most kMaxLabelLength bytes, never cutting a UTF-8 character.
  void SetLabel(std::string_view text);

  // ----- Check-state operations of the found tree's root -----

  // The building block: gives file f state s, keeping the checked files and bytes of this root and
  // the checked count of the file's group folder (or of `group` when given) in step.
  void SetFileState(CFileNode* f, std::uint8_t s, CFileSystemNode* group = nullptr);
  // Node and its whole subtree get s: files through SetFileState, folders directly. Ancestors are the
  // caller's.
  void ApplyState(CFileNode* node, std::uint8_t s);
  // The folder rule for one folder: 2 when every child is 2, 0 when every child is 0, else 1. A
  // folder without children is left as it is. Returns the folder's state.
  std::uint8_t DeriveFolderState(CFileNode* folder);
  // The folder rule bottom-up over every folder of the subtree; a childless folder becomes 0.
  void RefreshFolderStates(CFileNode* node);
  // Re-derives every ancestor of node, nearest first.
  void RederiveAncestors(CFileNode* node);
  // The category view's action on a node of the view or on a file (forced 255: a plain toggle, else
  // the state to give). The view folders it touches are found through the node's links.
  void ToggleNode(CFileNode* node, std::uint8_t forced);
  // The folder view's click on a node of the found tree or a listed file.
  void ToggleInFolderView(CFileNode* node, const ViewLinks& views);
  // The search view's click on a listed file.
  void ToggleInSearchView(CFileNode* file, const ViewLinks& views);
  // The search view's click on "Found Files" or on a page folder.
  void ToggleSearchFolder(CFileSystemNode* folder, const ViewLinks& views);
  // The search view's "check all" on the files of a page: as CheckListedFiles, and the page gets s.
  void CheckSearchPageFiles(CFileSystemNode* page, std::span<CFileNode* const> listed, std::uint8_t s,
                            const ViewLinks& views);
  // Every search hit on page p (hits p*200-200 .. p*200-1) gets s.
  void ApplyToSearchPage(std::uint32_t page, std::uint8_t s);
  // Recomputes the states of the search pages and the search root from the hits' states.
  void RefreshSearchPages(CFileSystemNode* searchRoot);
  // Group folders by the group rule, their parents and the category root by the folder rule.
  void RefreshGroups(const ViewLinks& views);

  IMarksView* view = nullptr;
  TreeStatistics statistics;
  std::uint8_t stateBeingApplied = 2;
  std::array<std::uint8_t, kPartitionRecordSize> partitionRecord{};
  // 1 FAT12, 2 FAT16, 3 FAT32, 8 the carved-file root; 0 for the device root and view folders.
  std::uint32_t fileSystemCode = 0;
  std::string label;
  // The device description read back from a recovery state.
  std::string deviceText;

 private:
  void Redraw();
};

// Links node as the first child of parent: children come out in the reverse order of insertion.
void AddChild(CFileNode* parent, CFileNode* node);
// Unlinks node from parent's children; false (and nothing changed) when it is not one of them.
bool RemoveChild(CFileNode* parent, CFileNode* node);
// Deletes node's subtree in post-order, each node's properties first and then the node.
void ReleaseTree(CFileNode* node);
// The same walk, deleting only the nodes.
void ReleaseNodes(CFileNode* node);
// Adds every file of node's subtree to root's total files and bytes (the caller zeroes them first).
void ComputeTotals(CFileSystemNode* root, CFileNode* node);

// The group rule of an extension folder or an "Other Files" page: 2 when checked = files > 0, 1 when
// 0 < checked < files, 0 otherwise.
std::uint8_t GroupState(const IFileProperties& folder);

// Walks node's subtree in pre-order without recursion: enter(n) for every node, and leave(n) after
// all of n's descendants. Neither may change the links of the nodes still to be walked.
template <typename Enter, typename Leave>
void WalkTree(CFileNode* node, Enter&& enter, Leave&& leave) {
  if (!node)
    return;
  CFileNode* current = node;
  for (;;) {
    enter(current);
    if (current->firstChild) {
      current = current->firstChild;
      continue;
    }
    for (;;) {
      leave(current);
      if (current == node)
        return;
      if (current->nextSibling) {
        current = current->nextSibling;
        break;
      }
      current = current->parent;
    }
  }
}

template <typename Enter>
void WalkTree(CFileNode* node, Enter&& enter) {
  WalkTree(node, enter, [](CFileNode*) {});
}

}  // namespace korvex
