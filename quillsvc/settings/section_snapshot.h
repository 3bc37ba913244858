// A copy of one section of a record taken before an edit, to tell afterwards whether the edit changed
// any byte of it. The pages mark themselves changed only then, so Apply writes nothing the user did
// not change.
#pragma once

#include <cstring>
#include <vector>

#include "common/settings_record.h"

namespace quillet::settings {

class SectionSnapshot {
 public:
  SectionSnapshot(ConstSettingsView s, ByteRange section)
      : at_(s.valid() ? s.bytes() + section.begin : nullptr),
        copy_(at_ != nullptr ? at_ : nullptr, at_ != nullptr ? at_ + section.size() : nullptr) {}

  bool Changed() const { return at_ != nullptr && std::memcmp(at_, copy_.data(), copy_.size()) != 0; }

 private:
  const uint8_t* at_;
  std::vector<uint8_t> copy_;
};

}  // namespace quillet::settings
