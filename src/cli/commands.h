// The subcommands of korvex-cli. Each registers its options on the app and runs when chosen;
// a run returns the process exit status (0 success, 1 failure).
#pragma once

#include <CLI/CLI.hpp>
#include <functional>

namespace korvex::cli {

struct Command {
  CLI::App* subcommand;
  std::function<int()> run;
};

Command AddInfoCommand(CLI::App& app);
Command AddDrivesCommand(CLI::App& app);
Command AddScanCommand(CLI::App& app);
Command AddRecoverCommand(CLI::App& app);

}  // namespace korvex::cli
