// Conversion of names read from disk into UTF-8, the text form used everywhere in the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace korvex {

// Bytes of an 8.3 name or label in an unknown OEM code page: ASCII is kept, every other byte becomes "_".
std::string OemBytesToUtf8(std::string_view bytes);

// UTF-16 little-endian bytes (an NTFS name or label) as UTF-8. A code unit that does not form a
// character (an unpaired surrogate) becomes "_"; a trailing odd byte is ignored. With `maxBytes` the
// result is cut before the first character that would not fit whole.
std::string Utf16LeToUtf8(std::span<const std::uint8_t> bytes, std::size_t maxBytes = SIZE_MAX);

}  // namespace korvex
