// Properties records and node records of recovery states over any bytes: records are read one after
// another as the state loader does, every loaded object is used (name, extension, runs, saving it
// again), and a record cut short must end in the stream's error and nothing worse.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "model/byte_stream.h"
#include "model/data_run_list.h"
#include "model/file_node.h"
#include "model/file_properties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvex;
  CMemoryByteStream stream(std::vector<std::uint8_t>(data, data + size));
  try {
    while (stream.Remaining() > 0) {
      std::uint8_t marker = 0;
      stream.ReadBytes(&marker, 1);
      if (marker & 1) {
        CFileSystemNode node;
        node.Load(stream);
        CMemoryByteStream out;
        node.Save(out);
        continue;
      }
      auto properties = LoadPropertiesRecord(stream);
      if (!properties)
        continue;
      const char* name = properties->GetName();
      const char* extension = properties->GetExtension();
      volatile std::size_t lengths = std::strlen(name) + (extension ? std::strlen(extension) : 0);
      (void)lengths;
      if (auto runs = properties->CreateDataRunList()) {
        for (const DataRun* run = runs->First(); !runs->AtEnd(); run = runs->Next())
          (void)run->IsSparse();
      }
      CMemoryByteStream out;
      SavePropertiesRecord(out, *properties);
    }
  } catch (const IRSException&) {
  }
  return 0;
}
