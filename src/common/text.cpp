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

namespace {

void PutUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string Utf16LeToUtf8(std::span<const std::uint8_t> bytes, std::size_t maxBytes) {
  std::string out;
  const std::size_t units = bytes.size() / 2;
  auto unit = [&](std::size_t i) { return static_cast<std::uint32_t>(bytes[2 * i] | bytes[2 * i + 1] << 8); };
  for (std::size_t i = 0; i < units; ++i) {
    std::uint32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = '_';
    }
    const std::size_t before = out.size();
    PutUtf8(out, c);
    if (out.size() > maxBytes) {
      out.resize(before);
      break;
    }
  }
  return out;
}

}  // namespace korvex
