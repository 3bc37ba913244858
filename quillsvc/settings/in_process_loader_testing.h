// The loader's core running in this process for tests of the settings sheet: its blocks are the real
// shared blocks, its settings file lies in a folder of its own, and its channel records every message
// it is told before the loader handles it.
#pragma once

#include <memory>
#include <vector>

#include "common/result.h"
#include "common/settings_record.h"
#include "ipc/protocol.h"
#include "ipc/shared_block.h"
#include "lexwarden/test_support.h"
#include "lexwarden/warden.h"
#include "platform/loader_channel_testing.h"

namespace quillet::settings::testing {

using Message = quillet::testing::ChannelMessage;

class InProcessLoader {
 public:
  // `initial`: the settings file the loader finds, or none (first run).
  explicit InProcessLoader(const SettingsRecord* initial = nullptr)
      : warden_({folder_.path(), folder_.File(u"settings.dat")}) {
    warden::testing::UseFreshNamespace();
    if (initial != nullptr) {
      warden::testing::WriteBytes(folder_.File(u"settings.dat"),
                                  std::vector<uint8_t>(initial->data(), initial->data() + kSettingsRecordSize));
    }
    started_ = ToInt(warden_.Start());
    channel_ = std::make_unique<quillet::testing::RecordingChannel>(
        [this](uint32_t m, uintptr_t w, intptr_t l) { return warden_.HandleMessage(m, w, l); });
  }
  ~InProcessLoader() { Stop(); }

  void Stop() {
    if (stopped_) return;
    stopped_ = true;
    channel_->Stop();
    warden_.Stop();
  }

  int32_t started() const { return started_; }
  // Learns what text services reported now instead of within the second.
  void DrainLearning() { warden_.DrainLearning(); }
  std::vector<Message> messages() { return channel_->messages(); }
  // The reload messages among them, in order.
  std::vector<Message> reloads() {
    std::vector<Message> out;
    for (const Message& m : messages()) {
      if (m.message == kLoaderReloadMessage) out.push_back(m);
    }
    return out;
  }
  // A file the loader keeps (the settings unless named).
  std::vector<uint8_t> SavedFile(const char16_t* name = u"settings.dat") const {
    return warden::testing::ReadBytes(folder_.File(name));
  }

 private:
  warden::testing::TempFolder folder_;
  warden::Warden warden_;
  int32_t started_ = -1;
  std::unique_ptr<quillet::testing::RecordingChannel> channel_;
  bool stopped_ = false;
};

// What the settings block holds now, as any text service would read it.
inline SettingsRecord PublishedSettings() {
  SharedBlock block;
  SettingsRecord r;
  if (OpenSettingsBlock(block) == Result::kSuccess) {
    const BlockReadLock lock(block);
    if (lock) r.CopyFrom(block.view(), block.viewSize());
  }
  CloseBlock(block, false);
  return r;
}

}  // namespace quillet::settings::testing
