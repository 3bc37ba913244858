#include "platform/mapped_view.h"

#include <windows.h>

namespace quillet::platform {

void MappedView::Reset() noexcept {
  if (data_ != nullptr) UnmapViewOfFile(data_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace quillet::platform
