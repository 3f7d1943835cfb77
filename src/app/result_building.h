// Building the result trees after a scan, shared by both front ends: the lost-file mode (the carved
// files, then the trees of the qualifying candidates) and the lost-partition mode (probing the
// candidates, naming those that pass, then the trees of the partitions the user chooses).
//
// The trees come from CSearchMachine::BuildResultTree, so a file-system controller added to the
// machine (FAT, NTFS) takes part by accepting its candidates' types; nothing here names one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scan/partition_info.h"

namespace korvex {

class CFileSystemNode;
class CSearchMachine;
class iSearch;

// One root of a lost-file result: its display name ("Found Files(n)") and the tree under it.
struct ResultRoot {
  std::string name;
  CFileSystemNode* root = nullptr;   // owned by the caller: release with ReleaseTree
  std::uint32_t fileSystemType = 0;  // the type of the candidate it came from, 8 for the carved files
};

// Number of files below `node`.
std::uint64_t CountFiles(CFileSystemNode* node);

// Lost-file mode after a run of `machine`: the carved-file tree as "Found Files(1)" when it has files,
// then, with analysisMode 1, the tree of each qualifying candidate among the first 10 in ranking
// order that holds files, named "Found Files(2)", "Found Files(3)", … A candidate whose build yields
// no tree is passed over, so one spurious candidate cannot hide the real volume behind it. After a
// stopped run the builds report no progress. The roots' folders are named as the roots.
std::vector<ResultRoot> BuildLostFileResults(CSearchMachine& machine, iSearch* sink);

// Lost-partition mode: with analysisMode 0 the first 20 candidates are probed; those that pass
// (PassesProbe) come back as copies named "Partition1" … (at most 10), followed by a type-8 entry
// "Raw Partition" of `deviceSectors` sectors. Leaves analysisMode at 2 for the builds that follow.
CandidateList ProbeLostPartitions(CSearchMachine& machine, std::uint64_t deviceSectors, iSearch* sink);

// The tree of one chosen partition (analysisMode 2, the final acceptance rule), or null.
CFileSystemNode* BuildPartitionTree(CSearchMachine& machine, CSearchedPartitionInfo& partition,
                                    iSearch* sink);

}  // namespace korvex
