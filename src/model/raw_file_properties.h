// CRAWFileProperties: what a node of the RAW tree (the root, type folders, group folders and carved
// files) knows of itself, and its record in recovery states.
#pragma once

#include <cstdint>
#include <string_view>

#include "model/properties_base.h"

namespace korvex {

class CRAWFileProperties : public CFoundFileProperties {
 public:
  // A folder (attributes 16, state 16) named `name`.
  static std::unique_ptr<CRAWFileProperties> MakeFolder(std::string_view name);
  // A carved file: attributes 32, its size, one run over ⌈size / 512⌉ sectors from its start sector,
  // extension "." + `extension` with its type code.
  static std::unique_ptr<CRAWFileProperties> MakeFile(std::string_view name, std::uint64_t startSector,
                                                      std::uint64_t size, std::string_view extension);
  CRAWFileProperties();

  // Bytes of the name including its NUL.
  std::uint16_t GetNameLength() const override {
    return static_cast<std::uint16_t>(CFoundFileProperties::GetNameLength() + 1);
  }
  FileTime* GetCreationTime(FileTime* time) const override { return Zero(time); }
  FileTime* GetModificationTime(FileTime* time) const override { return Zero(time); }
  FileTime* GetAccessTime(FileTime* time) const override { return Zero(time); }
  std::uint64_t GetRecordSector() const override { return 0; }
  std::uint32_t GetValidFields() const override { return 0x1C7; }
  std::uint64_t GetVolumeBase() const override { return 0; }
  std::uint8_t GetSectorsPerCluster() const override { return 0; }
  void SetName(const char*) override {}
  std::uint32_t GetKind() const override { return kRawProperties; }
  // Name length and bytes (NUL included), size, attributes, state, type code − 1024 as a signed byte,
  // extension length and bytes (none for folders), the stored run list.
  std::uint32_t Save(IByteStream& stream) const override;
  std::uint32_t Load(IByteStream& stream) override;

  // Renames a folder (group folders get their final range at the end of a build).
  void Rename(std::string_view name);

 private:
  static FileTime* Zero(FileTime* time);
  // One run of `info`, or of the folders' record (start all ones, size 0).
  void SetRunOf(std::uint64_t startSector, std::uint64_t size);
};

}  // namespace korvex
