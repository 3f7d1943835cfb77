#include "model/root_node_info.h"

#include <algorithm>
#include <cstring>

#include "model/data_run_list.h"

namespace korvex {

root_node_info::root_node_info(std::string_view name, std::uint16_t attributes) : attributes_(attributes) {
  const std::size_t length = std::min(name.size(), kNameSize - 1);
  std::memcpy(name_, name.data(), length);
  name_[length] = 0;
  nameLength_ = static_cast<std::uint16_t>(length);
}

std::unique_ptr<IDataRunList> root_node_info::CreateDataRunList() const {
  return nullptr;
}

}  // namespace korvex
