// `korvex-cli scan TARGET`: a lost-file scan of an image or device, or of one of its volumes or gaps,
// with the progress line on a terminal, then the carved files by type (or every file as JSON).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "app/lost_file_scan.h"
#include "cli/commands.h"
#include "cli/scan_target.h"
#include "cli/terminal_progress.h"
#include "common/database.h"
#include "model/data_run_list.h"
#include "model/file_node.h"
#include "storage/drive_list.h"

namespace korvex::cli {

namespace {

struct ScanOptionsCli {
  std::string target;
  std::uint32_t sectorSize = 512;
  std::optional<std::size_t> volume;
  std::optional<std::size_t> gap;
  bool json = false;
};

struct FoundFile {
  std::string folder;
  std::string name;
  std::string extension;
  std::uint64_t size;
  std::uint64_t startSector;
};

// The carved files of the tree, with the type folder each lies in.
std::vector<FoundFile> FilesOf(CFileSystemNode* root) {
  std::vector<FoundFile> files;
  CFileNode* rawRoot = root ? root->firstChild : nullptr;
  for (CFileNode* typeFolder = rawRoot ? rawRoot->firstChild : nullptr; typeFolder;
       typeFolder = typeFolder->nextSibling) {
    const std::string folder = typeFolder->properties->GetName();
    WalkTree(
        typeFolder,
        [&](CFileNode* node) {
          if (!node->IsFile())
            return;
          const IFileProperties& p = *node->properties;
          const auto runs = p.CreateDataRunList();
          const DataRun* run = runs ? runs->First() : nullptr;
          const std::string extension = p.GetExtension() ? p.GetExtension() : "";
          files.push_back({folder, p.GetName(), extension.empty() ? "" : extension.substr(1), p.GetSize(),
                           run ? static_cast<std::uint64_t>(run->start) : 0});
        },
        [](CFileNode*) {});
  }
  return files;
}

int RunScan(const ScanOptionsCli& options) {
  const OpenedTarget opened =
      OpenScanTarget({options.target, options.sectorSize, options.volume, options.gap});
  if (opened.status != 0)
    return opened.status;
  CDevice* drive = opened.drive;
  const std::optional<ScanTarget>& target = opened.target;

  CTerminalProgress progress;
  progress.SetTotalSectors(target->SectorsToScan());
  if (!options.json)
    std::fprintf(stderr, "Scanning %s of %s\n", target->description.c_str(), options.target.c_str());
  CLostFileScan scan;
  const auto start = std::chrono::steady_clock::now();
  if (!scan.Run(*target, progress)) {
    std::fprintf(stderr, "korvex-cli: the scan could not be started\n");
    return 1;
  }
  progress.PrintSummary(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());

  CFileSystemNode* root = scan.BuildRawTree(nullptr);
  const std::vector<FoundFile> files = FilesOf(root);
  ReleaseTree(root);
  const CDataBase& db = CDataBase::Instance();

  if (options.json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const FoundFile& f : files) {
      list.push_back({{"name", f.name},
                      {"type", f.extension},
                      {"folder", f.folder},
                      {"size", f.size},
                      {"startSector", f.startSector}});
    }
    nlohmann::ordered_json out = {{"target", options.target},
                                  {"scanned", target->description},
                                  {"sectors", target->SectorsToScan()},
                                  {"sectorSize", drive->GetBytesPerSector()},
                                  {"unreadableSectors", db.unreadableSectors.load()},
                                  {"files", list}};
    std::cout << out.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    return 0;
  }
  if (files.empty()) {
    std::cout << "No files found by their content.\n";
    return 0;
  }
  std::cout << "All RAW Files\n";
  for (std::size_t i = 0; i < files.size();) {
    std::size_t j = i;
    std::uint64_t bytes = 0;
    for (; j < files.size() && files[j].folder == files[i].folder; ++j)
      bytes += files[j].size;
    std::printf("  %-48s %6zu file%s %14s\n", files[i].folder.c_str(), j - i, j - i == 1 ? " " : "s",
                SizeText(bytes).c_str());
    i = j;
  }
  std::printf("%zu files found.\n", files.size());
  return 0;
}

}  // namespace

Command AddScanCommand(CLI::App& app) {
  auto options = std::make_shared<ScanOptionsCli>();
  CLI::App* scan = app.add_subcommand("scan", "Find lost files on an image or device by their content");
  scan->add_option("TARGET", options->target, "Disk image or block device")->required();
  scan->add_option("--sector-size", options->sectorSize, "Sector size of an image file")
      ->check(CLI::IsMember({512u, 4096u}));
  auto* volume =
      scan->add_option("--volume", options->volume,
                       "Scan the N-th volume of the target, counted from 1 as korvex-cli drives lists them");
  scan->add_option("--gap", options->gap, "Scan the unallocated gap N, (UnallocatedN) in korvex-cli drives")
      ->excludes(volume);
  scan->add_flag("--json", options->json, "Print every file found as JSON");
  return {scan, [options] { return RunScan(*options); }};
}

}  // namespace korvex::cli
