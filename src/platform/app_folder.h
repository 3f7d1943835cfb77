// The application folder, where recovery states and signature scripts live: $KORVEX_HOME when set,
// else the executable's folder when it is writable, else $XDG_DATA_HOME/korvex (by default
// ~/.local/share/korvex).
#pragma once

#include <functional>
#include <string>

namespace korvex::platform {

// What the choice is made from; empty strings are unset.
struct AppFolderSources {
  std::string korvexHome;        // $KORVEX_HOME
  std::string executableFolder;  // the folder of /proc/self/exe
  std::string xdgDataHome;       // $XDG_DATA_HOME
  std::string home;              // $HOME
};

// The folder the sources name; `writable` tells whether the executable's folder may be written.
// Empty when none can be named (no $HOME and nothing else set).
std::string ChooseApplicationFolder(const AppFolderSources& sources,
                                    const std::function<bool(const std::string&)>& writable);

// The application folder of this process, made (mode 0700, parents included) when it does not exist
// yet; empty when it cannot be named or made.
std::string ApplicationFolder();

}  // namespace korvex::platform
