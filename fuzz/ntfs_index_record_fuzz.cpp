// The index-record test and the other NTFS trace recognisers (log-file pages, $UpCase and $AttrDef
// sectors) over any bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "ntfs/ntfs_structures.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvex;
  std::vector<std::uint8_t> bytes(data, data + size);
  (void)IsIndexRecord(bytes);
  // Fixed up for the entry check, then left as it was read.
  if (!std::equal(bytes.begin(), bytes.end(), data))
    std::abort();
  (void)IsLogRecordPage(bytes);
  (void)IsLogRestartPage(bytes);
  (void)IsUpCaseSector(bytes);
  (void)IsAttrDefSector(bytes);
  return 0;
}
