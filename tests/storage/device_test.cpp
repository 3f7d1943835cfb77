// Sector reads through CDevice, CBasicDevice and CStorageDeviceWithCache, and the sector-count choice.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <numeric>

#include "common/database.h"
#include "platform/drive_table.h"
#include "storage/device.h"
#include "storage/memory_device.h"

namespace korvex {
namespace {

// Bytes of `sectors` sectors in which every byte of sector k holds (k * 7 + 1) mod 251, so that a
// sector read at the wrong place is told apart.
std::vector<std::uint8_t> NumberedSectors(std::uint64_t sectors, std::uint32_t sectorSize) {
  std::vector<std::uint8_t> bytes(sectors * sectorSize);
  for (std::uint64_t k = 0; k < sectors; ++k) {
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(k * sectorSize), sectorSize,
                static_cast<std::uint8_t>((k * 7 + 1) % 251));
  }
  return bytes;
}

std::uint8_t Mark(std::uint64_t sector) {
  return static_cast<std::uint8_t>((sector * 7 + 1) % 251);
}

// True when `buffer` holds sectors first..first+count-1 of a NumberedSectors device.
::testing::AssertionResult HoldsSectors(const std::vector<std::uint8_t>& buffer, std::uint64_t first,
                                        std::uint64_t count, std::uint32_t sectorSize) {
  for (std::uint64_t k = 0; k < count; ++k) {
    for (std::uint32_t b = 0; b < sectorSize; ++b) {
      if (buffer[k * sectorSize + b] != Mark(first + k)) {
        return ::testing::AssertionFailure() << "sector " << k << " of the read is not sector " << first + k;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(ChooseSectorCount, PicksLengthThenScsiThenGeometry) {
  struct Case {
    const char* what;
    platform::DriveCapacityAnswers answers;
    bool ok;
    std::uint64_t expected;
  };
  // 10 cylinders × 255 × 63 = 160650 sectors; one cylinder is 16065 sectors.
  auto drive = [](bool lengthOk, std::uint64_t lengthSectors, std::uint64_t scsi0, std::uint64_t scsi1) {
    platform::DriveCapacityAnswers a;
    a.geometryOk = true;
    a.cylinders = 10;
    a.tracksPerCylinder = 255;
    a.sectorsPerTrack = 63;
    a.bytesPerSector = 512;
    a.lengthOk = lengthOk;
    a.lengthBytes = lengthSectors * 512;
    a.scsiCapacity[0] = scsi0;
    a.scsiCapacity[1] = scsi1;
    return a;
  };
  const Case cases[] = {
      {"geometry failed", platform::DriveCapacityAnswers{}, false, 0},
      {"length at least the geometry", drive(true, 170000, 0, 0), true, 170000},
      {"length equal to the geometry", drive(true, 160650, 0, 0), true, 160650},
      {"length and SCSI fail", drive(false, 0, 0, 0), true, 160650},
      {"length short, SCSI within a cylinder", drive(true, 100, 160700, 0), true, 160700},
      {"target 0 too large, target 1 fits", drive(false, 0, 160650 + 16065, 160651), true, 160651},
      {"SCSI a whole cylinder above", drive(false, 0, 160650 + 16065, 0), true, 160650},
      {"SCSI equal to the geometry", drive(false, 0, 160650, 0), true, 160650},
  };
  for (const Case& c : cases) {
    SectorCountChoice choice = ChooseSectorCount(c.answers);
    EXPECT_EQ(choice.ok, c.ok) << c.what;
    EXPECT_EQ(choice.sectorCount, c.expected) << c.what;
  }

  auto big = drive(false, 0, 0, 0);
  big.cylinders = (std::uint64_t{1} << 32) / (255 * 63) + 1;  // geometry of 2^32 sectors or more
  const std::uint64_t geometric = big.cylinders * 255 * 63;
  big.scsiCapacity[0] = geometric + 1;
  EXPECT_EQ(ChooseSectorCount(big).sectorCount, geometric) << "SCSI answers are ignored beyond 2^32 sectors";
}

class ImageFile : public ::testing::Test {
 protected:
  void MakeImage(std::uint64_t sectors, std::uint32_t sectorSize, std::uint64_t extraBytes = 0) {
    char name[] = "/tmp/korvex-device-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    path_ = name;
    std::vector<std::uint8_t> bytes = NumberedSectors(sectors, sectorSize);
    bytes.resize(bytes.size() + extraBytes, 0xEE);
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    platform::DriveTable::Instance().Clear();
    index_ = platform::DriveTable::Instance().AddImage(path_, sectorSize);
  }
  void TearDown() override {
    if (!path_.empty())
      ::unlink(path_.c_str());
    platform::DriveTable::Instance().Clear();
  }
  std::string path_;
  int index_ = -1;
};

TEST_F(ImageFile, ReadsAtAndPastTheEnd) {
  for (std::uint32_t sectorSize : {512u, 4096u}) {
    SCOPED_TRACE(sectorSize);
    // A partial sector at the end of an image is not a sector.
    MakeImage(100, sectorSize, sectorSize / 2);
    CDevice device(index_);
    std::vector<std::uint8_t> buffer(10 * sectorSize, 0xAB);
    EXPECT_EQ(device.Read(buffer.data(), 0, 1, sectorSize), 0) << "not open";
    ASSERT_EQ(device.Open(), 1);
    EXPECT_EQ(device.Read(buffer.data(), 0, 1, sectorSize), 0) << "sector count not yet queried";
    ASSERT_EQ(device.GetSectorCount(), 100u);
    EXPECT_EQ(device.GetBytesPerSector(), sectorSize);

    ASSERT_EQ(device.Read(buffer.data(), 37, 3, sectorSize), 1);
    EXPECT_TRUE(HoldsSectors(buffer, 37, 3, sectorSize));
    EXPECT_EQ(device.GetLastOffset(), 37u * sectorSize);

    // 10 sectors starting 4 before the end read the 4 that exist; the rest of the buffer is untouched.
    std::fill(buffer.begin(), buffer.end(), 0xAB);
    ASSERT_EQ(device.Read(buffer.data(), 96, 10, sectorSize), 1);
    EXPECT_TRUE(HoldsSectors(buffer, 96, 4, sectorSize));
    EXPECT_EQ(buffer[4 * sectorSize], 0xAB);

    EXPECT_EQ(device.Read(buffer.data(), 100, 1, sectorSize), 0) << "last sector + 1";
    EXPECT_EQ(device.Read(buffer.data(), ~std::uint64_t{0}, 1, sectorSize), 0);
    EXPECT_EQ(device.Close(), 1);
    EXPECT_EQ(device.Read(buffer.data(), 0, 1, sectorSize), 0) << "closed";
    TearDown();
  }
}

TEST_F(ImageFile, OpenRefusesNumbersOutsideTheRange) {
  MakeImage(10, 512);
  EXPECT_EQ(CDevice(-1).Open(), 0);
  EXPECT_EQ(CDevice(20).Open(), 0);
  EXPECT_EQ(CDevice(index_ + 1).Open(), 0) << "no such drive";
  EXPECT_EQ(CDevice(20).GetDriveNumber(), 20);
  EXPECT_EQ(CDevice(21).GetDriveNumber(), -1);
  platform::DriveTable::Instance().AddImage("/nonexistent/korvex.img");
  EXPECT_EQ(CDevice(index_ + 1).Open(), 0) << "missing file";
}

TEST(BasicDevice, ReadsItsRangeAndZeroFillsPastTheInnerEnd) {
  CMemoryDevice inner(NumberedSectors(50, 512), 512);
  CBasicDevice partition(&inner, 40, 20, 50);
  EXPECT_EQ(partition.GetSectorCount(), 20u);

  std::vector<std::uint8_t> buffer(8 * 512, 0xAB);
  ASSERT_EQ(partition.Read(buffer.data(), 2, 3, 512), 1);
  EXPECT_TRUE(HoldsSectors(buffer, 42, 3, 512));

  // Sectors 48 and 49 exist on the inner device; the six requested after them do not and read as zeros.
  std::fill(buffer.begin(), buffer.end(), 0xAB);
  ASSERT_EQ(partition.Read(buffer.data(), 8, 8, 512), 1);
  EXPECT_TRUE(HoldsSectors(buffer, 48, 2, 512));
  EXPECT_TRUE(std::all_of(buffer.begin() + 2 * 512, buffer.end(), [](std::uint8_t b) { return b == 0; }));

  EXPECT_EQ(partition.Read(buffer.data(), 10, 1, 512), 0) << "starts at the inner device's end";
  CBasicDevice beyond(&inner, 60, 5, 50);
  EXPECT_EQ(beyond.Read(buffer.data(), 0, 1, 512), 0);
}

class CachedDevice : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  void SetUp() override { CDataBase::Instance().bytesPerSector = GetParam(); }
  void TearDown() override { CDataBase::Instance().bytesPerSector = 0; }
};

TEST_P(CachedDevice, ServesReadsAroundTheCachedBlock) {
  const std::uint32_t b = GetParam();
  CMemoryDevice inner(NumberedSectors(3500, b), b);
  CStorageDeviceWithCache cache;
  cache.SetInner(&inner);
  ASSERT_EQ(cache.InitCache(), 1);
  ASSERT_EQ(cache.LoadBlock(1), 1);  // sectors 1000..1999
  const int readsAfterLoad = inner.ReadCount();

  struct Case {
    std::uint64_t first, count;
    int innerReads;  // reads that must reach the inner device
  };
  const Case cases[] = {
      {1000, 1000, 0}, {1500, 10, 0},   {1999, 1, 0},   // inside
      {1990, 20, 1},   {1500, 1200, 1},                 // starts inside, ends behind
      {995, 10, 2},    {990, 5, 1},     {10, 2000, 2},  // starts before
      {2000, 3, 1},    {3499, 1, 1},                    // behind
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "first " << c.first << " count " << c.count);
    std::vector<std::uint8_t> buffer(c.count * b, 0xAB);
    const int before = inner.ReadCount();
    ASSERT_EQ(cache.Read(buffer.data(), c.first, c.count, b), 1);
    EXPECT_TRUE(HoldsSectors(buffer, c.first, c.count, b));
    EXPECT_EQ(inner.ReadCount() - before, c.innerReads);
  }
  EXPECT_EQ(readsAfterLoad, 1);
  std::vector<std::uint8_t> one(b);
  EXPECT_EQ(cache.Read(one.data(), 1500, 0, b), 0) << "a zero-length read fails";
}

TEST_P(CachedDevice, LoadBlockBoundsAndTheShortLastBlock) {
  const std::uint32_t b = GetParam();
  CMemoryDevice inner(NumberedSectors(2500, b), b);
  CStorageDeviceWithCache cache;
  EXPECT_EQ(cache.LoadBlock(0), 0) << "no inner device";
  cache.SetInner(&inner);
  ASSERT_EQ(cache.InitCache(), 1);
  EXPECT_EQ(cache.GetCachedBlock(), CStorageDeviceWithCache::kNothingCached);

  std::vector<std::uint8_t> buffer(2 * b);
  ASSERT_EQ(cache.Read(buffer.data(), 5, 2, b), 1) << "nothing cached: read through";
  EXPECT_TRUE(HoldsSectors(buffer, 5, 2, b));

  ASSERT_EQ(cache.LoadBlock(1), 1);
  EXPECT_EQ(cache.LoadBlock(3), 0) << "index equal to the number of blocks";
  EXPECT_EQ(cache.GetCachedBlock(), 1u);

  ASSERT_EQ(cache.LoadBlock(2), 1);  // sectors 2000..2499, then nothing
  const std::vector<std::uint8_t> cached(cache.GetCache(), cache.GetCache() + 1000 * b);
  EXPECT_TRUE(HoldsSectors(cached, 2000, 500, b));
  EXPECT_TRUE(std::all_of(cached.begin() + 500 * b, cached.end(), [](std::uint8_t v) { return v == 0; }))
      << "the cache past the device's end holds no bytes of the previous block";
}

INSTANTIATE_TEST_SUITE_P(SectorSizes, CachedDevice, ::testing::Values(512u, 4096u));

}  // namespace
}  // namespace korvex
