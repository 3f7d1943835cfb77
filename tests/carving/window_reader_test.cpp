// The size steps' reader: fields that straddle two windows and the search over window spans.
#include "carving/analysers/window_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/database.h"
#include "storage/memory_device.h"

namespace korvex {
namespace {

class Reader : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  void SetUp() override { CDataBase::Instance().bytesPerSector = GetParam(); }
  std::uint64_t WindowBytes() const { return 1024ull * GetParam(); }
};

TEST_P(Reader, SixtyFourBitFieldsAcrossAWindowBoundary) {
  const std::uint64_t w = WindowBytes();
  std::vector<std::uint8_t> bytes(3 * w, 0);
  const std::uint8_t field[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  std::memcpy(bytes.data() + w - 3, field, 8);  // 3 bytes in window 0, 5 in window 1
  CMemoryDevice device(bytes, GetParam());
  WindowReader r(device, 0);
  std::uint64_t value = 0;
  ASSERT_TRUE(r.U64(w - 3, true, value));
  EXPECT_EQ(value, 0x0102030405060708u);
  ASSERT_TRUE(r.U64(w - 3, false, value));
  EXPECT_EQ(value, 0x0807060504030201u);
  EXPECT_FALSE(r.U64(3 * w, true, value)) << "a window that starts at the device's end has no data";
}

TEST_P(Reader, FindsATextInAnyCaseAcrossWindows) {
  const std::uint64_t w = WindowBytes();
  std::vector<std::uint8_t> bytes(3 * w, 'e');  // every byte could start "endobj"
  auto put = [&](std::uint64_t at, const std::string& text) {
    std::memcpy(bytes.data() + at, text.data(), text.size());
  };
  put(100, "EndObJ");
  put(w - 2, "endobj");  // straddles windows 0 and 1
  put(2 * w + 10, "ENDOBJ");
  CMemoryDevice device(bytes, GetParam());
  WindowReader r(device, 0);
  using S = WindowReader::Search;
  struct Case {
    std::uint64_t from, last;
    bool ignoreCase;
    S result;
    std::uint64_t at;
  };
  const Case cases[] = {
      {0, 5 * w, true, S::kFound, 100},
      {0, 99, true, S::kNotFound, 0},  // a match may start at `last`, not after it
      {0, 100, true, S::kFound, 100},
      {0, 5 * w, false, S::kFound, w - 2},  // exact case: the mixed-case one is skipped
      {101, 5 * w, true, S::kFound, w - 2},
      {w - 1, 5 * w, false, S::kNoData, 0},        // no lower-case one after the straddle: the end
      {w - 1, 3 * w - 1, false, S::kNotFound, 0},  // ...or, within the device, none
      {w - 1, 5 * w, true, S::kFound, 2 * w + 10},
      {2 * w + 11, 5 * w, true, S::kNoData, 0},  // the search runs into the device's end
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + ".." + std::to_string(c.last));
    std::uint64_t at = 0;
    const S result = r.Find(c.from, c.last, "endobj", c.ignoreCase, at);
    EXPECT_EQ(result, c.result);
    if (result == S::kFound) {
      EXPECT_EQ(at, c.at);
    }
  }
  EXPECT_TRUE(r.Matches(w - 2, "ENDOBJ", true));
  EXPECT_FALSE(r.Matches(w - 2, "ENDOBJ", false));
}

INSTANTIATE_TEST_SUITE_P(SectorSizes, Reader, ::testing::Values(512u, 4096u));

}  // namespace
}  // namespace korvex
