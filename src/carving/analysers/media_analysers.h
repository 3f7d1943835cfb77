// The audio and video analysers of the RAW search: the ISO base media family (3GP, MP4, M4A) and
// QuickTime MOV, RIFF (WAV, AVI, CorelDRAW), ASF (WMV, WMA), Matroska and WebM, MP3 with an ID3v2
// tag, Ogg, FLV, standard MIDI files, Flash SWF, and Sun AU (which never matches).
#pragma once

#include <cstdint>

#include "carving/raw_file_analyser.h"

namespace korvex {

// Catalogue ids of the audio and video types.
namespace media_type {
inline constexpr std::uint32_t k3gp = 1;
inline constexpr std::uint32_t kAsf = 5;
inline constexpr std::uint32_t kAu = 6;
inline constexpr std::uint32_t kAvi = 7;
inline constexpr std::uint32_t kCdr = 10;
inline constexpr std::uint32_t kFlv = 24;
inline constexpr std::uint32_t kMid = 33;
inline constexpr std::uint32_t kMov = 37;
inline constexpr std::uint32_t kMp3 = 38;
inline constexpr std::uint32_t kMp4 = 39;
inline constexpr std::uint32_t kOgg = 40;
inline constexpr std::uint32_t kRiff = 53;
inline constexpr std::uint32_t kSwf = 56;
inline constexpr std::uint32_t kWav = 60;
inline constexpr std::uint32_t kWmv = 72;
inline constexpr std::uint32_t kWma = 73;
inline constexpr std::uint32_t kMkv = 74;
inline constexpr std::uint32_t kM4a = 85;  // an MP4 of the audio brand "M4A "
}  // namespace media_type

// ISO base media files whose major brand is a 3GPP or 3GPP2 one.
class File3GPAnalyser : public IRawFileAnalyser {
 public:
  File3GPAnalyser() : IRawFileAnalyser(media_type::k3gp) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  int DetermineSize(CRawFileInfo& info, IDevice& device) override;
  const char* GetTypeName() const override { return "3GP"; }
  // The "ftyp" box is at most 512 bytes long: its size's first byte is 0.
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == 0; }
};

// ISO base media files of the ISO and MPEG-4 brands; the audio brand is typed M4A.
class FileMP4Analyser : public IRawFileAnalyser {
 public:
  FileMP4Analyser() : IRawFileAnalyser(media_type::kMp4) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  int DetermineSize(CRawFileInfo& info, IDevice& device) override;
  const char* GetTypeName() const override { return "MP4"; }
  // The "ftyp" box is at most 512 bytes long: its size's first byte is 0.
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == 0; }
};

// QuickTime: "ftyp" of the brand "qt  ", or a file that starts with one of its own atoms.
class FileMOVAnalyser : public IRawFileAnalyser {
 public:
  FileMOVAnalyser() : IRawFileAnalyser(media_type::kMov) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  int DetermineSize(CRawFileInfo& info, IDevice& device) override;
  const char* GetTypeName() const override { return "MOV"; }
};

class FileRIFFAnalyser : public IRawFileAnalyser {
 public:
  FileRIFFAnalyser() : IRawFileAnalyser(media_type::kRiff) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  int DetermineSize(CRawFileInfo& info, IDevice& device) override;
  const char* GetTypeName() const override { return "RIFF"; }
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == 'R'; }
};

class FileASFAnalyser : public IRawFileAnalyser {
 public:
  FileASFAnalyser() : IRawFileAnalyser(media_type::kAsf) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  int DetermineSize(CRawFileInfo& info, IDevice& device) override;
  const char* GetTypeName() const override { return "ASF"; }
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == 0x30; }
};

// Matroska and WebM (EBML); the class keeps the name the catalogue has always given it.
class FileWMVAnalyser : public IRawFileAnalyser {
 public:
  FileWMVAnalyser() : IRawFileAnalyser(media_type::kMkv) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  int DetermineSize(CRawFileInfo& info, IDevice& device) override;
  const char* GetTypeName() const override { return "WMV"; }
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == 0x1A; }
};

class FileMP3Analyser : public IRawFileAnalyser {
 public:
  FileMP3Analyser() : IRawFileAnalyser(media_type::kMp3) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  int DetermineSize(CRawFileInfo& info, IDevice& device) override;
  const char* GetTypeName() const override { return "MP3"; }
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == 'I'; }
};

class FileOGGAnalyser : public IRawFileAnalyser {
 public:
  FileOGGAnalyser() : IRawFileAnalyser(media_type::kOgg) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  int DetermineSize(CRawFileInfo& info, IDevice& device) override;
  const char* GetTypeName() const override { return "OGG"; }
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == 'O'; }
};

class FileFLVAnalyser : public IRawFileAnalyser {
 public:
  FileFLVAnalyser() : IRawFileAnalyser(media_type::kFlv) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  int DetermineSize(CRawFileInfo& info, IDevice& device) override;
  const char* GetTypeName() const override { return "FLV"; }
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == 'F'; }
};

class FileMIDAnalyser : public IRawFileAnalyser {
 public:
  FileMIDAnalyser() : IRawFileAnalyser(media_type::kMid) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  int DetermineSize(CRawFileInfo& info, IDevice& device) override;
  const char* GetTypeName() const override { return "MID"; }
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == 'M'; }
};

// The size comes from the header; the base's size step keeps it.
class FileSWFAnalyser : public IRawFileAnalyser {
 public:
  FileSWFAnalyser() : IRawFileAnalyser(media_type::kSwf) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  const char* GetTypeName() const override { return "SWF"; }
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == 'F' || b == 'C'; }
};

// Takes part in the scan without ever matching; its name serves the check of recovered files.
class FileAUAnalyser : public IRawFileAnalyser {
 public:
  FileAUAnalyser() : IRawFileAnalyser(media_type::kAu) {}
  int CheckSignature(const std::uint8_t*, CRawFileInfo&) override { return 0; }
  const char* GetTypeName() const override { return "NULL"; }
  bool MayAcceptFirstByte(std::uint8_t) const override { return false; }
};

}  // namespace korvex
