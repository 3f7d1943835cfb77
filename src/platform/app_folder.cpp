#include "platform/app_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace korvex::platform {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string ExecutableFolder() {
  std::error_code error;
  const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? "" : executable.parent_path().string();
}

}  // namespace

std::string ChooseApplicationFolder(const AppFolderSources& sources,
                                    const std::function<bool(const std::string&)>& writable) {
  if (!sources.korvexHome.empty())
    return sources.korvexHome;
  if (!sources.executableFolder.empty() && writable(sources.executableFolder))
    return sources.executableFolder;
  // XDG: a relative $XDG_DATA_HOME is invalid and is ignored.
  if (!sources.xdgDataHome.empty() && sources.xdgDataHome.front() == '/')
    return sources.xdgDataHome + "/korvex";
  if (!sources.home.empty())
    return sources.home + "/.local/share/korvex";
  return "";
}

std::string ApplicationFolder() {
  const AppFolderSources sources{Environment("KORVEX_HOME"), ExecutableFolder(), Environment("XDG_DATA_HOME"),
                                 Environment("HOME")};
  const std::string folder = ChooseApplicationFolder(
      sources, [](const std::string& path) { return ::access(path.c_str(), W_OK | X_OK) == 0; });
  if (folder.empty())
    return "";
  std::error_code error;
  if (std::filesystem::is_directory(folder, error))
    return folder;
  const mode_t old = ::umask(0077);
  std::filesystem::create_directories(folder, error);
  ::umask(old);
  return !error && std::filesystem::is_directory(folder, error) ? folder : "";
}

}  // namespace korvex::platform
