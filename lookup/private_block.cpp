#include "lookup/private_block.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <string>

#include "common/learn_inbox.h"
#include "common/options_record.h"
#include "common/settings_record.h"
#include "lookup/sound_key.h"

namespace quillet {
namespace {

std::u16string Digits(uint64_t v) {
  std::u16string s;
  do {
    s.insert(s.begin(), static_cast<char16_t>(u'0' + v % 10));
    v /= 10;
  } while (v != 0);
  return s;
}

// A name no other process or earlier block of this process uses.
std::u16string UniqueName(char16_t kind) {
  static std::atomic<uint64_t> counter{0};
  static const uint64_t seed = [] {
    std::random_device rd;
    return (uint64_t{rd()} << 32) ^ rd() ^
           static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  }();
  return u"Local\\@@QLPRIV" + Digits(seed) + u"-" + Digits(counter++) + u"-" + kind + u"@@";
}

Result Publish(const uint8_t* bytes, size_t size, SharedBlock* block) {
  platform::OsError error{};
  bool existed = false;
  if (!block->mapping.Create(UniqueName(u'M'), size, &existed, &error)) {
    block->lastError = static_cast<uint32_t>(error);
    return Result::kMappingCreateFailed;
  }
  if (!block->mapping.Map(&error) || block->mapping.size() < size) {
    block->lastError = static_cast<uint32_t>(error);
    block->mapping.Close();
    return Result::kViewFailed;
  }
  std::memcpy(block->mapping.data(), bytes, size);
  const std::u16string readName = UniqueName(u'R');
  const std::u16string writeName = UniqueName(u'W');
  const Result r = CreateBlockEvents(*block, BlockNames{{}, readName, writeName});
  if (r != Result::kSuccess) block->mapping.Close();
  return r;
}

}  // namespace

Result PublishPrivateDictionaryBlock(std::vector<uint8_t> image, PublishedData* published) {
  return published->UsePrivate(PublicationKind::kDictionaries, std::move(image));
}

Result PublishPrivateDictionaryFiles(const std::vector<std::vector<uint8_t>>& files, PublishedData* published) {
  std::vector<uint8_t> image = DictionaryBlockImage(files);
  if (image.empty()) return files.empty() ? Result::kNoDictionary : Result::kMalformed;
  return PublishPrivateDictionaryBlock(std::move(image), published);
}

Result PublishPrivateSoundIndexes(PublishedData* published) {
  return published->UsePrivate(PublicationKind::kSounds, BuildSoundImage(published->directory()));
}

Result PublishPrivateSettings(const uint8_t* record, size_t size, PublishedData* published) {
  if (record == nullptr || size < kSettingsRecordSize) return Result::kMalformed;
  return published->UsePrivate(PublicationKind::kSettings, std::vector<uint8_t>(record, record + size));
}

Result PublishPrivateLearnInbox(SharedBlock* block) {
  std::vector<uint8_t> inbox(kLearnInboxSize, 0);
  InitLearnInbox(inbox.data(), inbox.size());
  return Publish(inbox.data(), inbox.size(), block);
}

Result PublishPrivateOptions(const uint8_t* record, size_t size, PublishedData* published) {
  if (record == nullptr || size != kOptionsRecordSize) return Result::kMalformed;
  return published->UsePrivate(PublicationKind::kOptions, std::vector<uint8_t>(record, record + size));
}

}  // namespace quillet
