// Saving and restoring a node's properties as a kind code followed by the implementation's record.
#include "model/file_properties.h"

#include "model/byte_stream.h"
#include "model/fat_file_attribute.h"
#include "model/ntfs_file_properties.h"
#include "model/raw_file_properties.h"

namespace korvex {

void SavePropertiesRecord(IByteStream& stream, const IFileProperties& properties) {
  WriteU32(stream, properties.GetKind());
  properties.Save(stream);
}

std::unique_ptr<IFileProperties> LoadPropertiesRecord(IByteStream& stream) {
  std::unique_ptr<IFileProperties> properties;
  switch (ReadU32(stream)) {
    case kNtfsProperties:
      properties = std::make_unique<CNTFSFileProperties>();
      break;
    case kFatProperties:
      properties = std::make_unique<CFATFileAttribute>();
      break;
    case kRawProperties:
      properties = std::make_unique<CRAWFileProperties>();
      break;
    default:
      return nullptr;
  }
  properties->Load(stream);
  return properties;
}

}  // namespace korvex
