// Reading forward from a find through windows of 1024 sectors, and the end-marker search.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "carving/raw_read_window.h"
#include "common/database.h"
#include "storage/memory_device.h"

namespace korvex {
namespace {

class Window : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  void SetUp() override { CDataBase::Instance().bytesPerSector = GetParam(); }
};

TEST_P(Window, ReadsWindowsAndZerosPastTheDeviceEnd) {
  const std::uint32_t b = GetParam();
  const std::uint64_t sectors = 2500;
  std::vector<std::uint8_t> bytes(sectors * b);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>(i / b % 250 + 1);
  CMemoryDevice device(bytes, b);
  RawReadWindow window;
  window.Open(&device, 100);
  const std::uint64_t w = 1024ull * b;

  const std::uint8_t* p = window.At(5 * b + 3);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(*p, bytes[105 * b]);
  EXPECT_EQ(window.Remaining(), 1024u);
  p = window.At(10 * b);
  EXPECT_EQ(*p, bytes[110 * b]);
  EXPECT_EQ(window.Remaining(), 1024u - 10) << "the same window: remaining from the position";

  // Window 2 starts at sector 2148 and holds only 352 sectors of the device: the device shortens the
  // read, and the rest of the window stays zero.
  p = window.At(2 * w + 351 * b);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(*p, bytes[2499 * b]);
  p = window.At(2 * w + 352 * b);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(*p, 0) << "past the device's end";
  EXPECT_EQ(p[w - 352 * b + 100], 0) << "the tail after the window reads as zeros";

  RawReadWindow atEnd;
  atEnd.Open(&device, 2500 - 1024);
  EXPECT_NE(atEnd.At(0), nullptr);
  EXPECT_EQ(atEnd.At(w), nullptr) << "a window that starts exactly at the device's end";
}

// A device that refuses any read running past its end instead of shortening it.
class StrictDevice : public CMemoryDevice {
 public:
  using CMemoryDevice::CMemoryDevice;
  int Read(void* buffer, std::uint64_t first, std::uint64_t count, std::uint32_t b) override {
    return first + count > GetSectorCount() ? 0 : CMemoryDevice::Read(buffer, first, count, b);
  }
};

TEST_P(Window, ReadsWhatIsLeftWhenTheDeviceRefusesAWholeWindow) {
  const std::uint32_t b = GetParam();
  StrictDevice device(std::vector<std::uint8_t>(2500 * b, 0x5A), b);
  RawReadWindow window;
  window.Open(&device, 100);
  const std::uint8_t* p = window.At(2 * 1024ull * b + 351 * b);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(*p, 0x5A);
  EXPECT_EQ(window.Remaining(), 352u);
  EXPECT_EQ(p[b], 0) << "past the device's end";
}

INSTANTIATE_TEST_SUITE_P(SectorSizes, Window, ::testing::Values(512u, 4096u));

// The end-marker search as offset-by-offset comparisons through At, to check the window search by.
bool ReferenceEndMarker(CRawFileInfo& info, IDevice& device, const std::string& marker, std::uint64_t limit) {
  RawReadWindow window;
  window.Open(&device, info.startSector);
  for (std::uint64_t offset = 0; offset <= limit; ++offset) {
    const std::uint8_t* p = window.At(offset);
    if (!p)
      return false;
    if (std::memcmp(p, marker.data(), marker.size()) == 0) {
      info.size = offset + marker.size();
      return true;
    }
  }
  info.size = limit + 1;
  return true;
}

TEST(EndMarker, AgreesWithTheOffsetByOffsetSearch) {
  CDataBase::Instance().bytesPerSector = 512;
  std::mt19937 random(7);
  std::vector<std::uint8_t> bytes(3000 * 512);
  for (auto& v : bytes)
    v = static_cast<std::uint8_t>(random() % 4 + 'a');  // few letters: many near misses
  const std::string marker = "%%EOF";
  const std::uint64_t w = 1024 * 512;
  struct Case {
    const char* what;
    std::uint64_t start;                 // sector of the find
    std::vector<std::uint64_t> planted;  // byte offsets from the find of planted markers
    std::uint64_t limit;
  };
  const Case cases[] = {
      {"marker at an odd offset", 3, {777}, 1 << 20},
      {"first of two", 0, {w + 5, 4001}, 1 << 20},
      {"straddling a window boundary, then later", 0, {w - 2, w + 901}, 1 << 20},
      {"none within the limit", 0, {}, 1 << 20},
      {"just past the limit", 0, {(1 << 20) + 1}, 1 << 20},
      {"exactly at the limit", 0, {1 << 20}, 1 << 20},
      {"runs into the device's end", 2500, {}, 1 << 20},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> image = bytes;
    for (std::uint64_t off : c.planted)
      std::memcpy(image.data() + c.start * 512 + off, marker.data(), marker.size());
    CMemoryDevice device(image, 512);
    CRawFileInfo fast, slow;
    fast.startSector = slow.startSector = c.start;
    const bool fastOk = FindEndMarker(fast, device, reinterpret_cast<const std::uint8_t*>(marker.data()),
                                      marker.size(), c.limit);
    const bool slowOk = ReferenceEndMarker(slow, device, marker, c.limit);
    EXPECT_EQ(fastOk, slowOk) << c.what;
    EXPECT_EQ(fast.size, slow.size) << c.what;
  }
  // No marker anywhere: the size is the limit plus one, as for the 1 MiB HTML limit.
  CMemoryDevice plain(std::vector<std::uint8_t>(3000 * 512, 'x'), 512);
  CRawFileInfo info;
  ASSERT_TRUE(FindEndMarker(info, plain, reinterpret_cast<const std::uint8_t*>("</html>"), 7, 1 << 20));
  EXPECT_EQ(info.size, 1'048'577u);
}

}  // namespace
}  // namespace korvex
