// A zeroed byte buffer aligned to a memory page. Reads into a page-aligned buffer run at the speed
// of the kernel's fast copy; a malloc'ed vector lands a few bytes off and copies several times slower.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace korvex {

class AlignedBuffer {
 public:
  static constexpr std::size_t kAlignment = 4096;

  // Replaces the contents by `size` zero bytes.
  void Assign(std::size_t size) {
    const std::size_t rounded = (size + kAlignment - 1) / kAlignment * kAlignment;
    bytes_.reset(static_cast<std::uint8_t*>(rounded ? std::aligned_alloc(kAlignment, rounded) : nullptr));
    if (rounded && !bytes_)
      throw std::bad_alloc();
    if (rounded)
      std::memset(bytes_.get(), 0, rounded);
    size_ = size;
  }
  std::uint8_t* data() { return bytes_.get(); }
  const std::uint8_t* data() const { return bytes_.get(); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  struct Free {
    void operator()(std::uint8_t* p) const { std::free(p); }
  };
  std::unique_ptr<std::uint8_t, Free> bytes_;
  std::size_t size_ = 0;
};

}  // namespace korvex
