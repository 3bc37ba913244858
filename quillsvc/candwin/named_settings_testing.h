// The settings block as the loader publishes it (under its real name, in the test's namespace), for
// tests whose lock must be reachable from other handles and processes.
#pragma once

#include <cstring>

#include "common/settings_record.h"
#include "ipc/shared_block.h"
#include "platform/named_objects.h"

namespace quillet::testing {

class NamedSettingsBlock {
 public:
  // False when a named object could not be made.
  bool Publish(const SettingsRecord& record) {
    bool existed = false;
    platform::OsError error = 0;
    if (!mapping_.Create(kSettingsMappingName, kSettingsRecordSize, &existed, &error) || !mapping_.Map(&error)) {
      return false;
    }
    std::memcpy(mapping_.data(), record.data(), record.size());
    return readEvent_.CreateOrOpen(kSettingsReadEventName, false, true, &existed, &error) &&
           writeEvent_.CreateOrOpen(kSettingsWriteEventName, true, true, &existed, &error);
  }

 private:
  platform::Mapping mapping_;
  platform::Event readEvent_;
  platform::Event writeEvent_;
};

}  // namespace quillet::testing
