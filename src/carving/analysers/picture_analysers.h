// The picture-format analysers of the RAW search: JPEG, the TIFF family with the camera raw formats
// and Fuji RAF, Canon CRW, PNG, GIF, BMP, PSD, PSP, icons and cursors, EMF and WMF.
#pragma once

#include <cstdint>

#include "carving/raw_file_analyser.h"

namespace korvex {

class WindowReader;

// Catalogue ids of the picture types.
namespace picture_type {
inline constexpr std::uint32_t kBmp = 8;
inline constexpr std::uint32_t kCrw = 15;
inline constexpr std::uint32_t kCur = 17;
inline constexpr std::uint32_t kEmf = 22;
inline constexpr std::uint32_t kGif = 25;
inline constexpr std::uint32_t kIco = 28;
inline constexpr std::uint32_t kJpg = 29;
inline constexpr std::uint32_t kJpgPhoto = 30;  // an Exif JPEG that names its camera's make
inline constexpr std::uint32_t kPng = 45;
inline constexpr std::uint32_t kPsd = 48;
inline constexpr std::uint32_t kPsp = 49;
inline constexpr std::uint32_t kTif = 58;
inline constexpr std::uint32_t kWmf = 63;
inline constexpr std::uint32_t kArw = 75;
inline constexpr std::uint32_t kCr2 = 76;
inline constexpr std::uint32_t kNef = 77;
inline constexpr std::uint32_t kRaf = 78;
inline constexpr std::uint32_t kDngPentax = 79;  // a DNG written by a PENTAX camera
inline constexpr std::uint32_t kDng = 80;
inline constexpr std::uint32_t kPef = 81;
}  // namespace picture_type

class FileJPGAnalyser : public IRawFileAnalyser {
 public:
  FileJPGAnalyser() : IRawFileAnalyser(picture_type::kJpg) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  int DetermineSize(CRawFileInfo& info, IDevice& device) override;
  const char* GetTypeName() const override { return "JPG"; }
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == 0xFF; }
};

class FileTIFAnalyser : public IRawFileAnalyser {
 public:
  FileTIFAnalyser() : IRawFileAnalyser(picture_type::kTif) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  int DetermineSize(CRawFileInfo& info, IDevice& device) override;
  const char* GetTypeName() const override { return "TIF"; }
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == 'I' || b == 'M' || b == 'F'; }

 private:
  struct Walk;
  bool WalkDirectory(Walk& walk, std::uint64_t dir, int depth, bool first, std::uint64_t& end);
  bool WalkMakerNote(Walk& walk, std::uint64_t dir, std::uint64_t& end);
  bool WalkRafDirectory(Walk& walk, std::uint64_t dir, int depth, std::uint64_t& end);
  void Reset();

  // Working state of one size step, reset at the start of every step so that nothing of one file
  // (a NIKON make, a DNG tag) leaks into the next.
  std::uint64_t subDirectory_ = 0;  // next directory to read; 0 = the file's first directory
  std::uint32_t rafOffset_ = 0;     // Fuji raw-section offset
  bool fuji_ = false;
  bool dng_ = false;
  bool pentax_ = false;
  std::uint32_t bigEndianType_ = picture_type::kTif;  // 58, or 77 once a directory named NIKON
  std::uint32_t littleEndianType_ = picture_type::kTif;
};

class FileCRWAnalyser : public IRawFileAnalyser {
 public:
  FileCRWAnalyser() : IRawFileAnalyser(picture_type::kCrw) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  int DetermineSize(CRawFileInfo& info, IDevice& device) override;
  const char* GetTypeName() const override { return "CRW"; }
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == 'I'; }
};

class FilePNGAnalyser : public IRawFileAnalyser {
 public:
  FilePNGAnalyser() : IRawFileAnalyser(picture_type::kPng) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  int DetermineSize(CRawFileInfo& info, IDevice& device) override;
  const char* GetTypeName() const override { return "PNG"; }
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == 0x89; }
};

class FileGIFAnalyser : public IRawFileAnalyser {
 public:
  FileGIFAnalyser() : IRawFileAnalyser(picture_type::kGif) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  int DetermineSize(CRawFileInfo& info, IDevice& device) override;
  const char* GetTypeName() const override { return "GIF"; }
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == 'G'; }
};

// The size comes from the header; the base's size step keeps it.
class FileBMPAnalyser : public IRawFileAnalyser {
 public:
  FileBMPAnalyser() : IRawFileAnalyser(picture_type::kBmp) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  const char* GetTypeName() const override { return "BMP"; }
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == 'B'; }
};

class FilePSDAnalyser : public IRawFileAnalyser {
 public:
  FilePSDAnalyser() : IRawFileAnalyser(picture_type::kPsd) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  int DetermineSize(CRawFileInfo& info, IDevice& device) override;
  const char* GetTypeName() const override { return "PSD"; }
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == '8'; }
};

class FilePSPAnalyser : public IRawFileAnalyser {
 public:
  FilePSPAnalyser() : IRawFileAnalyser(picture_type::kPsp) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  int DetermineSize(CRawFileInfo& info, IDevice& device) override;
  const char* GetTypeName() const override { return "PSP"; }
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == 'P'; }
};

// Icons and cursors; the directory in the first sector gives the size.
class FileICOAnalyser : public IRawFileAnalyser {
 public:
  FileICOAnalyser() : IRawFileAnalyser(picture_type::kIco) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  const char* GetTypeName() const override { return "ICO"; }
  bool MayAcceptFirstByte(std::uint8_t b) const override { return b == 0x00; }
};

class FileEMFAnalyser : public IRawFileAnalyser {
 public:
  FileEMFAnalyser() : IRawFileAnalyser(picture_type::kEmf) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override;
  const char* GetTypeName() const override { return "EMF"; }
};

// Takes part in the scan without ever matching: its name serves the check of recovered files.
class FileWMFAnalyser : public IRawFileAnalyser {
 public:
  FileWMFAnalyser() : IRawFileAnalyser(picture_type::kWmf) {}
  int CheckSignature(const std::uint8_t*, CRawFileInfo&) override { return 0; }
  const char* GetTypeName() const override { return "WMF"; }
  bool MayAcceptFirstByte(std::uint8_t) const override { return false; }
};

}  // namespace korvex
