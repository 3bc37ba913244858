#include "lexforge/builder.h"

#include <cstring>
#include <tuple>
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

// Where pass 1 puts one side file's bytes: the file itself, or memory.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(const uint8_t* from, size_t size, platform::OsError* error) = 0;
};

class FileSink final : public ByteSink {
 public:
  explicit FileSink(platform::File& file) : file_(file) {}
  bool Write(const uint8_t* from, size_t size, platform::OsError* error) override {
    size_t done = 0;
    return file_.Write(from, size, &done, error) && done == size;
  }

 private:
  platform::File& file_;
};

class MemorySink final : public ByteSink {
 public:
  bool Write(const uint8_t* from, size_t size, platform::OsError*) override {
    bytes.insert(bytes.end(), from, from + size);
    return true;
  }
  std::vector<uint8_t> bytes;
};

// A fixed output buffer in front of one side file.
class OutputBuffer {
 public:
  OutputBuffer(ByteSink& file, size_t capacity) : file_(file), bytes_(capacity) {}

  // Writes the buffer out when fewer than `size` bytes are free.
  bool Reserve(size_t size, platform::OsError* error) { return bytes_.size() - used_ >= size ? true : Flush(error); }
  uint8_t* Take(size_t size) {
    uint8_t* p = bytes_.data() + used_;
    used_ += size;
    return p;
  }
  bool Flush(platform::OsError* error) {
    if (used_ == 0) return true;
    const bool ok = file_.Write(bytes_.data(), used_, error);
    used_ = 0;
    return ok;
  }

 private:
  ByteSink& file_;
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

// Pass 1's output: each entry's position record, key and info record go through fixed buffers into
// the three side files, with the offsets that the position records hold.
class SideFileWriter {
 public:
  SideFileWriter(ByteSink& positions, ByteSink& keys, ByteSink& infos)
      : positionFile_(positions),
        positions_(positions, kPositionBufferSize),
        keys_(keys, kKeyBufferSize),
        infos_(infos, kInfoBufferSize) {}

  // kGeneralFailure when the dictionary would get too large to address, kFileWriteFailed when a
  // buffer could not be written out.
  Result Add(const WordListEntry& entry, platform::OsError* error) {
    // Checked here rather than after the whole list: past these limits the offsets would wrap.
    const uint64_t keySize = 2 + 2 * uint64_t{entry.key.length};
    const uint64_t infoSize =
        entry.HasInfo() ? 6 + 2 * uint64_t{entry.display.length + entry.commit.length + entry.description.length} : 0;
    const uint64_t sections = (uint64_t{count_} + 2) * kEntryPositionSize +
                              (uint64_t{count_} + 1) / kEntriesPerNode * kIndexNodeSize + keyOffset_ + keySize +
                              infoOffset_ + infoSize;
    if (count_ >= kMaxEntries || sections > kMaxSectionOffset) return Result::kGeneralFailure;
    const bool hasInfo = infoSize != 0;
    if (!positions_.Reserve(kEntryPositionSize, error)) return Result::kFileWriteFailed;
    WriteEntryPosition(positions_.Take(kEntryPositionSize),
                       {static_cast<uint32_t>(keyOffset_), hasInfo ? static_cast<uint32_t>(infoOffset_) : kNone});
    if (!AppendText(keys_, entry.key, error)) return Result::kFileWriteFailed;
    keyOffset_ += keySize;
    if (hasInfo) {
      if (!AppendText(infos_, entry.display, error) || !AppendText(infos_, entry.commit, error) ||
          !AppendText(infos_, entry.description, error)) {
        return Result::kFileWriteFailed;
      }
      infoOffset_ += infoSize;
    }
    ++count_;
    return Result::kSuccess;
  }

  // Writes out what the buffers hold, then the position table's terminator record.
  Result Finish(platform::OsError* error) {
    if (!positions_.Flush(error) || !keys_.Flush(error) || !infos_.Flush(error)) return Result::kFileWriteFailed;
    uint8_t terminator[kEntryPositionSize];
    WriteEntryPosition(terminator, {kNone, kNone});
    return positionFile_.Write(terminator, sizeof terminator, error) ? Result::kSuccess : Result::kFileWriteFailed;
  }

  uint32_t count() const { return count_; }

 private:
  ByteSink& positionFile_;
  OutputBuffer positions_;
  OutputBuffer keys_;
  OutputBuffer infos_;
  uint64_t keyOffset_ = 0;
  uint64_t infoOffset_ = 0;
  uint32_t count_ = 0;
};

// The header and node table that go in front of the three sections.
std::vector<uint8_t> DictionaryHead(const std::vector<IndexNode>& nodes, uint64_t entryCount, uint64_t positionSize,
                                    uint64_t keySize, uint64_t infoSize) {
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

  return head;
}

}  // namespace

DictionaryBuilder::DictionaryBuilder(const std::u16string& destination, const std::u16string& source)
    : paths_(MakeBuildPaths(destination)), source_(source) {}

DictionaryBuilder::~DictionaryBuilder() { DeleteSideFiles(); }

Result DictionaryBuilder::Fail(Result r, platform::OsError error, const std::u16string& path) {
  report_.osError = error;
  report_.failedPath = path;
  return r;
}

void DictionaryBuilder::DeleteSideFiles() {
  for (SideFile* side : {&positions_, &keys_, &infos_}) {
    if (side->created) platform::RemoveFile(side->path);
    side->created = false;
  }
}

bool DictionaryBuilder::CreateSideFile(SideFile& side, platform::File* file, platform::OsError* error) {
  if (!file->Create(side.path, error)) return false;
  side.created = true;
  return true;
}

void DictionaryBuilder::NoteKeyOrder(const WordListEntry& entry, std::vector<uint8_t>* previousKey) {
  // Keys are never empty, so an empty previous key means this is the first entry.
  if (!previousKey->empty() && Below(entry.key, *previousKey)) {
    if (report_.unsortedKeys++ == 0) report_.firstUnsortedLine = entry.line;
  }
  if (HasAsciiUppercase(entry.key)) {
    if (report_.uppercaseKeys++ == 0) report_.firstUppercaseLine = entry.line;
  }
  previousKey->assign(entry.key.bytes, entry.key.bytes + 2 * entry.key.length);
}

Result DictionaryBuilder::WriteSideFiles() {
  platform::OsError error = 0;
  platform::File source;
  if (!source.OpenRead(source_, &error)) return Fail(Result::kFileOpenFailed, error, source_);
  platform::FileMapping text;
  if (const Result mapped = MapForReading(source, &text, &error); mapped != Result::kSuccess)
    return Fail(mapped, error, source_);
  uint64_t size = 0;
  if (!source.Size(&size, &error)) return Fail(Result::kFileSizeFailed, error, source_);
  if (size > text.size()) size = text.size();

  platform::File positions, keys, infos;
  for (auto [side, file] : {std::pair{&positions_, &positions}, {&keys_, &keys}, {&infos_, &infos}}) {
    if (!CreateSideFile(*side, file, &error)) return Fail(Result::kFileOpenFailed, error, side->path);
  }
  if (!HasByteOrderMark(text.data(), static_cast<size_t>(size))) return Fail(Result::kNoByteOrderMark, 0, source_);

  Result result = Result::kSuccess;
  {
    FileSink positionSink(positions), keySink(keys), infoSink(infos);
    SideFileWriter writer(positionSink, keySink, infoSink);
    WordListParser parser(text.data(), static_cast<size_t>(size));
    WordListEntry entry;
    std::vector<uint8_t> previousKey;
    while (parser.Next(&entry)) {
      result = writer.Add(entry, &error);
      if (result != Result::kSuccess) break;
      NoteKeyOrder(entry, &previousKey);
    }
    report_.skippedLines = parser.skippedLines();
    report_.entries = writer.count();
    if (result == Result::kSuccess) result = writer.Finish(&error);
  }
  // A failure on closing is a write that did not reach the file.
  for (platform::File* f : {&positions, &keys, &infos}) {
    if (!f->Close(&error) && result == Result::kSuccess) result = Result::kFileWriteFailed;
  }
  return result == Result::kSuccess
             ? result
             : Fail(result, error, result == Result::kGeneralFailure ? source_ : paths_.positions);
}

Result DictionaryBuilder::WriteDictionary() {
  platform::OsError error = 0;
  platform::File positions, keys, infos;
  for (auto [path, file] : {std::pair{&paths_.positions, &positions}, {&paths_.keys, &keys}, {&paths_.infos, &infos}}) {
    if (!file->OpenRead(*path, &error)) return Fail(Result::kFileOpenFailed, error, *path);
  }
  uint64_t positionSize = 0, keySize = 0, infoSize = 0;
  if (!positions.Size(&positionSize, &error)) return Fail(Result::kFileSizeFailed, error, paths_.positions);
  if (!keys.Size(&keySize, &error)) return Fail(Result::kFileSizeFailed, error, paths_.keys);
  if (positionSize == 0 || keySize == 0) return Fail(Result::kNoEntry, 0, source_);
  if (!infos.Size(&infoSize, nullptr)) infoSize = 0;
  // The side files are ours, but they sat on disk between the passes: check what the header needs.
  if (positionSize % kEntryPositionSize != 0 || positionSize < 2 * kEntryPositionSize) {
    return Fail(Result::kFileReadFailed, 0, paths_.positions);
  }
  const uint64_t entryCount = positionSize / kEntryPositionSize - 1;
  if (entryCount > kMaxEntries) return Fail(Result::kGeneralFailure, 0, source_);
  const uint64_t nodeBound = entryCount / kEntriesPerNode * kIndexNodeSize;
  const uint64_t total = positionSize + keySize + infoSize;
  if (nodeBound + total > kMaxSectionOffset) return Fail(Result::kGeneralFailure, 0, source_);

  // The side files are used where they lie, through read-only mappings: no copy of them is made.
  platform::FileMapping positionMap, keyMap, infoMap;
  for (auto [file, map, path] : {std::tuple{&positions, &positionMap, &paths_.positions},
                                 {&keys, &keyMap, &paths_.keys},
                                 {&infos, &infoMap, &paths_.infos}}) {
    if (map == &infoMap && infoSize == 0) continue;
    if (const Result mapped = MapForReading(*file, map, &error); mapped != Result::kSuccess) {
      return Fail(mapped, error, *path);
    }
  }
  if (positionMap.size() != positionSize || keyMap.size() != keySize || infoMap.size() != infoSize) {
    return Fail(Result::kFileReadFailed, 0, paths_.positions);  // changed under us since their sizes were taken
  }

  std::vector<IndexNode> nodes;
  const Result indexed =
      BuildIndex(KeyTable(positionMap.data(), keyMap.data(), keyMap.size(), static_cast<uint32_t>(entryCount)), &nodes);
  if (indexed != Result::kSuccess) return Fail(indexed, 0, source_);
  report_.nodes = static_cast<uint32_t>(nodes.size());
  report_.entries = static_cast<uint32_t>(entryCount);

  const std::vector<uint8_t> head = DictionaryHead(nodes, entryCount, positionSize, keySize, infoSize);

  const auto writeDictionary = [&](platform::File& dictionary, platform::OsError* e) {
    return WriteWhole(dictionary, head.data(), head.size(), e) &&
           WriteWhole(dictionary, positionMap.data(), positionMap.size(), e) &&
           WriteWhole(dictionary, keyMap.data(), keyMap.size(), e) &&
           WriteWhole(dictionary, infoMap.data(), infoMap.size(), e);
  };
  if (!platform::ReplaceFile(paths_.dictionary, writeDictionary, /*ownerOnly=*/false, &error)) {
    return Fail(Result::kFileWriteFailed, error, paths_.dictionary);
  }
  return Result::kSuccess;
}

Result BuildDictionaryInMemory(const uint8_t* text, size_t size, std::vector<uint8_t>* out, BuildReport* report) {
  BuildReport seen;
  Result result = Result::kSuccess;
  if (size == 0) {
    result = Result::kMappingCreateFailed;  // as an empty file, which cannot be mapped
  } else if (!HasByteOrderMark(text, size)) {
    result = Result::kNoByteOrderMark;
  }
  MemorySink positions, keys, infos;
  if (result == Result::kSuccess) {
    SideFileWriter writer(positions, keys, infos);
    WordListParser parser(text, size);
    WordListEntry entry;
    while (parser.Next(&entry)) {
      result = writer.Add(entry, &seen.osError);
      if (result != Result::kSuccess) break;
    }
    seen.skippedLines = parser.skippedLines();
    seen.entries = writer.count();
    if (result == Result::kSuccess) result = writer.Finish(&seen.osError);
  }
  if (result == Result::kSuccess && seen.entries == 0) result = Result::kNoEntry;
  if (result == Result::kSuccess) {
    const uint64_t entryCount = seen.entries;
    std::vector<IndexNode> nodes;
    result = BuildIndex(
        KeyTable(positions.bytes.data(), keys.bytes.data(), keys.bytes.size(), static_cast<uint32_t>(entryCount)),
        &nodes);
    if (result == Result::kSuccess) {
      seen.nodes = static_cast<uint32_t>(nodes.size());
      std::vector<uint8_t> bytes =
          DictionaryHead(nodes, entryCount, positions.bytes.size(), keys.bytes.size(), infos.bytes.size());
      for (const MemorySink* part : {&positions, &keys, &infos})
        bytes.insert(bytes.end(), part->bytes.begin(), part->bytes.end());
      *out = std::move(bytes);
    }
  }
  if (report != nullptr) *report = seen;
  return result;
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
