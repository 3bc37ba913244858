// What the settings pages call on their sheet: write a page's section of the private record back to
// the shared settings block.
#pragma once

namespace quillet {

class ICallbackPropertyPage {
 public:
  // `section`: 1 tab page, 2 dictionary page, 3 appearance page. With commit 0 nothing happens.
  // Returns 0, or the result code of a write that could not take the block's lock (nothing written).
  virtual int CommitSection(int section, int commit, void* reserved) = 0;

 protected:
  ~ICallbackPropertyPage() = default;
};

}  // namespace quillet
