// The one owner of a mapped view (of a file or of a named mapping): unmapped on destruction, movable,
// never copied. How a view is unmapped is the OS's, in posix/ and win32/.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillet::platform {

class MappedView {
 public:
  MappedView() = default;
  // Takes a view as the OS returned it: `size` bytes from `data` may be read.
  MappedView(void* data, size_t size) noexcept : data_(static_cast<uint8_t*>(data)), size_(size) {}
  ~MappedView() { Reset(); }
  MappedView(MappedView&& other) noexcept : data_(other.data_), size_(other.size_) {
    other.data_ = nullptr;
    other.size_ = 0;
  }
  MappedView& operator=(MappedView&& other) noexcept {
    if (this != &other) {
      Reset();
      data_ = other.data_;
      size_ = other.size_;
      other.data_ = nullptr;
      other.size_ = 0;
    }
    return *this;
  }
  MappedView(const MappedView&) = delete;
  MappedView& operator=(const MappedView&) = delete;

  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  bool valid() const { return data_ != nullptr; }

  // Unmaps the view (failures ignored); afterwards there is none.
  void Reset() noexcept;
  // Gives the view up without unmapping it (it then lives as long as the process).
  void Release() noexcept {
    data_ = nullptr;
    size_ = 0;
  }

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace quillet::platform
