// Conversion of names read from disk into UTF-8, the text form used everywhere in the program, and
// cutting texts to the fixed fields of on-disk records.
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

// UTF-16 code units (a GPT name) as UTF-8, as Utf16LeToUtf8 converts them; the text ends at the first
// NUL unit.
std::string Utf16ToUtf8(std::u16string_view units);

// The longest prefix of `text` of at most `maxBytes` bytes that ends with a whole UTF-8 sequence.
std::string_view CutAtCharBoundary(std::string_view text, std::size_t maxBytes);

// Copies `text` into a fixed field of `size` bytes, cut at a character boundary so that it fits with
// its terminating NUL; the rest of the field is zero. Nothing is written when `size` is 0.
void CopyToField(char* field, std::size_t size, std::string_view text);

}  // namespace korvex
