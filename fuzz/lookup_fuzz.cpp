// Random bytes as a dictionary block and a random typing script: the lookup must neither crash nor
// read outside the block, and whatever it offers must begin with the typed prefix.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/dict_format.h"
#include "common/dict_image_testing.h"
#include "common/dictionary_view.h"
#include "common/le.h"
#include "common/utf16.h"
#include "lookup/tab_source.h"

namespace {

using namespace quillet;

// The directory as the text service reads it: an entry pointing outside the block is an empty view.
class BlockAccess final : public DictionaryAccess {
 public:
  BlockAccess(const uint8_t* data, size_t size, size_t position) {
    const std::vector<DictionaryView> directory = ReadDictionaryDirectory(data, size);
    if (position < directory.size()) view_ = directory[position];
  }
  bool Acquire(const DictionaryView** view) override {
    *view = &view_;
    return true;
  }
  void Release() override {}

 private:
  DictionaryView view_;
};

constexpr char16_t kChars[] = u"abcdefghijklmnopqrstuvwxyzABZ0'-\u00e9\u00ff\u4e00 ";

void Check(const TabSource& s, size_t count) {
  if (count > TabSource::kPageSize || s.PageCount() > TabSource::kPageSize) __builtin_trap();
  for (size_t i = 0; i < s.PageCount(); ++i) {
    const std::u16string word = s.CandidateWord(i);
    if (word.size() <= s.minWordLength()) __builtin_trap();
    if (!s.CandidateAt(i)->forgiven && word.compare(0, s.prefix().size(), s.prefix()) != 0) __builtin_trap();
  }
}

// A well-formed block with one indexed 400-entry dictionary, for inputs that patch bytes of it rather
// than invent a whole block: they reach the index walk and the paging with damage in them.
const std::vector<uint8_t>& BaseBlock() {
  static const std::vector<uint8_t> block = [] {
    std::vector<testing::ImageEntry> entries;
    for (int i = 0; i < 400; ++i) {
      std::u16string key{static_cast<char16_t>(u'a' + i / 150), static_cast<char16_t>(u'a' + (i / 6) % 26),
                         static_cast<char16_t>(u'a' + i % 6)};
      if (i % 7 == 0) key += u"\u00e9";
      entries.push_back({key, i % 3 == 0 ? u"Shown" : u"", i % 5 == 0 ? u"put" : u"", i % 4 == 0 ? u"about" : u""});
    }
    const std::vector<uint8_t> file = testing::BuildDictionaryImage(entries);
    std::vector<uint8_t> b(4 + 24);
    StoreU16(&b[2], 1);
    DictHeader h = ReadDictHeader(file.data());
    for (uint32_t* o : {&h.nodeTableOffset, &h.positionTableOffset, &h.keyAreaOffset, &h.infoAreaOffset}) {
      if (*o != kNone) *o += 4;  // sections move from behind a 24-byte header to behind the directory
    }
    WriteDictHeader(&b[4], h);
    b.insert(b.end(), file.begin() + kDictHeaderSize, file.end());
    return b;
  }();
  return block;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint16_t minWordLength = data[0] % 8;
  const size_t position = data[1] % 4;
  const size_t opCount = std::min<size_t>(data[2] % 64, size - 3);
  const uint8_t* ops = data + 3;
  const uint8_t* rest = ops + opCount;
  const size_t restSize = size - 3 - opCount;
  // The block gets its own allocation so that the sanitizer sees any read past its end.
  std::vector<uint8_t> bytes;
  if (data[1] & 0x80) {
    // The base block, patched: each three bytes are an offset and a value; two left over cut it short.
    bytes = BaseBlock();
    for (size_t k = 0; k + 3 <= restSize; k += 3) bytes[(rest[k] << 8 | rest[k + 1]) % bytes.size()] = rest[k + 2];
    if (restSize % 3 == 2) bytes.resize((rest[restSize - 2] << 8 | rest[restSize - 1]) % bytes.size());
  } else {
    bytes.assign(rest, rest + restSize);
  }
  const size_t blockSize = bytes.size();
  std::unique_ptr<uint8_t[]> block(new uint8_t[blockSize == 0 ? 1 : blockSize]);
  if (blockSize != 0) std::memcpy(block.get(), bytes.data(), blockSize);

  TabSource source(std::make_unique<BlockAccess>(block.get(), blockSize, position), minWordLength);
  source.SetForgiving((data[1] & 0x40) != 0);
  for (size_t k = 0; k < opCount; ++k) {
    const uint8_t op = ops[k];
    const char16_t c = kChars[(op & 0x3F) % (sizeof(kChars) / sizeof(kChars[0]) - 1)];
    size_t count = 0;
    switch (op >> 6) {
      case 0:
        count = source.SetPrefix(std::u16string(1, c));
        break;
      case 1:
        count = source.AppendLetter(c);
        break;
      case 2:
        count = source.NextPage();
        break;
      default:
        count = source.PreviousPage();
        break;
    }
    Check(source, count);
    for (size_t i = 0; i < source.PageCount(); ++i) {
      (void)source.CandidateDisplay(i);
      (void)source.CandidateCommit(i);
      (void)source.CandidateDescription(i);
    }
  }
  return 0;
}
