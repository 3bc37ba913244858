// The loader's core running in this process for tests of the settings sheet: its blocks are the real
// shared blocks, its settings file lies in a folder of its own, and its channel records every message
// it is told before the loader handles it.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "common/settings_record.h"
#include "lexwarden/test_support.h"
#include "lexwarden/warden.h"
#include "platform/loader_channel.h"

namespace quillet::settings::testing {

struct Message {
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

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
    thread_ = std::thread([this] {
      platform::LoaderChannel channel;
      platform::OsError error = 0;
      const bool created = channel.Create(
          [this](uint32_t m, uintptr_t w, intptr_t l) {
            {
              std::lock_guard<std::mutex> lock(mutex_);
              messages_.push_back({m, w, l});
            }
            return warden_.HandleMessage(m, w, l);
          },
          &error);
      channel_ = created ? &channel : nullptr;
      ready_ = true;
      if (created) channel.Run();
      channel_ = nullptr;
    });
    while (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~InProcessLoader() { Stop(); }

  void Stop() {
    if (!thread_.joinable()) return;
    if (platform::LoaderChannel* channel = channel_.load()) channel->Quit();
    thread_.join();
    warden_.Stop();
  }

  int32_t started() const { return started_; }
  std::vector<Message> messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }
  std::vector<uint8_t> SavedFile() const { return warden::testing::ReadBytes(folder_.File(u"settings.dat")); }

 private:
  warden::testing::TempFolder folder_;
  warden::Warden warden_;
  int32_t started_ = -1;
  std::thread thread_;
  std::atomic<bool> ready_{false};
  std::atomic<platform::LoaderChannel*> channel_{nullptr};
  std::mutex mutex_;
  std::vector<Message> messages_;
};

}  // namespace quillet::settings::testing
