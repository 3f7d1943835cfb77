// korvex-cli: the recovery flows from a terminal. Exit status 0 success, 1 failure, 2 usage error.
#include <CLI/CLI.hpp>
#include <vector>

#include "cli/commands.h"

int main(int argc, char** argv) {
  CLI::App app{"korvex-cli: finds lost files on drives and disk images (reads the source, never writes it)"};
  app.require_subcommand(1);

  const std::vector<korvex::cli::Command> commands = {
      korvex::cli::AddInfoCommand(app),
      korvex::cli::AddDrivesCommand(app),
      korvex::cli::AddScanCommand(app),
      korvex::cli::AddRecoverCommand(app),
  };

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? 0 : 2;
  }
  for (const auto& command : commands) {
    if (command.subcommand->parsed())
      return command.run();
  }
  return 2;
}
