// `korvex-cli recover TARGET --out DIR`: the lost-file scan of `scan`, then every found file that
// passes the type and extension filters saved below "Recovered Files" in DIR, with a progress line on
// a terminal and a summary (or one JSON object) at the end.
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/lost_file_scan.h"
#include "cli/commands.h"
#include "cli/recover_progress.h"
#include "cli/scan_target.h"
#include "cli/terminal_progress.h"
#include "model/extension_classification.h"
#include "model/file_node.h"
#include "output/file_services.h"
#include "output/recovered_file_writer.h"
#include "scan/search_sink.h"
#include "storage/volume_entry.h"

namespace korvex::cli {

namespace {

struct RecoverOptionsCli {
  std::string target;
  std::string out;
  std::uint32_t sectorSize = 512;
  std::optional<std::size_t> volume;
  std::optional<std::size_t> gap;
  std::vector<std::string> types;
  std::vector<std::string> extensions;
  bool json = false;
};

// The type names of --type and the classification each stands for.
const std::map<std::string, std::uint16_t>& TypeNames() {
  static const std::map<std::string, std::uint16_t> names = {{"picture", kTypePicture},
                                                             {"video", kTypeMultimedia},
                                                             {"document", kTypeOffice},
                                                             {"archive", kTypeArchive},
                                                             {"other", kTypeOther}};
  return names;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

// Checks the files of the tree that pass the filters (every file when there are none), then derives
// the folders' states from their files. Returns the files and bytes checked.
std::pair<std::uint32_t, std::uint64_t> CheckFiles(CFileSystemNode* root, const RecoverOptionsCli& options) {
  std::set<std::uint16_t> types;
  for (const std::string& t : options.types)
    types.insert(TypeNames().at(t));
  std::set<std::string> extensions;
  for (const std::string& e : options.extensions)
    extensions.insert("." + Upper(e.size() > 1 && e[0] == '.' ? e.substr(1) : e));
  std::uint32_t files = 0;
  std::uint64_t bytes = 0;
  WalkTree(root, [&](CFileNode* node) {
    if (!node->IsFile())
      return;
    const char* extension = node->properties->GetExtension();
    const std::string ext = extension ? extension : "";
    const bool pass = (types.empty() || types.count(ClassifyExtension(extension))) &&
                      (extensions.empty() || extensions.count(ext));
    node->properties->SetCheckState(pass ? kChecked : kUnchecked);
    if (pass) {
      files += 1;
      bytes += node->properties->GetSize();
    }
  });
  root->RefreshFolderStates(root);
  return {files, bytes};
}

// The nearest folder at or above `path` that exists (the one a new output folder would be made on).
std::string NearestExisting(std::string path) {
  struct stat st {};
  while (!path.empty() && stat(path.c_str(), &st) != 0) {
    const std::size_t slash = path.find_last_of('/');
    path = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  }
  return path.empty() ? "." : path;
}

const char* ResultName(std::uint32_t result) {
  return result == kWritten ? "written" : result == kCancelled ? "cancelled" : "failed";
}

int RunRecover(const RecoverOptionsCli& options) {
  // Refused before anything is created: a folder on the scanned device would overwrite what we read.
  if (FolderLiesOnDevice(NearestExisting(options.out), options.target)) {
    std::fprintf(stderr,
                 "korvex-cli: the output folder %s lies on %s, the device being recovered; writing there "
                 "would overwrite the very data being recovered. Choose a folder on another drive.\n",
                 options.out.c_str(), options.target.c_str());
    return 1;
  }
  const OpenedTarget opened =
      OpenScanTarget({options.target, options.sectorSize, options.volume, options.gap});
  if (opened.status != 0)
    return opened.status;
  const ScanTarget& target = *opened.target;

  CTerminalProgress scanProgress;
  scanProgress.SetTotalSectors(target.SectorsToScan());
  if (!options.json)
    std::fprintf(stderr, "Scanning %s of %s\n", target.description.c_str(), options.target.c_str());
  CLostFileScan scan;
  const auto start = std::chrono::steady_clock::now();
  if (!scan.Run(target, scanProgress)) {
    std::fprintf(stderr, "korvex-cli: the scan could not be started\n");
    return 1;
  }
  if (!options.json)
    scanProgress.PrintSummary(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());

  CFileSystemNode* root = scan.BuildRawTree(nullptr);
  const auto [files, bytes] =
      root ? CheckFiles(root, options) : std::pair<std::uint32_t, std::uint64_t>{0, 0};
  CTerminalRecoverProgress progress(stderr, !options.json && CTerminalProgress::IsTerminal(stderr));
  progress.Begin(files, bytes);
  RecoverJob job(&progress, target.device, root, options.out);
  CBlockingPump pump;
  const std::uint32_t ran = files ? job.Start(&pump) : 0;
  progress.Finish();
  ReleaseTree(root);
  if (files && !ran) {
    std::fprintf(stderr, "korvex-cli: cannot create the output folder in %s\n", options.out.c_str());
    return 1;
  }

  std::uint32_t written = 0;
  std::uint32_t failed = 0;
  std::uint64_t writtenBytes = 0;
  for (const RecoveredFileRecord& r : job.Records()) {
    if (r.result == kWritten) {
      written += 1;
      writtenBytes += r.size;
    } else if (r.result == kFailed) {
      failed += 1;
    }
  }
  if (options.json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const RecoveredFileRecord& r : job.Records()) {
      list.push_back({{"path", r.path},
                      {"size", r.size},
                      {"startSector", r.startSector},
                      {"result", ResultName(r.result)}});
    }
    nlohmann::ordered_json out = {{"target", options.target},
                                  {"scanned", target.description},
                                  {"outputFolder", ran ? job.OutputFolder() : ""},
                                  {"written", written},
                                  {"failed", failed},
                                  {"bytes", writtenBytes},
                                  {"unreadableSectors", job.UnreadableSectors()},
                                  {"files", list}};
    std::cout << out.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    return 0;
  }
  if (!files) {
    std::cout << "No files to recover.\n";
    return 0;
  }
  std::printf("%u file%s written (%s), %u failed%s.\n", written, written == 1 ? "" : "s",
              SizeText(writtenBytes).c_str(), failed, job.Cancelled() ? ", cancelled" : "");
  if (const std::uint64_t unreadable = job.UnreadableSectors())
    std::printf("%llu sectors could not be read and were written as zeros.\n",
                static_cast<unsigned long long>(unreadable));
  std::printf("Recovered files are in %s\n", job.OutputFolder().c_str());
  return 0;
}

}  // namespace

Command AddRecoverCommand(CLI::App& app) {
  auto options = std::make_shared<RecoverOptionsCli>();
  CLI::App* recover =
      app.add_subcommand("recover", "Find lost files on an image or device and save them to a folder");
  recover->add_option("TARGET", options->target, "Disk image or block device")->required();
  recover->add_option("--out", options->out, "Folder to save into (on another drive than TARGET)")
      ->required();
  recover->add_option("--sector-size", options->sectorSize, "Sector size of an image file")
      ->check(CLI::IsMember({512u, 4096u}));
  auto* volume = recover->add_option(
      "--volume", options->volume,
      "Scan the N-th volume of the target, counted from 1 as korvex-cli drives lists them");
  recover
      ->add_option("--gap", options->gap, "Scan the unallocated gap N, (UnallocatedN) in korvex-cli drives")
      ->excludes(volume);
  recover
      ->add_option("--type", options->types,
                   "Only files of these kinds: picture,video,document,archive,other")
      ->delimiter(',')
      ->check(CLI::IsMember({"picture", "video", "document", "archive", "other"}));
  recover->add_option("--ext", options->extensions, "Only files with these extensions: JPG,PNG,...")
      ->delimiter(',');
  recover->add_flag("--json", options->json, "Print the output folder and every file handled as JSON");
  return {recover, [options] { return RunRecover(*options); }};
}

}  // namespace korvex::cli
