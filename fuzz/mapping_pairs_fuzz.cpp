// The mapping-pairs decoder and what is built on it: the sanity check, the stored run list and its
// persisted form, run-list Load, and reading a file through decoded runs. Decoded runs must survive a
// round trip through the encoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "model/data_run_reader.h"
#include "model/mapping_pairs.h"
#include "model/stored_run_list.h"
#include "ntfs/ntfs_record.h"
#include "storage/memory_device.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvex;
  const ByteSpan bytes(data, size);
  const std::vector<MappingPairsRun> decoded = DecodeMappingPairs(bytes);
  if (decoded.size() > size)
    std::abort();
  (void)IsMappingPairsSane(bytes);

  std::vector<DataRun> runs;
  for (const MappingPairsRun& r : decoded)
    runs.push_back(r.run);
  const std::vector<MappingPairsRun> again = DecodeMappingPairs(EncodeMappingPairs(runs));
  if (again.size() != decoded.size())
    std::abort();
  for (std::size_t i = 0; i < again.size(); ++i) {
    if (!(again[i].run == decoded[i].run) || again[i].vcn != decoded[i].vcn)
      std::abort();
  }

  const StoredRunList stored{size > 0 ? data[0] : 0u, std::vector<std::uint8_t>(data, data + size)};
  std::unique_ptr<IDataRunList> list = CreateDataRunList(stored);
  if (list) {
    // A small volume of 64 sectors: runs may point anywhere; the reader must stay bounded.
    CMemoryDevice device(std::vector<std::uint8_t>(64 * 512, 0xA5), 512);
    std::uint64_t delivered = 0;
    (void)ReadThroughRuns(
        device, *list, {size > 1 ? data[1] : 0u, 1u + (size > 2 ? data[2] % 8 : 0u)}, 20000, 512,
        [&](ByteSpan piece) {
          delivered += piece.size();
          return true;
        },
        [](std::uint64_t, std::uint32_t, std::vector<std::uint8_t>& value) {
          value.assign(10, 0);
          return true;
        });
    if (delivered > 20000)
      std::abort();
  }

  try {
    CMemoryByteStream stream(std::vector<std::uint8_t>(data, data + size));
    (void)LoadStoredRunList(stream);
  } catch (const IRSException&) {
  }
  try {
    CMemoryByteStream stream(std::vector<std::uint8_t>(data, data + size));
    CResidentNTFSDataRunList loaded;
    loaded.Load(stream);
  } catch (const IRSException&) {
  }
  return 0;
}
