// File times as the found-file model keeps them: 64-bit counts of 100-ns units since 1601-01-01 UTC
// (the FILETIME form of FAT and NTFS), 0 for a time that is unknown or did not convert.
#pragma once

#include <cstdint>

namespace korvex {

using FileTime = std::uint64_t;

// A FAT directory entry's date and time, taken as they are (no local-time shift). Date: day 1..31 in
// bits 0-4, month 1..12 in bits 5-8, years since 1980 in bits 9-15; time: seconds / 2 in bits 0-4,
// minutes in bits 5-10, hours in bits 11-15. A day, month, hour, minute or second that cannot be
// (February 30, month 13, 24:00, 60 seconds, day 0) gives 0.
FileTime DosDateTimeToFileTime(std::uint16_t date, std::uint16_t time);

}  // namespace korvex
