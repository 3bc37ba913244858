#include "lexforge/builder.h"

#include <cstring>
#include <vector>

#include "common/dict_format.h"
#include "common/le.h"
#include "lexforge/dict_index.h"
#include "lexforge/mapping_result.h"
#include "lexforge/word_list.h"
#include "platform/file.h"

namespace quillet::lexforge {

namespace {

// Larger than the classic 10240/10240/30720 bytes: fewer writes, and still fixed, whatever the list.
constexpr size_t kPositionBufferSize = 65536;
constexpr size_t kKeyBufferSize = 65536;
constexpr size_t kInfoBufferSize = 3 * 65536;
static_assert(kKeyBufferSize >= 2 + 2 * kMaxTextLength, "the longest key fits an empty buffer");

// Every section offset is a u32 counted from the end of the header, and 0xFFFFFFFF means none.
constexpr uint64_t kMaxSectionOffset = 0xFFFFFFFE;

// A fixed output buffer in front of one side file.
class OutputBuffer {
 public:
  OutputBuffer(platform::File& file, size_t capacity) : file_(file), bytes_(capacity) {}

  // Writes the buffer out when fewer than `size` bytes are free.
  bool Reserve(size_t size, platform::OsError* error) { return bytes_.size() - used_ >= size ? true : Flush(error); }
  uint8_t* Take(size_t size) {
    uint8_t* p = bytes_.data() + used_;
    used_ += size;
    return p;
  }
  bool Flush(platform::OsError* error) {
    if (used_ == 0) return true;
    size_t done = 0;
    const bool ok = file_.Write(bytes_.data(), used_, &done, error) && done == used_;
    used_ = 0;
    return ok;
  }

 private:
  platform::File& file_;
  std::vector<uint8_t> bytes_;
  size_t used_ = 0;
};

bool AppendText(OutputBuffer& buffer, const Units& text, platform::OsError* error) {
  const size_t size = 2 + 2 * text.length;
  if (!buffer.Reserve(size, error)) return false;
  uint8_t* p = buffer.Take(size);
  StoreU16(p, static_cast<uint16_t>(text.length));
  if (text.length != 0) std::memcpy(p + 2, text.bytes, 2 * text.length);  // little-endian on both sides
  return true;
}

bool HasAsciiUppercase(const Units& key) {
  for (size_t i = 0; i < key.length; ++i) {
    if (key[i] >= u'A' && key[i] <= u'Z') return true;
  }
  return false;
}

// Ordinal order of code units, as the lookup compares.
bool Below(const Units& key, const std::vector<uint8_t>& previous) {
  const size_t previousLength = previous.size() / 2;
  const size_t n = key.length < previousLength ? key.length : previousLength;
  for (size_t i = 0; i < n; ++i) {
    const uint16_t a = key[i];
    const uint16_t b = LoadU16(previous.data() + 2 * i);
    if (a != b) return a < b;
  }
  return key.length < previousLength;
}

bool WriteWhole(platform::File& file, const uint8_t* from, size_t size, platform::OsError* error) {
  size_t done = 0;
  return file.Write(from, size, &done, error) && done == size;
}

}  // namespace

DictionaryBuilder::DictionaryBuilder(const std::u16string& destination, const std::u16string& source)
    : paths_(MakeBuildPaths(destination)), source_(source) {}

DictionaryBuilder::~DictionaryBuilder() { DeleteSideFiles(); }

Result DictionaryBuilder::Fail(Result r, platform::OsError error) {
  report_.osError = error;
  return r;
}

void DictionaryBuilder::DeleteSideFiles() {
  // Only what this conversion created: a side-file name may be taken by a file we could not open
  // (the source itself, say), and that file is not ours to delete.
  for (int i = 0; i < 3; ++i) {
    if (created_[i]) platform::RemoveFile(i == 0 ? paths_.positions : i == 1 ? paths_.keys : paths_.infos);
    created_[i] = false;
  }
}

Result DictionaryBuilder::WriteSideFiles() {
  platform::OsError error = 0;
  platform::File source;
  if (!source.OpenRead(source_, &error)) return Fail(Result::kFileOpenFailed, error);
  platform::FileMapping text;
  if (const Result mapped = MapForReading(source, &text, &error); mapped != Result::kSuccess)
    return Fail(mapped, error);
  uint64_t size = 0;
  if (!source.Size(&size, &error)) return Fail(Result::kFileSizeFailed, error);
  if (size > text.size()) size = text.size();

  platform::File positions, keys, infos;
  platform::File* sides[3] = {&positions, &keys, &infos};
  const std::u16string* sideNames[3] = {&paths_.positions, &paths_.keys, &paths_.infos};
  for (int i = 0; i < 3; ++i) {
    if (!sides[i]->Create(*sideNames[i], &error)) return Fail(Result::kFileOpenFailed, error);
    created_[i] = true;
  }
  if (!HasByteOrderMark(text.data(), static_cast<size_t>(size))) return Fail(Result::kNoByteOrderMark, 0);

  Result result = Result::kSuccess;
  {
    OutputBuffer positionBuffer(positions, kPositionBufferSize);
    OutputBuffer keyBuffer(keys, kKeyBufferSize);
    OutputBuffer infoBuffer(infos, kInfoBufferSize);
    WordListParser parser(text.data(), static_cast<size_t>(size));
    WordListEntry entry;
    std::vector<uint8_t> previousKey;
    uint64_t keyOffset = 0;
    uint64_t infoOffset = 0;
    uint32_t count = 0;
    while (parser.Next(&entry)) {
      // Checked here rather than after the whole list: past these limits the offsets would wrap.
      const uint64_t keySize = 2 + 2 * uint64_t{entry.key.length};
      const uint64_t infoSize =
          entry.HasInfo() ? 6 + 2 * uint64_t{entry.display.length + entry.commit.length + entry.description.length} : 0;
      const uint64_t sections = (uint64_t{count} + 2) * kEntryPositionSize +
                                (uint64_t{count} + 1) / kEntriesPerNode * kIndexNodeSize + keyOffset + keySize +
                                infoOffset + infoSize;
      if (count >= kMaxEntries || sections > kMaxSectionOffset) {
        result = Result::kGeneralFailure;
        break;
      }
      const bool hasInfo = infoSize != 0;
      if (!positionBuffer.Reserve(kEntryPositionSize, &error)) {
        result = Result::kFileWriteFailed;
        break;
      }
      WriteEntryPosition(positionBuffer.Take(kEntryPositionSize),
                         {static_cast<uint32_t>(keyOffset), hasInfo ? static_cast<uint32_t>(infoOffset) : kNone});
      if (!AppendText(keyBuffer, entry.key, &error)) {
        result = Result::kFileWriteFailed;
        break;
      }
      keyOffset += keySize;
      if (hasInfo) {
        if (!AppendText(infoBuffer, entry.display, &error) || !AppendText(infoBuffer, entry.commit, &error) ||
            !AppendText(infoBuffer, entry.description, &error)) {
          result = Result::kFileWriteFailed;
          break;
        }
        infoOffset += infoSize;
      }
      ++count;

      if (count > 1 && Below(entry.key, previousKey)) {
        if (report_.unsortedKeys++ == 0) report_.firstUnsortedLine = entry.line;
      }
      if (HasAsciiUppercase(entry.key)) {
        if (report_.uppercaseKeys++ == 0) report_.firstUppercaseLine = entry.line;
      }
      previousKey.assign(entry.key.bytes, entry.key.bytes + 2 * entry.key.length);
    }
    report_.skippedLines = parser.skippedLines();
    report_.entries = count;
    if (result == Result::kSuccess) {
      if (!positionBuffer.Flush(&error) || !keyBuffer.Flush(&error) || !infoBuffer.Flush(&error)) {
        result = Result::kFileWriteFailed;
      }
    }
  }
  if (result == Result::kSuccess) {
    uint8_t terminator[kEntryPositionSize];
    WriteEntryPosition(terminator, {kNone, kNone});
    if (!WriteWhole(positions, terminator, sizeof terminator, &error)) result = Result::kFileWriteFailed;
  }
  // A failure on closing is a write that did not reach the file.
  for (platform::File* f : {&positions, &keys, &infos}) {
    if (!f->Close(&error) && result == Result::kSuccess) result = Result::kFileWriteFailed;
  }
  return result == Result::kSuccess ? result : Fail(result, error);
}

Result DictionaryBuilder::WriteDictionary() {
  platform::OsError error = 0;
  platform::File positions, keys, infos;
  if (!positions.OpenRead(paths_.positions, &error) || !keys.OpenRead(paths_.keys, &error) ||
      !infos.OpenRead(paths_.infos, &error)) {
    return Fail(Result::kFileOpenFailed, error);
  }
  uint64_t positionSize = 0, keySize = 0, infoSize = 0;
  if (!positions.Size(&positionSize, &error) || !keys.Size(&keySize, &error)) {
    return Fail(Result::kFileSizeFailed, error);
  }
  if (positionSize == 0 || keySize == 0) return Fail(Result::kNoEntry, 0);
  if (!infos.Size(&infoSize, nullptr)) infoSize = 0;
  // The side files are ours, but they sat on disk between the passes: check what the header needs.
  if (positionSize % kEntryPositionSize != 0 || positionSize < 2 * kEntryPositionSize) {
    return Fail(Result::kFileReadFailed, 0);
  }
  const uint64_t entryCount = positionSize / kEntryPositionSize - 1;
  if (entryCount > kMaxEntries) return Fail(Result::kGeneralFailure, 0);
  const uint64_t nodeBound = entryCount / kEntriesPerNode * kIndexNodeSize;
  const uint64_t total = positionSize + keySize + infoSize;
  if (nodeBound + total > kMaxSectionOffset) return Fail(Result::kGeneralFailure, 0);

  // The side files are used where they lie, through read-only mappings: no copy of them is made.
  platform::FileMapping positionMap, keyMap, infoMap;
  for (auto [file, map] : {std::pair{&positions, &positionMap}, {&keys, &keyMap}, {&infos, &infoMap}}) {
    if (map == &infoMap && infoSize == 0) continue;
    if (const Result mapped = MapForReading(*file, map, &error); mapped != Result::kSuccess) return Fail(mapped, error);
  }
  if (positionMap.size() != positionSize || keyMap.size() != keySize || infoMap.size() != infoSize) {
    return Fail(Result::kFileReadFailed, 0);  // changed under us since their sizes were taken
  }

  std::vector<IndexNode> nodes;
  const Result indexed =
      BuildIndex(KeyTable(positionMap.data(), keyMap.data(), keyMap.size(), static_cast<uint32_t>(entryCount)), &nodes);
  if (indexed != Result::kSuccess) return Fail(indexed, 0);
  report_.nodes = static_cast<uint32_t>(nodes.size());
  report_.entries = static_cast<uint32_t>(entryCount);

  DictHeader header;
  header.nodeCount = static_cast<uint32_t>(nodes.size());
  header.entryCount = static_cast<uint32_t>(entryCount);
  header.nodeTableOffset = nodes.empty() ? kNone : 0;
  header.positionTableOffset = static_cast<uint32_t>(nodes.size() * kIndexNodeSize);
  header.keyAreaOffset = header.positionTableOffset + static_cast<uint32_t>(positionSize);
  header.infoAreaOffset = infoSize == 0 ? kNone : header.keyAreaOffset + static_cast<uint32_t>(keySize);
  std::vector<uint8_t> head(kDictHeaderSize + nodes.size() * kIndexNodeSize);
  WriteDictHeader(head.data(), header);
  for (size_t k = 0; k < nodes.size(); ++k)
    WriteIndexNode(head.data() + kDictHeaderSize + k * kIndexNodeSize, nodes[k]);

  platform::File dictionary;
  if (!dictionary.Create(paths_.temporary, &error)) return Fail(Result::kFileOpenFailed, error);
  const bool written = WriteWhole(dictionary, head.data(), head.size(), &error) &&
                       WriteWhole(dictionary, positionMap.data(), positionMap.size(), &error) &&
                       WriteWhole(dictionary, keyMap.data(), keyMap.size(), &error) &&
                       WriteWhole(dictionary, infoMap.data(), infoMap.size(), &error);
  const bool closed = dictionary.Close(&error);
  if (!written || !closed) {
    platform::RemoveFile(paths_.temporary);
    return Fail(Result::kFileWriteFailed, error);
  }
  if (!platform::RenameFile(paths_.temporary, paths_.dictionary, &error)) {
    platform::RemoveFile(paths_.temporary);
    return Fail(Result::kFileOpenFailed, error);
  }
  return Result::kSuccess;
}

Result ConvertTextToDictionary(const std::u16string& destination, const std::u16string& source, BuildReport* report) {
  Result result;
  BuildReport seen;
  {
    DictionaryBuilder builder(destination, source);
    result = builder.WriteSideFiles();
    if (result == Result::kSuccess) result = builder.WriteDictionary();
    builder.DeleteSideFiles();
    seen = builder.report();
  }
  if (report != nullptr) *report = seen;
  return result;
}

}  // namespace quillet::lexforge
