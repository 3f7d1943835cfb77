// Shared storage of the IFileProperties implementations: the per-view counters and flags, check state
// and mark, and (for found files) the owned name with its extension, size, attributes, state, type code
// and stored run list. The concrete classes add their own fields and record formats.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "model/file_properties.h"

namespace korvex {

struct StoredRunList;

// The per-view values every implementation stores and hands back unchanged.
class CViewValueProperties : public IFileProperties {
 public:
  std::uint32_t IsInOtherFiles() const override { return inOtherFiles_; }
  void SetInOtherFiles(std::uint32_t value) override { inOtherFiles_ = value; }
  std::uint8_t GetCheckState() const override { return checkState_; }
  void SetOtherFilesIndex(std::uint32_t index) override { otherFilesIndex_ = index; }
  std::uint32_t GetOtherFilesIndex() const override { return otherFilesIndex_; }
  void SetCheckedCount(std::uint32_t count) override { checkedCount_ = count; }
  std::uint32_t GetCheckedCount() const override { return checkedCount_; }
  void SetReserved1(std::uint32_t value) override { reserved1_ = value; }
  std::uint32_t GetReserved1() const override { return reserved1_; }
  void SetReserved2(std::uint32_t value) override { reserved2_ = value; }
  std::uint32_t GetReserved2() const override { return reserved2_; }
  void SetFileCount(std::uint32_t count) override { fileCount_ = count; }
  std::uint32_t GetFileCount() const override { return fileCount_; }
  std::uint32_t GetReserved3() const override { return reserved3_; }
  void SetReserved3(std::uint32_t value) override { reserved3_ = value; }
  void SetCheckState(std::uint8_t state) override { checkState_ = state; }
  std::uint8_t GetMark() const override { return mark_; }
  // Returns the previous mark.
  std::uint32_t SetMark(std::uint8_t mark) override {
    const std::uint8_t previous = mark_;
    mark_ = mark;
    return previous;
  }
  std::uint32_t GetReserved4() const override { return reserved4_; }
  void SetReserved4(std::uint32_t value) override { reserved4_ = value; }
  void SetSearchHit(std::uint32_t hit) override { searchHit_ = hit; }
  std::uint32_t IsSearchHit() const override { return searchHit_; }
  void SetSearchIndex(std::uint32_t index) override { searchIndex_ = index; }
  std::uint32_t GetSearchIndex() const override { return searchIndex_; }
  void SetExtracted(std::uint32_t extracted) override { extracted_ = extracted; }
  std::uint32_t IsExtracted() const override { return extracted_; }

 protected:
  // What a record's Load restores as unsaved: check state and mark 0, every per-view value 0.
  void ResetViewValues();

  std::uint32_t inOtherFiles_ = 0;
  std::uint32_t otherFilesIndex_ = 0;
  std::uint32_t checkedCount_ = 0;
  std::uint32_t fileCount_ = 0;
  std::uint32_t searchHit_ = 0;
  std::uint32_t searchIndex_ = 0;
  std::uint32_t extracted_ = 0;
  std::uint32_t reserved1_ = 0;
  std::uint32_t reserved2_ = 0;
  std::uint32_t reserved3_ = 0;
  std::uint32_t reserved4_ = 0;
  std::uint8_t checkState_ = kUnchecked;
  std::uint8_t mark_ = 0;
};

// A found file or folder: owned name and extension, size, attributes, state, type code, stored runs.
class CFoundFileProperties : public CViewValueProperties {
 public:
  CFoundFileProperties();
  ~CFoundFileProperties() override;
  CFoundFileProperties(const CFoundFileProperties&) = delete;
  CFoundFileProperties& operator=(const CFoundFileProperties&) = delete;

  std::uint16_t GetNameLength() const override { return nameLength_; }
  const char* GetName() const override { return name_ ? name_.get() : ""; }
  const char* GetExtension() const override { return extension_; }
  std::uint16_t GetTypeCode() const override { return typeCode_; }
  std::uint64_t GetSize() const override { return size_; }
  std::uint16_t GetAttributes() const override { return attributes_; }
  std::uint8_t GetState() const override { return state_; }
  std::unique_ptr<IDataRunList> CreateDataRunList() const override;

  void SetSize(std::uint64_t size) { size_ = size; }
  void SetAttributes(std::uint16_t attributes) { attributes_ = attributes; }
  void SetState(std::uint8_t state) { state_ = state; }
  void SetTypeCode(std::uint16_t typeCode) { typeCode_ = typeCode; }
  // Keeps the stored form of the file's runs (none when `runs` is null).
  void SetStoredRunList(std::unique_ptr<StoredRunList> runs);
  const StoredRunList* GetStoredRunList() const { return runs_.get(); }

  // The name as the FAT and NTFS analyses set it: copied (cut to 65535 bytes), the part from the last
  // "." upper-cased in place and taken as the extension ("" without a dot), the type code recomputed.
  void AssignName(std::string_view name);
  // Name and extension set apart, as the view folders have them ("Picture" / "P1843I"); the type code
  // is left alone.
  void AssignNameAndExtension(std::string_view name, std::string_view extension);

 protected:
  // Record fields shared by the FAT and NTFS records: a u16 length, then that many bytes (no NUL).
  void SaveName(IByteStream& stream) const;
  void SaveExtension(IByteStream& stream) const;
  static std::string LoadCounted(IByteStream& stream);
  // The name and extension of a loaded record. An empty extension becomes null when `nullWhenEmpty`
  // (FAT files restored from recovery states have always had it so), else ""; any other is the loaded
  // text, shared with the name's tail when the two are equal (the usual case, which saves a copy).
  void RestoreNameAndExtension(std::string_view name, std::string_view extension, bool nullWhenEmpty);
  // The run-list flag (u32) and, when it is 1, the persisted stored run list.
  void SaveRunList(IByteStream& stream) const;
  void LoadRunList(IByteStream& stream);

 private:
  void ReleaseExtension();

  std::unique_ptr<char[]> name_;
  // Points into name_, at the empty string, at an owned copy (ownsExtension_), or is null.
  char* extension_;
  std::unique_ptr<StoredRunList> runs_;
  std::uint64_t size_ = 0;
  std::uint16_t nameLength_ = 0;
  std::uint16_t typeCode_ = 0;
  std::uint16_t attributes_ = 0;
  std::uint8_t state_ = 0;
  bool ownsExtension_ = false;
};

}  // namespace korvex
