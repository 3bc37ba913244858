// The loader for tests, its own and those of the parties that talk to it (the settings sheet, lexforge's
// commands): private folders, files, a namespace of named objects of their own so that they never meet
// a loader the user runs (or another test), and the loader's core running in the test's process.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/result.h"
#include "common/settings_record.h"
#include "lexwarden/warden.h"
#include "platform/files_testing.h"
#include "platform/loader_channel_testing.h"

namespace quillet::warden::testing {

using quillet::testing::Exists;
using quillet::testing::ListFolder;
using quillet::testing::ReadBytes;
using quillet::testing::TempFolder;
using quillet::testing::WriteBytes;

// Sets QUILLET_NAMESPACE to a value no other process uses; children started afterwards inherit it.
void UseFreshNamespace();

// keys "<prefix>0000000", "<prefix>0000001", ... in order; display texts on every third entry.
std::vector<uint8_t> MakeDictionary(const std::u16string& prefix, size_t count);
// The same keys without any info text.
std::vector<uint8_t> MakePlainDictionary(const std::u16string& prefix, size_t count);

// The loader's core in this process, answering on the real channel: its blocks are the real shared
// blocks (in a fresh namespace), its files lie in a folder of its own, and its channel records every
// message before the loader handles it.
class InProcessLoader {
 public:
  // `initial`: the settings file the loader finds, or none (first run).
  explicit InProcessLoader(const SettingsRecord* initial = nullptr);
  ~InProcessLoader() { Stop(); }
  InProcessLoader(const InProcessLoader&) = delete;
  InProcessLoader& operator=(const InProcessLoader&) = delete;

  void Stop();
  // Start's result (kFileOpenFailed when the default settings name a dictionary the folder lacks).
  int32_t started() const { return started_; }
  // Learns what text services reported now instead of within the second.
  void DrainLearning() { warden_.DrainLearning(); }
  std::vector<quillet::testing::ChannelMessage> messages() { return channel_->messages(); }
  // The reload messages among them, in order.
  std::vector<quillet::testing::ChannelMessage> reloads();
  // A file the loader keeps (the settings unless named).
  std::vector<uint8_t> SavedFile(const char16_t* name = u"settings.dat") const { return ReadBytes(folder_.File(name)); }

 private:
  TempFolder folder_;
  Warden warden_;
  int32_t started_ = -1;
  std::unique_ptr<quillet::testing::RecordingChannel> channel_;
  bool stopped_ = false;
};

// What the settings block holds now, as any text service would read it.
SettingsRecord PublishedSettings();

}  // namespace quillet::warden::testing
