// File allocation tables: one copy loaded into memory and checked (CFAT12Table, CFAT16Table,
// CFAT32Table), and CDoubleFATTable, which answers from the first usable of the two copies.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "storage/device.h"

namespace korvex {

// Entry values every table answers with for the end-of-chain marks.
constexpr std::uint32_t kFatEntryLast = 0xFFFFFFFF;      // 0xFFF / 0xFFFF
constexpr std::uint32_t kFatEntryReserved = 0x0FFFFFF8;  // 0xFF8..0xFFE / 0xFFF8..0xFFFE

class IFATTable {
 public:
  virtual ~IFATTable() = default;
  virtual std::uint32_t GetEntry(std::uint32_t cluster) = 0;
};

class IRealFATTable {
 public:
  virtual ~IRealFATTable() = default;
  virtual std::uint32_t GetEntry(std::uint32_t index) = 0;
  // 1 when the copy's media entries, links and chains are sound, else 0.
  virtual int Validate() = 0;
};

// The state all three table classes share: the copy's place on the device and its bytes, read once.
class CFATTableBase : public IRealFATTable {
 public:
  std::uint64_t FirstLba() const { return firstLba_; }
  std::uint32_t LengthSectors() const { return length_; }
  bool HasBuffer() const { return !buffer_.empty(); }

 protected:
  // Reads `length` 512-byte sectors at `firstLba` when the length lies in [minLength, maxLength];
  // a failed read leaves a zeroed buffer.
  CFATTableBase(IDevice* device, std::uint64_t firstLba, std::uint32_t length, std::uint32_t minLength,
                std::uint32_t maxLength, std::uint32_t entriesPerSector);

  // Link and chain checks of FAT16 and FAT32 over entries 2..n-1 with links above `maxLink` ending a chain.
  int ValidateLinks(std::uint32_t maxLink) const;
  // Entry i exactly as stored (FAT16 and FAT32 only).
  std::uint32_t RawEntry(std::uint32_t i) const;

  IDevice* device_;
  std::uint64_t firstLba_;
  std::uint32_t length_;
  std::uint32_t entries_ = 0;
  std::uint32_t entryBytes_ = 0;
  std::vector<std::uint8_t> buffer_;
};

class CFAT12Table : public CFATTableBase {
 public:
  CFAT12Table(IDevice* device, std::uint64_t firstLba, std::uint32_t length);
  std::uint32_t GetEntry(std::uint32_t index) override;
  int Validate() override;
};

class CFAT16Table : public CFATTableBase {
 public:
  CFAT16Table(IDevice* device, std::uint64_t firstLba, std::uint32_t length);
  std::uint32_t GetEntry(std::uint32_t index) override;
  int Validate() override;
};

class CFAT32Table : public CFATTableBase {
 public:
  CFAT32Table(IDevice* device, std::uint64_t firstLba, std::uint32_t length);
  std::uint32_t GetEntry(std::uint32_t index) override;
  int Validate() override;
};

// The table class for `type` (1, 2, 3) at `firstLba`, kept only when it validates.
std::unique_ptr<IRealFATTable> MakeFatTable(IDevice* device, std::int32_t type, std::uint64_t firstLba,
                                            std::uint32_t length);

class CDoubleFATTable : public IFATTable {
 public:
  CDoubleFATTable(std::unique_ptr<IRealFATTable> first, std::unique_ptr<IRealFATTable> second)
      : first_(std::move(first)), second_(std::move(second)) {}

  // The first copy's entry when it exists, else the second's, else 0.
  std::uint32_t GetEntry(std::uint32_t cluster) override;

  IRealFATTable* First() const { return first_.get(); }
  IRealFATTable* Second() const { return second_.get(); }

 private:
  std::unique_ptr<IRealFATTable> first_;
  std::unique_ptr<IRealFATTable> second_;
};

// The first copy at `firstLba` when `useFirst`; the second, at firstLba + fatSectors, only when
// `useSecond` and the first is not usable.
std::unique_ptr<CDoubleFATTable> MakeDoubleFatTable(IDevice* device, std::int32_t type,
                                                    std::uint64_t firstLba, std::uint32_t fatSectors,
                                                    bool useFirst, bool useSecond);

}  // namespace korvex
