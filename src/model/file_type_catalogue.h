// FileTypeCatalogue: the process-wide table of file types that carving and the scan-time name
// classification share. Ids 0..84 are built in; 85..999 stay empty; 1000..1999 are handed out at run
// time to the types of user-defined signature scripts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korvex {

// The found-file counter of the scan progress that a find of a type increases besides the total.
enum class FoundCounter : std::uint8_t { kNone, kPictures, kVideos, kDocuments, kArchives };

class FileTypeCatalogue {
 public:
  static constexpr std::size_t kEntryCount = 2000;
  static constexpr std::uint32_t kLastBuiltInId = 84;
  static constexpr std::uint32_t kFirstScriptId = 1000;
  static constexpr std::size_t kDescriptionSize = 90;  // bytes, NUL included
  static constexpr std::size_t kExtensionSize = 10;    // bytes, NUL included

  struct Entry {
    char description[kDescriptionSize];  // NUL-terminated, shown as the folder name of carved files
    char extension[kExtensionSize];      // NUL-terminated, without a dot
    FoundCounter counter;
  };

  // Made on first use (thread-safe), lives until the process ends.
  static FileTypeCatalogue& Instance();

  // Empty strings for ids outside the table.
  std::string_view GetDescription(std::uint32_t id) const;
  std::string_view GetExtension(std::uint32_t id) const;
  FoundCounter GetCounter(std::uint32_t id) const;

  // Fills a run-time entry (ids 1000..1999), cutting both texts to their fields; false for other ids.
  // Unguarded: only the thread that runs the scan may call it.
  bool SetScriptEntry(std::uint32_t id, std::string_view description, std::string_view extension);

 private:
  FileTypeCatalogue();

  Entry entries_[kEntryCount];
};

}  // namespace korvex
