// Runs korvex-cli with arguments and collects its standard output and exit status.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace korvex {

struct CliRun {
  int status;
  std::string out;
};

inline CliRun RunCli(const std::string& arguments) {
  const std::string command = std::string(KORVEX_CLI) + " " + arguments + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  CliRun run{-1, {}};
  if (!pipe)
    return run;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace korvex
