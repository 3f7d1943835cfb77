#include "common/text.h"

namespace korvex {

std::string OemBytesToUtf8(std::string_view bytes) {
  std::string out(bytes);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) >= 0x80)
      c = '_';
  }
  return out;
}

}  // namespace korvex
