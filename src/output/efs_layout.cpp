// EFS intermediate and raw-import layouts.
#include "output/efs_layout.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "common/byte_reader.h"
#include "model/data_run_list.h"
#include "model/data_run_reader.h"
#include "ntfs/ntfs_record.h"
#include "output/file_recover_callback.h"
#include "output/file_services.h"
#include "storage/device.h"

namespace korvex {

namespace {

// Little-endian fields and UTF-16LE texts put one after another.
template <std::size_t N>
class Layout {
 public:
  Layout& U16(std::uint32_t v) { return Bytes(v, 2); }
  Layout& U32(std::uint64_t v) { return Bytes(v, 4); }
  Layout& U64(std::uint64_t v) { return Bytes(v, 8); }
  Layout& Text(const char* text) {
    for (; *text; ++text)
      U16(static_cast<std::uint8_t>(*text));
    return *this;
  }
  std::array<std::uint8_t, N> Done() const { return out_; }  // the rest stays zero

 private:
  Layout& Bytes(std::uint64_t v, std::size_t width) {
    for (std::size_t i = 0; i < width && at_ < N; ++i)
      out_[at_++] = static_cast<std::uint8_t>(v >> (8 * i));
    return *this;
  }
  std::array<std::uint8_t, N> out_{};
  std::size_t at_ = 0;
};

// Reads up to `size` bytes; the count read, or -1.
ssize_t ReadUpTo(int fd, std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = read(fd, data + done, size - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return -1;
    if (n == 0)
      break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

}  // namespace

std::array<std::uint8_t, kEfsHeaderSize> EfsHeader(std::uint32_t efsLength) {
  return Layout<kEfsHeaderSize>()
      .U32(256)
      .Text("ROBS")
      .U32(0)
      .U32(0)
      .U32(30)
      .Text("NTFS")
      .U32(0)
      .U32(0)
      .U32(0)
      .U32(2)
      .U16(0x1910)
      .U32(std::uint64_t{efsLength} + 16)
      .Text("GURE")
      .U32(0)
      .Done();
}

bool WriteEfsHeader(int fd, std::uint32_t efsLength) {
  const auto header = EfsHeader(efsLength);
  return WriteAll(fd, header.data(), header.size());
}

std::array<std::uint8_t, kEfsStreamHeaderSize> EfsStreamHeader() {
  return Layout<kEfsStreamHeaderSize>().U32(42).Text("NTFS").U64(0).U32(0).U32(14).Text("::$DATA").Done();
}

std::array<std::uint8_t, kEfsBlockHeaderSize> EfsBlockHeader(std::uint16_t block, std::uint32_t pieceLength,
                                                             std::uint32_t validBytes) {
  return Layout<kEfsBlockHeaderSize>()
      .U32(std::uint64_t{pieceLength} + kEfsBlockHeaderSize)
      .Text("GURE")
      .U32(0)
      .U16(0)
      .U16(block)
      .U32(0)
      .U32(0x1F0)
      .U32(validBytes)
      .U32(validBytes)
      .U32(0x10100000)
      .U32(0x0001010B)
      .U32(pieceLength)
      .Done();
}

bool ReadEfsStream(IDevice& device, std::uint32_t bytesPerSector, std::size_t recordSize,
                   std::uint64_t recordLba, std::uint64_t volumeBase, std::uint32_t sectorsPerCluster,
                   std::vector<std::uint8_t>& value) {
  if (bytesPerSector == 0 || recordSize == 0)
    return false;
  const std::uint64_t sectors = (recordSize + bytesPerSector - 1) / bytesPerSector;
  std::vector<std::uint8_t> record(sectors * bytesPerSector, 0);
  if (!device.Read(record.data(), recordLba, sectors, bytesPerSector))
    return false;
  record.resize(recordSize);
  if (!IsFileRecord(record) || !ApplyFixup(record))
    return false;
  const std::optional<NtfsAttribute> efs = FindAttribute(record, attribute::kLoggedUtilityStream, 0);
  if (!efs)
    return false;
  if (!efs->IsNonResident()) {
    const std::optional<ByteSpan> resident = efs->ResidentValue();
    if (!resident)
      return false;
    value.assign(resident->begin(),
                 resident->begin() + static_cast<std::ptrdiff_t>(std::min(resident->size(), kMaxEfsStream)));
    return true;
  }
  CNoneResidentNTFSDataRunList runs;
  for (const MappingPairsRun& r : DecodeRuns(efs->MappingPairs(), efs->FirstVcn()))
    runs.Push(r.run);
  const std::uint64_t size = std::min<std::uint64_t>(efs->RealSize(), kMaxEfsStream);
  value.clear();
  return ReadThroughRuns(device, runs, {volumeBase, sectorsPerCluster}, size, bytesPerSector,
                         [&](ByteSpan piece) {
                           value.insert(value.end(), piece.begin(), piece.end());
                           return true;
                         });
}

int ConvertToRawImport(const std::string& intermediate, const std::string& output, std::uint64_t size,
                       IFileRecoverCallback* callback) {
  const int in = open(intermediate.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (in < 0)
    return -1;
  const int out = open(output.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (out < 0) {
    close(in);
    return -1;
  }
  bool ok = false;
  std::vector<std::uint8_t> buffer(kEfsPieceSize);
  std::array<std::uint8_t, kEfsHeaderSize> header{};
  if (ReadUpTo(in, header.data(), header.size()) == static_cast<ssize_t>(header.size())) {
    const std::uint32_t field = Le32(header, 50);
    const std::size_t efsLength = field >= 16 ? field - 16 : 0;
    ok = field >= 16 && efsLength <= kMaxEfsStream && WriteAll(out, header.data(), header.size()) &&
         ReadUpTo(in, buffer.data(), efsLength) == static_cast<ssize_t>(efsLength) &&
         WriteAll(out, buffer.data(), efsLength);
    const auto streamHeader = EfsStreamHeader();
    ok = ok && WriteAll(out, streamHeader.data(), streamHeader.size());
    std::uint64_t left = size;
    for (std::uint32_t block = 0; ok; ++block) {
      const ssize_t piece = ReadUpTo(in, buffer.data(), buffer.size());
      if (piece <= 0) {
        ok = piece == 0;
        break;
      }
      const auto length = static_cast<std::uint32_t>(piece);
      const auto valid = static_cast<std::uint32_t>(std::min<std::uint64_t>(length, left));
      left -= valid;
      const auto blockHeader = EfsBlockHeader(static_cast<std::uint16_t>(block), length, valid);
      ok = WriteAll(out, blockHeader.data(), blockHeader.size()) && WriteAll(out, buffer.data(), length);
      if (ok && callback && callback->Poll() == -1)
        ok = false;
    }
  }
  close(in);
  if (!ok) {
    close(out);
    unlink(output.c_str());
    return -1;
  }
  return out;
}

}  // namespace korvex
