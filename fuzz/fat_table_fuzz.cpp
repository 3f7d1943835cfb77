// Loading and validating allocation tables of every type over any bytes. The first byte picks
// the type, the rest is the copy (padded to the type's smallest accepted length).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fat/fat_table.h"
#include "storage/memory_device.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvex;
  if (size < 1)
    return 0;
  const std::int32_t type = data[0] % 3 + 1;
  const std::uint32_t minLength[] = {1, 12, 256};
  std::vector<std::uint8_t> bytes(data + 1, data + size);
  const std::uint32_t sectors =
      std::max<std::uint32_t>(minLength[type - 1], static_cast<std::uint32_t>((bytes.size() + 511) / 512));
  bytes.resize(std::size_t{sectors} * 512, 0);
  CMemoryDevice device(std::move(bytes), 512);
  auto table = MakeDoubleFatTable(&device, type, 0, sectors, true, true);
  for (std::uint32_t c = 0; c < 4096; ++c)
    (void)table->GetEntry(c);
  return 0;
}
