// A small builder of FILE records for the cases that need a precise layout: attributes are appended
// in order, the end marker follows, and Protect() applies the update sequence as a volume stores it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/ntfs_record.h"

namespace korvex::test {

class RecordBuilder {
 public:
  explicit RecordBuilder(std::size_t size = 1024) : bytes_(size, 0) {
    bytes_[0] = 'F', bytes_[1] = 'I', bytes_[2] = 'L', bytes_[3] = 'E';
    Put(file_record::kUpdateSequenceOffset, 48, 2);
    Put(file_record::kUpdateSequenceCount, size / 512 + 1, 2);
    Put(file_record::kFirstAttribute, next_, 2);
    Put(file_record::kFlags, file_record::kInUse, 2);
    Put(0x18, size, 4);  // used size, rewritten by Bytes()
    Put(0x1C, size, 4);  // allocated size
  }

  // A resident attribute with `value`; returns its offset.
  std::size_t Resident(std::uint32_t type, const std::vector<std::uint8_t>& value,
                       std::u16string name = u"") {
    const std::size_t nameBytes = 2 * name.size();
    const std::size_t valueOffset = Align(0x18 + nameBytes);
    const std::size_t length = Align(valueOffset + value.size());
    const std::size_t at = Header(type, length, false, name, 0x18);
    Put(at + attribute::kValueLength, value.size(), 4);
    Put(at + attribute::kValueOffset, valueOffset, 2);
    std::copy(value.begin(), value.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(at + valueOffset));
    return at;
  }

  // A non-resident attribute over `pairs` (mapping pairs, final 0 included).
  std::size_t NonResident(std::uint32_t type, const std::vector<std::uint8_t>& pairs, std::uint64_t firstVcn,
                          std::uint64_t lastVcn, std::uint64_t realSize, std::uint16_t flags = 0) {
    const std::size_t length = Align(0x40 + pairs.size());
    const std::size_t at = Header(type, length, true, u"", 0x40);
    Put(at + attribute::kFlags, flags, 2);
    Put(at + attribute::kFirstVcn, firstVcn, 8);
    Put(at + attribute::kLastVcn, lastVcn, 8);
    Put(at + attribute::kMappingPairs, 0x40, 2);
    Put(at + attribute::kRealSize, realSize, 8);
    Put(at + attribute::kInitializedSize, realSize, 8);
    std::copy(pairs.begin(), pairs.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(at + 0x40));
    return at;
  }

  // A file-name value: parent reference, namespace and name.
  static std::vector<std::uint8_t> FileName(std::uint64_t parent, std::uint8_t nameSpace,
                                            const std::u16string& name, std::uint64_t realSize = 0) {
    std::vector<std::uint8_t> v(file_name::kName + 2 * name.size(), 0);
    for (std::size_t i = 0; i < 8; ++i) {
      v[file_name::kParent + i] = static_cast<std::uint8_t>(parent >> (8 * i));
      v[file_name::kAllocatedSize + i] = static_cast<std::uint8_t>(realSize >> (8 * i));
      v[file_name::kRealSize + i] = static_cast<std::uint8_t>(realSize >> (8 * i));
    }
    v[file_name::kNameLength] = static_cast<std::uint8_t>(name.size());
    v[file_name::kNamespace] = nameSpace;
    for (std::size_t i = 0; i < name.size(); ++i) {
      v[file_name::kName + 2 * i] = static_cast<std::uint8_t>(name[i]);
      v[file_name::kName + 2 * i + 1] = static_cast<std::uint8_t>(name[i] >> 8);
    }
    return v;
  }

  // A standard-information value with the given file attributes.
  static std::vector<std::uint8_t> StandardInformation(std::uint32_t fileAttributes) {
    std::vector<std::uint8_t> v(72, 0);
    for (std::size_t i = 0; i < 4; ++i)
      v[0x20 + i] = static_cast<std::uint8_t>(fileAttributes >> (8 * i));
    return v;
  }

  // The record as held in memory (fixed up), with its end marker.
  std::vector<std::uint8_t> Bytes() const {
    std::vector<std::uint8_t> out = bytes_;
    for (std::size_t i = 0; i < 4; ++i)
      out[next_ + i] = 0xFF;
    return out;
  }

  // The record as a volume stores it: block ends moved into the update-sequence array.
  std::vector<std::uint8_t> Protected(std::uint16_t sequence = 0x0007) const {
    std::vector<std::uint8_t> out = Bytes();
    Protect(out, sequence);
    return out;
  }

  // Applies the update sequence to fixed-up bytes in place, with the array where the header says.
  static void Protect(std::vector<std::uint8_t>& record, std::uint16_t sequence) {
    Protect(record, sequence, Le16(record, file_record::kUpdateSequenceOffset),
            Le16(record, file_record::kUpdateSequenceCount));
  }
  static void Protect(std::vector<std::uint8_t>& record, std::uint16_t sequence, std::size_t array,
                      std::size_t count) {
    record[array] = static_cast<std::uint8_t>(sequence);
    record[array + 1] = static_cast<std::uint8_t>(sequence >> 8);
    for (std::size_t k = 1; k < count; ++k) {
      const std::size_t end = k * 512 - 2;
      record[array + 2 * k] = record[end];
      record[array + 2 * k + 1] = record[end + 1];
      record[end] = static_cast<std::uint8_t>(sequence);
      record[end + 1] = static_cast<std::uint8_t>(sequence >> 8);
    }
  }

 private:
  static std::size_t Align(std::size_t n) { return (n + 7) & ~std::size_t{7}; }

  std::size_t Header(std::uint32_t type, std::size_t length, bool nonResident, const std::u16string& name,
                     std::size_t nameOffset) {
    const std::size_t at = next_;
    Put(at + attribute::kType, type, 4);
    Put(at + attribute::kLength, length, 4);
    bytes_[at + attribute::kNonResident] = nonResident ? 1 : 0;
    bytes_[at + attribute::kNameLength] = static_cast<std::uint8_t>(name.size());
    Put(at + attribute::kNameOffset, nameOffset, 2);
    for (std::size_t i = 0; i < name.size(); ++i)
      Put(at + nameOffset + 2 * i, name[i], 2);
    next_ += length;
    return at;
  }

  void Put(std::size_t at, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
      bytes_[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }

  std::vector<std::uint8_t> bytes_;
  std::size_t next_ = 56;
};

}  // namespace korvex::test
