#include "common/file_time.h"

#include <chrono>

namespace korvex {

FileTime DosDateTimeToFileTime(std::uint16_t date, std::uint16_t time) {
  namespace ch = std::chrono;
  const ch::year_month_day calendar{ch::year{1980 + (date >> 9)},
                                    ch::month{static_cast<unsigned>((date >> 5) & 0x0F)},
                                    ch::day{static_cast<unsigned>(date & 0x1F)}};
  const unsigned hour = time >> 11;
  const unsigned minute = (time >> 5) & 0x3F;
  const unsigned second = (time & 0x1F) * 2u;
  if (!calendar.ok() || hour > 23 || minute > 59 || second > 59)
    return 0;
  constexpr ch::sys_days kFileTimeEpoch = ch::year{1601} / ch::January / 1;
  const ch::seconds since =
      ch::sys_days(calendar) - kFileTimeEpoch + ch::hours(hour) + ch::minutes(minute) + ch::seconds(second);
  return static_cast<FileTime>(since.count()) * 10'000'000u;
}

}  // namespace korvex
