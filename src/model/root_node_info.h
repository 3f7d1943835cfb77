// root_node_info: the properties of the device root of the found-file tree. It carries the device
// or partition description as its name and plain stored values for everything else; it is never
// saved (Save writes nothing) and a record of its kind is not restored.
#pragma once

#include <cstdint>
#include <string_view>

#include "model/properties_base.h"

namespace korvex {

class root_node_info : public CViewValueProperties {
 public:
  static constexpr std::size_t kNameSize = 260;  // bytes of the inline name buffer, NUL included

  // The name is cut to 259 bytes.
  explicit root_node_info(std::string_view name = {}, std::uint16_t attributes = 0x10);

  std::uint16_t GetNameLength() const override { return nameLength_; }
  const char* GetName() const override { return name_; }
  const char* GetExtension() const override { return ""; }
  std::uint16_t GetTypeCode() const override { return 0; }
  std::uint64_t GetSize() const override { return size_; }
  std::uint16_t GetAttributes() const override { return attributes_; }
  FileTime* GetCreationTime(FileTime* time) const override { return Put(time, creationTime_); }
  FileTime* GetModificationTime(FileTime* time) const override { return Put(time, modificationTime_); }
  FileTime* GetAccessTime(FileTime* time) const override { return Put(time, accessTime_); }
  std::uint8_t GetState() const override { return state_; }
  // The root stores no first two reserved values.
  void SetReserved1(std::uint32_t) override {}
  std::uint32_t GetReserved1() const override { return 0; }
  void SetReserved2(std::uint32_t) override {}
  std::uint32_t GetReserved2() const override { return 0; }
  std::uint64_t GetRecordSector() const override { return 0; }
  std::unique_ptr<IDataRunList> CreateDataRunList() const override;
  std::uint32_t GetValidFields() const override { return validFields_; }
  std::uint64_t GetVolumeBase() const override { return 0; }
  std::uint8_t GetSectorsPerCluster() const override { return 0; }
  void SetName(const char*) override {}
  std::uint32_t Save(IByteStream&) const override { return 1; }
  std::uint32_t GetKind() const override { return kRootProperties; }
  std::uint32_t Load(IByteStream&) override { return 1; }

  void SetSize(std::uint64_t size) { size_ = size; }
  void SetState(std::uint8_t state) { state_ = state; }
  void SetValidFields(std::uint32_t fields) { validFields_ = fields; }
  void SetTimes(FileTime creation, FileTime modification, FileTime access) {
    creationTime_ = creation;
    modificationTime_ = modification;
    accessTime_ = access;
  }

 private:
  static FileTime* Put(FileTime* out, FileTime value) {
    if (out)
      *out = value;
    return out;
  }

  char name_[kNameSize] = {};
  std::uint16_t nameLength_ = 0;
  std::uint16_t attributes_ = 0;
  std::uint8_t state_ = 0;
  std::uint32_t validFields_ = 0;
  std::uint64_t size_ = 0;
  FileTime creationTime_ = 0;
  FileTime modificationTime_ = 0;
  FileTime accessTime_ = 0;
};

}  // namespace korvex
