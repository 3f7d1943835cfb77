// Conversion of names read from disk into UTF-8, the text form used everywhere in the program, and
// cutting texts to the fixed fields of on-disk records.
#pragma once

#include <string>
#include <string_view>

namespace korvex {

// Bytes of an 8.3 name or label in an unknown OEM code page: ASCII is kept, every other byte becomes "_".
std::string OemBytesToUtf8(std::string_view bytes);

// UTF-16 code units (a GPT name, an NTFS label) as UTF-8; an unpaired surrogate becomes "_". The text
// ends at the first NUL unit.
std::string Utf16ToUtf8(std::u16string_view units);

// The longest prefix of `text` of at most `maxBytes` bytes that ends with a whole UTF-8 sequence.
std::string_view CutAtCharBoundary(std::string_view text, std::size_t maxBytes);

// Copies `text` into a fixed field of `size` bytes, cut at a character boundary so that it fits with
// its terminating NUL; the rest of the field is zero. Nothing is written when `size` is 0.
void CopyToField(char* field, std::size_t size, std::string_view text);

}  // namespace korvex
