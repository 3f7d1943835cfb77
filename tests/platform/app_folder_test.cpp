// The choice of the application folder, from the environment and the executable's folder.
#include "platform/app_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace korvex::platform {
namespace {

TEST(AppFolder, ChosenInOrderOfPrecedence) {
  struct Case {
    AppFolderSources sources;
    bool executableWritable;
    std::string expected;
  };
  const Case cases[] = {
      {{"/data/korvex", "/opt/korvex", "/xdg", "/home/u"}, true, "/data/korvex"},
      {{"", "/opt/korvex", "/xdg", "/home/u"}, true, "/opt/korvex"},
      {{"", "/usr/bin", "/xdg", "/home/u"}, false, "/xdg/korvex"},
      {{"", "/usr/bin", "", "/home/u"}, false, "/home/u/.local/share/korvex"},
      {{"", "/usr/bin", "relative", "/home/u"}, false, "/home/u/.local/share/korvex"},
      {{"", "", "", ""}, false, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseApplicationFolder(c.sources, [&](const std::string&) { return c.executableWritable; }),
              c.expected)
        << c.sources.korvexHome << " | " << c.sources.executableFolder;
  }
}

TEST(AppFolder, KorvexHomeIsMadeWhenMissing) {
  const auto root =
      std::filesystem::temp_directory_path() / ("korvex_app_folder_" + std::to_string(::getpid()));
  std::filesystem::remove_all(root);
  const auto folder = root / "a" / "b";
  ASSERT_EQ(::setenv("KORVEX_HOME", folder.c_str(), 1), 0);
  EXPECT_EQ(ApplicationFolder(), folder.string());
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);
  ::unsetenv("KORVEX_HOME");
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace korvex::platform
