// The content check: whether a found file's first sector still looks like its type, judged by the
// first analyser of the registry that applies to the file's extension.
#pragma once

#include <cstdint>
#include <string_view>

namespace korvex {

class AnalyserRegistry;
class CFileNode;
class IDevice;

// Which analyser (by its type name) judges a file with `extension` (upper case, no dot): "OLE" the
// office formats of that family, "ZIP" the zip-based documents, "TIF" the raw camera formats built on
// TIFF, "ASF" the Windows media files; any other analyser the files of its own name.
bool AnalyserAppliesTo(std::string_view typeName, std::string_view extension);

// Nonzero when the first sector of the file passes the signature check of the first analyser that
// applies and accepts it; 0 for a folder, a resident or compressed file, a file without runs, or when
// no applicable analyser accepts; 1 with an empty registry or a sector size other than 512 and 4096.
std::uint32_t VerifyFileContent(IDevice& device, CFileNode* node, std::string_view extension,
                                const AnalyserRegistry* registry = nullptr);
// The same with the volume geometry given instead of taken from the node.
std::uint32_t VerifyFileContentAt(IDevice& device, CFileNode* node, std::string_view extension,
                                  std::uint64_t volumeBase, std::uint32_t sectorsPerCluster,
                                  const AnalyserRegistry* registry = nullptr);

}  // namespace korvex
