#include "carving/raw_tree_builder.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "model/file_node.h"
#include "model/file_type_catalogue.h"
#include "model/raw_file_properties.h"
#include "scan/scan_options.h"
#include "scan/search_sink.h"
#include "storage/volume.h"

namespace korvex {

namespace {

std::string Range(std::uint32_t first, std::uint32_t last) {
  return std::to_string(first) + "-" + std::to_string(last);
}

CFileNode* NewNode(std::unique_ptr<CRAWFileProperties> properties) {
  auto* node = new CFileNode;
  node->properties = properties.release();
  return node;
}

}  // namespace

CFileSystemNode* RawTreeBuilder::Build(const RawFileList& list, iSearch* sink) {
  const ScanOptions& options = ScanOptions::Instance();
  if (!options.rawResultsEnabled)
    return nullptr;
  const FileTypeCatalogue& catalogue = FileTypeCatalogue::Instance();

  auto* root = new CFileSystemNode;
  root->properties = CRAWFileProperties::MakeFolder("All RAW Files").release();
  root->SetVolumeGeometry(0, 0, 1);
  root->SetFileSystemCode(kFsRaw);

  std::vector<bool> enabled(FileTypeCatalogue::kEntryCount, false);
  for (std::int32_t id : options.enabledTypes) {
    if (id >= 0 && static_cast<std::size_t>(id) < enabled.size())
      enabled[static_cast<std::size_t>(id)] = true;
  }
  std::vector<std::uint32_t> counts(FileTypeCatalogue::kEntryCount, 0);
  std::vector<CFileNode*> typeFolders(FileTypeCatalogue::kEntryCount, nullptr);
  std::vector<CFileNode*> newestGroup(FileTypeCatalogue::kEntryCount, nullptr);

  for (const CRawFileInfo& info : list.InOrder()) {
    if (sink)
      sink->Step(1);
    const std::uint32_t t = info.type;
    if (t >= enabled.size() || !enabled[t] || info.size == 0)
      continue;
    const std::string description(catalogue.GetDescription(t));
    const std::string extension(catalogue.GetExtension(t));
    const std::string folderName = description.empty() ? extension : description;
    if (!typeFolders[t]) {
      typeFolders[t] = NewNode(CRAWFileProperties::MakeFolder(folderName));
      AddChild(root, typeFolders[t]);
    }
    const std::uint32_t c = ++counts[t];
    char name[64];
    std::snprintf(name, sizeof name, "File%03u.%s", c, extension.c_str());
    CFileNode* file = NewNode(CRAWFileProperties::MakeFile(name, info.startSector, info.size, extension));

    if (c > kGroupSize && (c - 1) % kGroupSize == 0) {
      // File 300·m + 1 opens the group folder 300·m + 1 … 300·m + 300.
      newestGroup[t] = NewNode(CRAWFileProperties::MakeFolder(Range(c, c + kGroupSize - 1)));
      AddChild(typeFolders[t], newestGroup[t]);
    }
    AddChild(c <= kGroupSize ? typeFolders[t] : newestGroup[t], file);

    if (c == kGroupSize) {
      // The first 300 become the group 1-300 under a new folder of the type's name.
      CFileNode* firstGroup = typeFolders[t];
      static_cast<CRAWFileProperties*>(firstGroup->properties)->Rename(Range(1, kGroupSize));
      RemoveChild(root, firstGroup);
      typeFolders[t] = NewNode(CRAWFileProperties::MakeFolder(folderName));
      AddChild(root, typeFolders[t]);
      AddChild(typeFolders[t], firstGroup);
    }
  }
  // The newest group of each split type ends at its last file.
  for (std::size_t t = 0; t < counts.size(); ++t) {
    const std::uint32_t c = counts[t];
    if (c > kGroupSize && newestGroup[t]) {
      static_cast<CRAWFileProperties*>(newestGroup[t]->properties)
          ->Rename(Range((c - 1) / kGroupSize * kGroupSize + 1, c));
    }
  }
  if (sink)
    sink->Progress(0, 1);
  return root;
}

}  // namespace korvex
