#include "lexwarden/warden_testing.h"

#include <string>

#include "common/dict_image_testing.h"
#include "ipc/protocol.h"
#include "ipc/shared_block.h"
#include "platform/test_namespace.h"
#include "platform/user_data.h"

namespace quillet::warden::testing {

void UseFreshNamespace() { quillet::testing::UseNamespace("t" + quillet::testing::UniqueSuffix()); }

namespace {

std::vector<quillet::testing::ImageEntry> Entries(const std::u16string& prefix, size_t count, bool info) {
  std::vector<quillet::testing::ImageEntry> entries(count);
  for (size_t i = 0; i < count; ++i) {
    std::u16string digits = u"0000000";
    size_t n = i;
    for (size_t k = digits.size(); k-- > 0; n /= 10) digits[k] = static_cast<char16_t>(u'0' + n % 10);
    entries[i].key = prefix + digits;
    if (info && i % 3 == 0) entries[i].display = u"D" + entries[i].key;
  }
  return entries;
}

}  // namespace

std::vector<uint8_t> MakeDictionary(const std::u16string& prefix, size_t count) {
  return quillet::testing::BuildDictionaryImage(Entries(prefix, count, true));
}

std::vector<uint8_t> MakePlainDictionary(const std::u16string& prefix, size_t count) {
  return quillet::testing::BuildDictionaryImage(Entries(prefix, count, false));
}

InProcessLoader::InProcessLoader(const SettingsRecord* initial)
    : warden_({folder_.path(), folder_.File(u"settings.dat")}) {
  UseFreshNamespace();
  if (initial != nullptr) {
    WriteBytes(folder_.File(u"settings.dat"),
               std::vector<uint8_t>(initial->data(), initial->data() + kSettingsRecordSize));
  }
  started_ = ToInt(warden_.Start());
  channel_ = std::make_unique<quillet::testing::RecordingChannel>(
      [this](uint32_t m, uintptr_t w, intptr_t l) { return warden_.HandleMessage(m, w, l); });
}

void InProcessLoader::Stop() {
  if (stopped_) return;
  stopped_ = true;
  channel_->Stop();
  warden_.Stop();
}

std::vector<quillet::testing::ChannelMessage> InProcessLoader::reloads() {
  std::vector<quillet::testing::ChannelMessage> out;
  for (const quillet::testing::ChannelMessage& m : messages()) {
    if (m.message == kLoaderReloadMessage) out.push_back(m);
  }
  return out;
}

SettingsRecord PublishedSettings() {
  SharedBlock block;
  SettingsRecord r;
  if (OpenSettingsBlock(block) == Result::kSuccess) {
    const BlockReadLock lock(block);
    if (lock) r.CopyFrom(block.view(), block.viewSize());
  }
  CloseBlock(block, false);
  return r;
}

}  // namespace quillet::warden::testing
