// Drives: descriptor texts and drive texts, the whole disks of a fake sysfs tree, the drive list's
// numbering, mount points, drive identities and finding a saved volume again.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/volume_probe.h"
#include "fixtures.h"
#include "platform/drive_table.h"
#include "platform/sysfs_drives.h"
#include "storage/drive_list.h"
#include "storage/volume_list.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

// A fresh directory under the system's temporary folder, removed at the end of the test.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "korvex-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? fs::path(pattern) : fs::path();
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

void WriteFile(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

TEST(CleanDescriptorText, CutAtTheFirstRunOfSpaces) {
  const struct {
    const char* raw;
    const char* clean;
  } cases[] = {
      {"ABC    ", "ABC "},  // three letters and four spaces keep one space
      {"  WORD", "WORD"},   // leading spaces go
      {" ", " "},           // a single space stays
      {"", ""},
      {"Samsung SSD 860  EVO", "Samsung SSD 860 "},
      {"WDC WD10EZEX-08WN4A0", "WDC WD10EZEX-08WN4A0"},
      {"   ", " "},
      {"A  B", "A "},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CleanDescriptorText(c.raw), c.clean) << '"' << c.raw << '"';
}

DeviceInfo Info(std::uint32_t bus, const char* vendor, const std::string& product) {
  DeviceInfo info{};
  info.busType = bus;
  std::strncpy(info.vendor, vendor, sizeof info.vendor - 1);
  std::strncpy(info.product, product.c_str(), sizeof info.product - 1);
  std::strncpy(info.busName, BusName(bus).c_str(), sizeof info.busName - 1);
  return info;
}

TEST(DriveText, VendorProductAndBus) {
  const struct {
    DeviceInfo info;
    const char* text;
  } cases[] = {
      {Info(3, "ATA ", "Samsung SSD 860 "), "ATA   Samsung SSD 860   ATA Bus"},
      {Info(7, "", "Cruzer Blade"), "Cruzer Blade  USB Device"},
      {Info(7, "(", "Card Reader"), "Card Reader  USB Device"},
      {Info(99, "", "Odd"), "Odd  "},
      {Info(1, "QEMU", std::string(60, 'q')), "QEMU  qqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqq"},
      // A two-byte character that ends at byte 48 fits; one that would end at byte 50 is dropped whole.
      {Info(0, "", std::string(46, 'x') + "\xC3\xA9"),
       "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\xC3\xA9 "},
      {Info(0, "", std::string(48, 'x') + "\xC3\xA9"), "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"},
  };
  for (const auto& c : cases) {
    const std::string text = DriveText(c.info);
    EXPECT_EQ(text, c.text);
    EXPECT_LE(text.size(), 49u);
  }
}

TEST(BusName, TableAndRemovableKinds) {
  EXPECT_EQ(BusName(1), "SCSI Disk Device");
  EXPECT_EQ(BusName(3), "ATA Bus");
  EXPECT_EQ(BusName(7), "USB Device");
  EXPECT_EQ(BusName(8), "RAID Disk Device");
  EXPECT_EQ(BusName(9), "");
  for (std::uint32_t bus : {7u, 12u, 13u, 15u})
    EXPECT_TRUE(IsRemovableBus(bus)) << bus;
  for (std::uint32_t bus : {0u, 1u, 3u, 14u, 17u})
    EXPECT_FALSE(IsRemovableBus(bus)) << bus;
}

// A sysfs, udev and mountinfo tree as a machine with an ATA disk, a USB stick, a virtio-scsi disk, a
// virtio disk, an NVMe disk, an SD card, an eMMC with boot areas, loop devices and some devices that
// are no disks shows it.
class FakeSysfs {
 public:
  explicit FakeSysfs(const fs::path& root) : root_(root) {
    roots.sys = (root / "sys").string();
    roots.udev = (root / "run/udev").string();
    roots.dev = "/dev";
    roots.mountInfo = (root / "mountinfo").string();
  }

  // A disk at `devicePath` (below sys/devices) linked from sys/block; returns its block folder.
  fs::path Disk(const std::string& devicePath, const std::string& name, const std::string& number) {
    const fs::path dir = root_ / "sys/devices" / devicePath / name;
    WriteFile(dir / "dev", number + "\n");
    fs::create_directories(root_ / "sys/block");
    fs::create_symlink(fs::path("../devices") / devicePath / name, root_ / "sys/block" / name);
    return dir;
  }
  void Partition(const fs::path& disk, const std::string& name, const std::string& number,
                 const std::string& start) {
    WriteFile(disk / name / "partition", "1\n");
    WriteFile(disk / name / "dev", number + "\n");
    WriteFile(disk / name / "start", start + "\n");
  }

  platform::SysfsRoots roots;

 private:
  fs::path root_;
};

TEST(ListBlockDevices, WholeDisksOfAFakeTree) {
  TempDir temp;
  FakeSysfs tree(temp.Path());
  const fs::path r = temp.Path();

  fs::path d = tree.Disk("pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block", "sda", "8:0");
  WriteFile(d / "device/vendor", "ATA     \n");
  WriteFile(d / "device/model", "Samsung SSD 860 \n");
  WriteFile(d / "device/rev", "4B6Q\n");
  tree.Partition(d, "sda1", "8:1", "2048");
  tree.Partition(d, "sda2", "8:2", "1050624");
  WriteFile(
      r / "run/udev/data/b8:0",
      "S:disk/by-id/ata-x\nE:ID_SERIAL_SHORT=S3Z9NB0K\nE:ID_MODEL=Samsung_SSD_860_EVO_500GB\n"
      "E:ID_MODEL_ENC=Samsung\\x20SSD\\x20860\\x20EVO\\x20500GB\\x20\\x20\\x20\nE:ID_REVISION=RVT04B6Q\n");

  d = tree.Disk("pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/host6/target6:0:0/6:0:0:0/block", "sdb", "8:16");
  WriteFile(d / "device/vendor", "Generic \n");
  WriteFile(d / "device/model", "STORAGE DEVICE  \n");
  WriteFile(r / "run/udev/data/b8:16", "E:ID_REVISION=1206\nE:ID_SERIAL_SHORT=000000001206\n");

  d = tree.Disk("pci0000:00/0000:00:03.0/virtio0/host2/target2:0:0/2:0:0:0/block", "sdc", "8:32");
  WriteFile(d / "device/vendor", "QEMU    \n");
  WriteFile(d / "device/model", "QEMU HARDDISK   \n");

  d = tree.Disk("pci0000:00/0000:00:02.0/virtio1/block", "vda", "254:0");
  WriteFile(d / "serial", "KVX-1\n");
  WriteFile(d / "device/vendor", "0x1af4\n");  // a PCI id, not a vendor text
  WriteFile(r / "run/udev/data/b254:0", "E:ID_MODEL_ENC=Virtual\\x20Disk\\x20\\x20x\n");

  d = tree.Disk("pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0", "nvme0n1", "259:0");
  WriteFile(d / "device/model", "WDC PC SN530 SDBPNPZ-512G-1002          \n");
  WriteFile(d / "device/serial", "2034XY\n");
  WriteFile(d / "device/firmware_rev", "21160001\n");

  d = tree.Disk("platform/soc/mmc_host/mmc0/mmc0:aaaa/block", "mmcblk0", "179:0");
  WriteFile(d / "device/type", "SD\n");
  WriteFile(d / "device/name", "SC32G\n");
  WriteFile(d / "device/serial", "0x1234abcd\n");
  d = tree.Disk("platform/soc/mmc_host/mmc1/mmc1:0001/block", "mmcblk1", "179:8");
  WriteFile(d / "device/type", "MMC\n");
  WriteFile(d / "device/name", "DG4016\n");
  tree.Disk("platform/soc/mmc_host/mmc1/mmc1:0001/block", "mmcblk1boot0", "179:16");
  tree.Disk("platform/soc/mmc_host/mmc1/mmc1:0001/block", "mmcblk1rpmb", "179:24");

  for (const char* loop : {"loop0", "loop1", "loop10", "loop2"}) {
    d = tree.Disk("virtual/block", loop, "7:0");
    if (std::string(loop) != "loop1")
      WriteFile(d / "loop/backing_file", std::string("/images/") + loop + ".img\n");
  }
  tree.Disk("virtual/block", "zram0", "252:0");
  tree.Disk("virtual/block", "dm-0", "253:0");
  tree.Disk("pci0000:00/0000:00:1f.2/ata2/host1/target1:0:0/1:0:0:0/block", "sr0", "11:0");

  WriteFile(r / "mountinfo",
            "22 28 0:21 / /proc rw,relatime - proc proc rw\n"
            "30 28 8:1 / /boot/efi rw - vfat /dev/sda1 rw\n"
            "31 28 8:2 / /mnt/my\\040data rw - ntfs3 /dev/sda2 rw\n"
            "32 28 179:0 / /media/card rw - vfat /dev/mmcblk0 rw\n"
            "33 28 8:1 / /efi rw - vfat /dev/sda1 rw\n");

  const auto disks = platform::ListBlockDevices(tree.roots);
  const struct {
    const char* name;
    std::uint32_t bus;
    const char* vendor;
    const char* model;
    const char* revision;
    const char* serial;
  } expected[] = {
      {"sda", 3, "", "Samsung SSD 860 EVO 500GB   ", "RVT04B6Q", "S3Z9NB0K"},
      {"sdb", 7, "Generic ", "STORAGE DEVICE  ", "1206", "000000001206"},
      {"sdc", 1, "QEMU    ", "QEMU HARDDISK   ", "", ""},
      {"vda", 14, "", "Virtual Disk  x", "", "KVX-1"},
      {"nvme0n1", 17, "", "WDC PC SN530 SDBPNPZ-512G-1002          ", "21160001", "2034XY"},
      {"mmcblk0", 12, "", "SC32G", "", "0x1234abcd"},
      {"mmcblk1", 13, "", "DG4016", "", ""},
      {"loop0", 15, "", "loop0.img", "", ""},
      {"loop2", 15, "", "loop2.img", "", ""},
      {"loop10", 15, "", "loop10.img", "", ""},
  };
  ASSERT_EQ(disks.size(), std::size(expected));
  for (std::size_t i = 0; i < disks.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(disks[i].name, expected[i].name);
    EXPECT_EQ(disks[i].path, std::string("/dev/") + expected[i].name);
    EXPECT_EQ(disks[i].busType, expected[i].bus);
    EXPECT_EQ(disks[i].vendor, expected[i].vendor);
    EXPECT_EQ(disks[i].model, expected[i].model);
    EXPECT_EQ(disks[i].revision, expected[i].revision);
    EXPECT_EQ(disks[i].serial, expected[i].serial);
  }
  ASSERT_EQ(disks[0].partitions.size(), 2u);
  EXPECT_EQ(disks[0].partitions[0].start512, 2048u);
  EXPECT_EQ(disks[0].partitions[0].mountPoint, "/efi") << "the last mount of a device wins";
  EXPECT_EQ(disks[0].partitions[1].start512, 1050624u);
  EXPECT_EQ(disks[0].partitions[1].mountPoint, "/mnt/my data");
  EXPECT_EQ(disks[5].mountPoint, "/media/card");
  EXPECT_TRUE(disks[5].partitions.empty());

  // A tree without /sys/block lists nothing.
  platform::SysfsRoots missing = tree.roots;
  missing.sys = (r / "nowhere").string();
  EXPECT_TRUE(platform::ListBlockDevices(missing).empty());
}

// A drive file of `sectors` sectors whose every byte is `fill`.
void MakeDriveFile(const fs::path& file, std::size_t sectors, char fill) {
  std::ofstream(file, std::ios::binary) << std::string(sectors * 512, fill);
}

std::vector<int> ListedNumbers() {
  std::vector<int> numbers;
  for (const auto& drive : ListedDrives::Instance().driveList)
    numbers.push_back(drive->GetDriveNumber());
  return numbers;
}

TEST(ListDrives, OpenedDrivesInNumberOrder) {
  TempDir temp;
  for (const char* name : {"a", "b", "d"})
    MakeDriveFile(temp.Path() / name, 8, 'x');
  auto& table = platform::DriveTable::Instance();
  table.Clear();
  table.SetBlockDevices(std::vector<std::string>{(temp.Path() / "a").string(), (temp.Path() / "b").string(),
                                                 (temp.Path() / "c").string(), (temp.Path() / "d").string()});
  std::vector<DriveOpenFailure> failures;
  EXPECT_EQ(ListDrives(&failures), 3);
  EXPECT_EQ(ListedNumbers(), (std::vector<int>{0, 1, 3}));
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].driveNumber, 2);
  EXPECT_EQ(failures[0].error, ENOENT);
  EXPECT_EQ(ListedDrives::Instance().driveList[2]->GetSectorCount(), 8u) << "sized when listed";

  // Numbers above 19 never open, however many drives the table holds.
  for (int i = 0; i < 25; ++i)
    table.AddImage((temp.Path() / "a").string());
  failures.clear();
  EXPECT_EQ(ListDrives(&failures), 19) << "numbers 0..19 less the missing drive 2";
  EXPECT_EQ(ListedNumbers().back(), 19);
  EXPECT_EQ(failures.back().driveNumber, 28);
  EXPECT_EQ(failures.back().error, ENODEV);
  table.Clear();
  ListDrives();
}

TEST(GetDeviceInfo, FromTheDescriptionOrTheImage) {
  TempDir temp;
  MakeDriveFile(temp.Path() / "disk", 8, 0);
  MakeDriveFile(temp.Path() / "card.img", 8, 0);
  platform::BlockDeviceDescription sdb;
  sdb.path = (temp.Path() / "disk").string();
  sdb.busType = platform::kBusUsb;
  sdb.vendor = "Generic ";
  sdb.model = "  STORAGE DEVICE  ";
  sdb.revision = "1206";
  sdb.serial = "000000001206";
  auto& table = platform::DriveTable::Instance();
  table.Clear();
  table.SetBlockDevices(std::vector<platform::BlockDeviceDescription>{sdb});
  table.AddImage((temp.Path() / "card.img").string());

  CDevice disk(0);
  ASSERT_TRUE(disk.Open());
  DeviceInfo info;
  EXPECT_EQ(GetDeviceInfo(disk, info), 1);
  EXPECT_EQ(info.busType, 7u);
  EXPECT_STREQ(info.vendor, "Generic ");
  EXPECT_STREQ(info.product, "STORAGE DEVICE ");
  EXPECT_STREQ(info.revision, "1206");
  EXPECT_STREQ(info.serial, "000000001206");
  EXPECT_STREQ(info.busName, "USB Device");
  EXPECT_EQ(DriveText(info), "Generic   STORAGE DEVICE   USB Device");

  CDevice image(1);
  ASSERT_TRUE(image.Open());
  EXPECT_EQ(GetDeviceInfo(image, info), 1);
  EXPECT_EQ(info.busType, 15u);
  EXPECT_EQ(DriveText(info), "card.img  Disk Image File");

  CDevice none(2);
  std::memset(&info, 0x55, sizeof info);
  EXPECT_EQ(GetDeviceInfo(none, info), 0);
  EXPECT_EQ(info.busType, 0u);
  EXPECT_EQ(info.product[0], 0);
  table.Clear();
}

TEST(AssignDriveLetters, MountPointsByPartitionStart) {
  platform::BlockDeviceDescription d;
  d.mountPoint = "/media/whole";
  d.partitions = {
      {"sdx1", {8, 1}, 2048, "/boot/efi"}, {"sdx2", {8, 2}, 4096, ""}, {"sdx3", {8, 3}, 16384, "/data"}};
  const struct {
    std::uint32_t sectorSize;
    std::uint64_t start;
    const char* mountPoint;
  } cases[] = {
      {512, 2048, "/boot/efi"}, {512, 4096, ""},       {512, 3000, ""},      {512, 0, "/media/whole"},
      {4096, 256, "/boot/efi"}, {4096, 2048, "/data"}, {4096, 2048 * 8, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MountPointAt(d, c.sectorSize, c.start), c.mountPoint) << c.sectorSize << " " << c.start;

  // Through the drive table, for the records of a listed drive.
  TempDir temp;
  MakeDriveFile(temp.Path() / "disk", 64, 0);
  d.path = (temp.Path() / "disk").string();
  auto& table = platform::DriveTable::Instance();
  table.Clear();
  table.SetBlockDevices(std::vector<platform::BlockDeviceDescription>{d});
  CDevice drive(0);
  ASSERT_TRUE(drive.Open());
  drive.GetSectorCount();
  std::vector<PartitionRecord> records(3);
  records[0].startSector = 2048;
  records[1].startSector = 3000;
  records[2].startSector = 16384;
  AssignDriveLetters(drive, records);
  EXPECT_EQ(records[0].mountPoint, "/boot/efi");
  EXPECT_EQ(records[1].mountPoint, "");
  EXPECT_EQ(records[2].mountPoint, "/data");
  for (const PartitionRecord& r : records)
    EXPECT_EQ(r.driveLetter, 0);
  table.Clear();
}

TEST(DriveIdentity, SurvivesATableRewriteNotABootCodeChange) {
  TempDir temp;
  const fs::path file = temp.Path() / "drive.img";
  MakeDriveFile(file, 16, 'b');
  auto& table = platform::DriveTable::Instance();
  table.Clear();
  table.AddImage(file.string());
  ListDrives();
  CDevice* drive = FindDrive(0);
  ASSERT_NE(drive, nullptr);
  DriveIdentity before;
  GetDriveIdentity(*drive, before);
  EXPECT_EQ(before.sector0[0], 'b');
  EXPECT_EQ(before.sector0[446], 0) << "the table entries are zeroed";
  EXPECT_EQ(before.sector0[509], 0);
  EXPECT_EQ(before.sector0[510], 'b');
  EXPECT_STREQ(before.info.product, "drive.img");

  auto patch = [&](std::size_t offset, const std::string& bytes) {
    std::fstream f(file, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(static_cast<std::streamoff>(offset));
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  };
  auto identity = [&] {
    DriveIdentity now;
    GetDriveIdentity(*drive, now);
    return now;
  };
  patch(446, std::string(64, '\x07'));
  DriveIdentity after = identity();
  EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0) << "a rewritten partition table";
  patch(0, "B");
  after = identity();
  EXPECT_NE(std::memcmp(&before, &after, sizeof before), 0) << "changed boot code";
  patch(0, "b");
  patch(510, "\x55");
  after = identity();
  EXPECT_NE(std::memcmp(&before, &after, sizeof before), 0) << "changed signature";
  table.Clear();
  ListDrives();
}

TEST(FindSavedVolume, MatchesTypeExtentsAndIdentity) {
  auto& table = platform::DriveTable::Instance();
  table.Clear();
  table.AddImage(test::FixturePath("fat/card.img"));
  table.AddImage(test::FixturePath("partitions/mbr.img"));
  ASSERT_EQ(ListDrives(), 2);
  ListAllVolumes(VolumeAnalysers());
  auto& volumes = ListedDrives::Instance().volumeList;
  ASSERT_EQ(volumes.size(), 6u);
  EXPECT_EQ(std::uint32_t{volumes[0].entry.extents[0].drive}, 1u);
  EXPECT_EQ(std::uint32_t{volumes[1].entry.extents[0].drive}, 2u);
  EXPECT_STREQ(volumes[1].entry.driveText, "mbr.img  Disk Image File");
  EXPECT_EQ(std::uint32_t{volumes[1].entry.isUsb}, 1u);
  EXPECT_EQ(VolumesOfDrive(1).size(), 5u);

  const VolumeEntry saved = volumes[3].entry;  // (FAT12)LOGICAL1 of mbr.img
  std::vector<std::uint8_t> stream;
  ASSERT_TRUE(WriteIdentities(
      [&](const void* data, std::size_t size) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        stream.insert(stream.end(), bytes, bytes + size);
        return true;
      },
      saved));
  ASSERT_EQ(stream.size(), sizeof(DriveIdentity));

  auto find = [&](const VolumeEntry& entry, std::vector<std::uint8_t> bytes) {
    std::size_t at = 0;
    return FindSavedVolume(
        [&](void* data, std::size_t size) {
          if (bytes.size() - at < size)
            return false;
          std::memcpy(data, bytes.data() + at, size);
          at += size;
          return true;
        },
        entry);
  };
  EXPECT_EQ(find(saved, stream), &volumes[3]);

  VolumeEntry otherType = saved;
  otherType.fsType = 4;
  EXPECT_EQ(find(otherType, stream), nullptr) << "a type that no current volume has";
  VolumeEntry moved = saved;
  moved.extents[0].startSector += 1;
  EXPECT_EQ(find(moved, stream), nullptr);
  std::vector<std::uint8_t> otherDrive = stream;
  otherDrive[offsetof(DeviceInfo, product)] ^= 1;
  EXPECT_EQ(find(saved, otherDrive), nullptr) << "another drive's identity";
  EXPECT_EQ(find(saved, std::vector<std::uint8_t>(stream.begin(), stream.end() - 1)), nullptr)
      << "a short stream";

  table.Clear();
  ListDrives();
}

}  // namespace
}  // namespace korvex
