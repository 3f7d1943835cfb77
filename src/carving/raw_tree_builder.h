// RawTreeBuilder: the tree of carved files under "All RAW Files": one folder per type, named by its
// catalogue description, files File001.JPG, File002.JPG, …, and folders of more than 300 files split
// into groups of 300.
#pragma once

#include "carving/raw_file_info.h"

namespace korvex {

class CFileSystemNode;
class iSearch;

class RawTreeBuilder {
 public:
  static constexpr std::uint32_t kGroupSize = 300;

  // The root of the tree of the finds of `list` (one progress step each when a sink is given), or
  // null when RAW results are switched off. Finds of size 0 or of types not enabled are left out.
  CFileSystemNode* Build(const RawFileList& list, iSearch* sink);
};

}  // namespace korvex
