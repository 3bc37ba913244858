// The settings record kept between sessions in one per-user file, exactly the 15700 bytes of the
// record. A missing file means first run (defaults). A file of any other size is damaged: it is moved
// aside under a new name, never overwritten, and defaults are used. Saving replaces the file durably.
#pragma once

#include <string>

#include "common/result.h"
#include "common/settings_record.h"
#include "platform/error.h"

namespace quillet::warden {

constexpr char16_t kSettingsFileName[] = u"settings.dat";
constexpr char16_t kDamagedSuffix[] = u".damaged";

enum class SettingsOrigin {
  kFile,        // read from the file
  kFirstRun,    // no file yet: defaults
  kDamaged,     // wrong size: moved aside (asidePath), defaults
  kUnreadable,  // the file exists but could not be read: defaults, and the file is not replaced
  kNoFolder,    // no per-user folder could be determined: defaults, nothing is saved
};

struct LoadedSettings {
  SettingsRecord record;
  SettingsOrigin origin = SettingsOrigin::kFirstRun;
  std::u16string asidePath;  // where a damaged file went
  platform::OsError error = 0;
};

class SettingsStore {
 public:
  // `path` is the settings file; empty means there is nowhere to keep settings.
  explicit SettingsStore(std::u16string path) : path_(std::move(path)) {}

  // The settings file in the per-user folder (see platform::UserConfigFolder); empty when none.
  static std::u16string DefaultPath();

  LoadedSettings Load();
  // Writes the record; creates the folder when needed. Refused (kFileWriteFailed) when there is no
  // path, or when a file that could not be read or moved aside is still in the way.
  Result Save(const SettingsRecord& record, platform::OsError* error);

  const std::u16string& path() const { return path_; }

 private:
  std::u16string path_;
  bool protected_ = false;  // a file we could not read or move aside: never overwrite it
};

}  // namespace quillet::warden
