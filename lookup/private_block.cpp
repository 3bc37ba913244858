#include "lookup/private_block.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <string>

#include "common/dict_format.h"
#include "common/le.h"
#include "common/learn_inbox.h"
#include "common/settings_record.h"
#include "common/tab_options.h"

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

std::vector<uint8_t> DictionaryBlockImage(const std::vector<std::vector<uint8_t>>& files) {
  if (files.empty() || files.size() > 0xFFFF) return {};
  uint64_t total = kDirectoryEntriesOffset + kDirectoryEntrySize * files.size();
  for (const auto& f : files) {
    if (f.size() < kDictHeaderSize) return {};
    total += f.size() - kDictHeaderSize;
  }
  if (total >= kNone) return {};
  std::vector<uint8_t> block;
  block.reserve(static_cast<size_t>(total));
  block.resize(kDirectoryEntriesOffset + kDirectoryEntrySize * files.size());
  StoreU16(&block[2], static_cast<uint16_t>(files.size()));
  for (size_t i = 0; i < files.size(); ++i) {
    const auto& f = files[i];
    DictHeader h = ReadDictHeader(f.data());
    // The file's sections follow its header; in the block they follow the bytes placed so far.
    const uint32_t x = static_cast<uint32_t>(block.size());
    for (uint32_t* offset : {&h.nodeTableOffset, &h.positionTableOffset, &h.keyAreaOffset, &h.infoAreaOffset}) {
      // An offset that no longer fits is damage; the directory then fails its bounds check.
      if (*offset == kNone) continue;
      const uint64_t rebased = uint64_t{*offset} + x;
      *offset = rebased < kNone ? static_cast<uint32_t>(rebased) : kNone;
    }
    WriteDictHeader(&block[kDirectoryEntriesOffset + kDirectoryEntrySize * i], h);
    block.insert(block.end(), f.begin() + kDictHeaderSize, f.end());
  }
  return block;
}

Result PublishPrivateDictionaryBlock(const std::vector<uint8_t>& image, DictionaryBlock* block) {
  if (image.size() < kDirectoryEntriesOffset || LoadU16(&image[2]) == 0) return Result::kNoDictionary;
  const Result r = Publish(image.data(), image.size(), block);
  if (r != Result::kSuccess) return r;
  // Entries beyond the image read as empty dictionaries, as the text service reads them.
  block->directory = ReadDirectory(block->view(), image.size(), LoadU16(image.data() + 2));
  return Result::kSuccess;
}

Result PublishPrivateDictionaryFiles(const std::vector<std::vector<uint8_t>>& files, DictionaryBlock* block) {
  const std::vector<uint8_t> image = DictionaryBlockImage(files);
  if (image.empty()) return files.empty() ? Result::kNoDictionary : Result::kMalformed;
  return PublishPrivateDictionaryBlock(image, block);
}

Result PublishPrivateSettingsBlock(const uint8_t* record, size_t size, SharedBlock* block) {
  if (record == nullptr || size < kSettingsRecordSize) return Result::kMalformed;
  return Publish(record, size, block);
}

Result PublishPrivateLearnInbox(SharedBlock* block) {
  std::vector<uint8_t> inbox(kLearnInboxSize, 0);
  InitLearnInbox(inbox.data(), inbox.size());
  return Publish(inbox.data(), inbox.size(), block);
}

Result PublishPrivateTabOptionsBlock(const uint8_t* record, size_t size, SharedBlock* block) {
  if (record == nullptr || size != kTabOptionsRecordSize) return Result::kMalformed;
  return Publish(record, size, block);
}

}  // namespace quillet
