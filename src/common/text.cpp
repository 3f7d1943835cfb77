#include "common/text.h"

#include <algorithm>
#include <cstring>
#include <vector>

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

std::string Utf16ToUtf8(std::u16string_view units) {
  units = units.substr(0, std::min(units.size(), units.find(u'\0')));
  std::vector<std::uint8_t> bytes;
  bytes.reserve(2 * units.size());
  for (char16_t u : units) {
    bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  return Utf16LeToUtf8(bytes);
}

std::string_view CutAtCharBoundary(std::string_view text, std::size_t maxBytes) {
  std::string_view cut = text.substr(0, std::min(text.size(), maxBytes));
  // The last sequence must be whole: find its lead byte and drop it when bytes of it are missing,
  // whether the cut here or an earlier one (a label cut by its analyser) split it.
  std::size_t lead = cut.size();
  while (lead > 0 && cut.size() - lead < 4 && (static_cast<unsigned char>(cut[lead - 1]) & 0xC0) == 0x80)
    --lead;
  if (lead == 0)
    return cut;
  const auto first = static_cast<unsigned char>(cut[lead - 1]);
  const std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
  return cut.size() - (lead - 1) < length ? cut.substr(0, lead - 1) : cut;
}

void CopyToField(char* field, std::size_t size, std::string_view text) {
  if (size == 0)
    return;
  const std::string_view cut = CutAtCharBoundary(text, size - 1);
  std::memset(field, 0, size);
  std::memcpy(field, cut.data(), cut.size());
}

}  // namespace korvex
