#include "platform/mapped_view.h"

#include <sys/mman.h>

namespace quillet::platform {

void MappedView::Reset() noexcept {
  if (data_ != nullptr) munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace quillet::platform
