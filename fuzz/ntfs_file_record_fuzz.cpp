// The FILE-record test with its attribute walk, attribute lookups, the name choice, the system-file test
// and the attribute-list parser over any bytes: the input is one record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "ntfs/ntfs_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvex;
  std::vector<std::uint8_t> record(data, data + size);
  const bool isRecord = IsFileRecord(record);
  // The test must leave the record as it was read.
  if (!std::equal(record.begin(), record.end(), data))
    std::abort();
  const std::vector<std::uint8_t> asRead = record;
  if (ApplyFixup(record)) {
    UndoFixup(record);
    if (record != asRead)
      std::abort();
    ApplyFixup(record);
  }
  (void)isRecord;
  for (const NtfsAttribute& a : Attributes(record)) {
    if (const auto value = a.ResidentValue()) {
      if (a.Type() == attribute::kAttributeList)
        (void)AttributeListRecords(*value);
    } else {
      (void)DecodeRuns(a.MappingPairs(), a.FirstVcn());
      (void)IsMappingPairsSane(a.MappingPairs());
      (void)SectorsPerClusterFromAttribute(a, a.RealSize(), 512);
    }
  }
  for (std::uint32_t type : {attribute::kFileName, attribute::kData, attribute::kVolumeName})
    (void)FindAttribute(record, type, 1);
  (void)ChooseFileName(record);
  (void)IsSystemFile(record);
  return 0;
}
