// The layouts of an NTFS-encrypted (EFS) file as the writer keeps it: the intermediate file (a 66-byte
// header, the file's $EFS stream, its raw encrypted data rounded up to 512 bytes) and the raw-import
// stream converted from it (header and $EFS stream, a stream header for "::$DATA", then the data in
// 64 KB pieces, each behind a 512-byte block header). Linux has no raw-encrypted import, so the
// raw-import stream is what the writer leaves, as "<name>.EFS", for a system that has one.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace korvex {

class IDevice;
class IFileRecoverCallback;

constexpr std::size_t kEfsHeaderSize = 66;
constexpr std::size_t kEfsStreamHeaderSize = 42;
constexpr std::size_t kEfsBlockHeaderSize = 512;
constexpr std::size_t kEfsPieceSize = 65536;
// The most of a $EFS stream that is read.
constexpr std::size_t kMaxEfsStream = 65536;

// The 66-byte header before a $EFS stream of `efsLength` bytes.
std::array<std::uint8_t, kEfsHeaderSize> EfsHeader(std::uint32_t efsLength);
// Writes that header to `fd`.
bool WriteEfsHeader(int fd, std::uint32_t efsLength);
// The stream header of the file's unnamed data stream.
std::array<std::uint8_t, kEfsStreamHeaderSize> EfsStreamHeader();
// The block header of piece `block` (from 0) of `pieceLength` bytes of which `validBytes` belong to
// the file.
std::array<std::uint8_t, kEfsBlockHeaderSize> EfsBlockHeader(std::uint16_t block, std::uint32_t pieceLength,
                                                             std::uint32_t validBytes);

// The value of the $EFS stream (attribute 0x100) of the FILE record at `recordLba`, resident or through
// its runs with the given volume geometry, at most 64 KB. False when the record is no FILE record or
// has no such stream.
bool ReadEfsStream(IDevice& device, std::uint32_t bytesPerSector, std::size_t recordSize,
                   std::uint64_t recordLba, std::uint64_t volumeBase, std::uint32_t sectorsPerCluster,
                   std::vector<std::uint8_t>& value);

// Converts the intermediate file `intermediate` of a file of `size` bytes into the raw-import stream,
// created new (exclusively, never through a link) at `output`. `Poll` after every block; -1 stops it.
// The output's descriptor, open for writing, or -1 when the conversion failed or stopped (nothing is
// left at `output` then).
int ConvertToRawImport(const std::string& intermediate, const std::string& output, std::uint64_t size,
                       IFileRecoverCallback* callback);

}  // namespace korvex
