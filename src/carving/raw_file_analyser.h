// IRawFileAnalyser: one file format recognised by content. The check looks at the first 512 bytes
// of a sector; the size step reads forward on the device through a RawReadWindow of its own.
#pragma once

#include <cstdint>

#include "carving/raw_file_info.h"

namespace korvex {

class IDevice;

class IRawFileAnalyser {
 public:
  explicit IRawFileAnalyser(std::int32_t typeId = -1) : typeId_(typeId) {}
  virtual ~IRawFileAnalyser() = default;
  // Nonzero when the file's size could be determined (written to info.size); may refine info.type.
  // The base answers yes and changes nothing: the size must have come from the check.
  virtual int DetermineSize(CRawFileInfo& info, IDevice& device);
  // Nonzero when `sector` (512 bytes) starts a file of this format; may set info.type and info.size.
  virtual int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) = 0;
  virtual const char* GetTypeName() const = 0;

  std::int32_t TypeId() const { return typeId_; }

 private:
  std::int32_t typeId_;
};

inline int IRawFileAnalyser::DetermineSize(CRawFileInfo&, IDevice&) {
  return 1;
}

}  // namespace korvex
