// A loader channel served on a thread of its own, for tests that stand in for the loader: every
// message is recorded before the handler (when one is given) answers it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <utility>
#include <vector>

#include "common/mutex.h"
#include "platform/loader_channel.h"

namespace quillet::testing {

struct ChannelMessage {
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

class RecordingChannel {
 public:
  // Returns once the channel is visible to senders (or could not be made). Without a handler every
  // message is answered 0.
  explicit RecordingChannel(platform::LoaderChannel::Handler handler = nullptr) : handler_(std::move(handler)) {
    thread_ = std::thread([this] {
      platform::LoaderChannel channel;
      platform::OsError error = 0;
      const bool created = channel.Create(
          [this](uint32_t m, uintptr_t w, intptr_t l) {
            {
              MutexLock lock(mutex_);
              messages_.push_back({m, w, l});
            }
            return handler_ ? handler_(m, w, l) : intptr_t{0};
          },
          &error);
      channel_ = created ? &channel : nullptr;
      ready_ = true;
      if (created) channel.Run();
      channel_ = nullptr;
    });
    while (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~RecordingChannel() { Stop(); }
  RecordingChannel(const RecordingChannel&) = delete;
  RecordingChannel& operator=(const RecordingChannel&) = delete;

  // Ends the channel; no message is handled after this returns.
  void Stop() {
    if (!thread_.joinable()) return;
    if (platform::LoaderChannel* channel = channel_.load()) channel->Quit();
    thread_.join();
  }

  std::vector<ChannelMessage> messages() EXCLUDES(mutex_) {
    MutexLock lock(mutex_);
    return messages_;
  }

 private:
  platform::LoaderChannel::Handler handler_;
  std::thread thread_;
  std::atomic<bool> ready_{false};
  std::atomic<platform::LoaderChannel*> channel_{nullptr};
  Mutex mutex_;
  std::vector<ChannelMessage> messages_ GUARDED_BY(mutex_);
};

}  // namespace quillet::testing
