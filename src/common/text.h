// Conversion of names read from disk into UTF-8, the text form used everywhere in the program.
#pragma once

#include <string>
#include <string_view>

namespace korvex {

// Bytes of an 8.3 name or label in an unknown OEM code page: ASCII is kept, every other byte becomes "_".
std::string OemBytesToUtf8(std::string_view bytes);

}  // namespace korvex
