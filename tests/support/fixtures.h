// Access to the unpacked fixture images of tests/data.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvex::test {

inline std::string FixturePath(const std::string& relative) {
  return std::string(KORVEX_TEST_DATA_DIR) + "/" + relative;
}

// The fixture's bytes, or its first `limit` bytes.
inline std::vector<std::uint8_t> ReadFixture(const std::string& relative, std::size_t limit = SIZE_MAX) {
  std::ifstream in(FixturePath(relative), std::ios::binary | std::ios::ate);
  if (!in)
    throw std::runtime_error("missing fixture " + relative);
  std::vector<std::uint8_t> bytes(std::min<std::size_t>(static_cast<std::size_t>(in.tellg()), limit));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

}  // namespace korvex::test
