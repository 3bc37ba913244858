#include "lexwarden/dictionary_publisher.h"

#include <cstring>
#include <utility>

#include "common/file_names.h"
#include "common/rank_view.h"
#include "common/ranking_image.h"
#include "lexwarden/owned_block.h"
#include "platform/process.h"

namespace quillet::warden {

namespace {

bool IsAbsolute(std::u16string_view p) {
  if (!p.empty() && (p[0] == u'/' || p[0] == u'\\')) return true;
  return p.size() >= 2 && p[1] == u':' && ((p[0] >= u'A' && p[0] <= u'Z') || (p[0] >= u'a' && p[0] <= u'z'));
}

// Stands in for a dictionary that waits for the block to grow.
const PreparedDictionary* Waiting() {
  static const PreparedDictionary waiting = Placeholder(Result::kFileOpenFailed);
  return &waiting;
}

bool AnyProblem(const std::vector<PreparedDictionary>& dictionaries) {
  for (const PreparedDictionary& d : dictionaries) {
    if (d.placeholder()) return true;
  }
  return false;
}

Result Outcome(bool problem) { return problem ? Result::kFileOpenFailed : Result::kSuccess; }

// The ranking data beside a dictionary when it was made for it; empty otherwise (a missing or stale
// file means dictionary order, never wrong words).
std::vector<uint8_t> RankingFor(const PreparedDictionary& d, const std::u16string& path, const FileReader& readFile) {
  std::vector<uint8_t> bytes;
  DictionaryView dictionary;
  RankView rank;
  platform::OsError error = 0;
  if (d.placeholder() || !DictionaryView::FromFile(d.file.data(), d.file.size(), &dictionary) ||
      readFile(ReplaceExtension(path, u".rank"), kMaxRankingFileSize, &bytes, &error) != platform::ReadStatus::kRead ||
      !RankView::FromBytes(bytes.data(), bytes.size(), &rank) || !rank.MadeFor(dictionary)) {
    return {};
  }
  return bytes;
}

}  // namespace

std::u16string ResolveDictionaryPath(const std::u16string& programFolder, std::u16string_view stored) {
  std::u16string path(stored);
  for (char16_t& c : path) {
    if (c == u'\\') c = u'/';
  }
  if (path.empty() || IsAbsolute(path)) return path;
  return platform::JoinPath(programFolder, path);
}

DictionaryPublisher::DictionaryPublisher(std::u16string programFolder, FileReader readFile)
    : programFolder_(std::move(programFolder)), readFile_(std::move(readFile)) {}

size_t DictionaryPublisher::capacity() const {
  MutexLock lock(mutex_);
  return capacity_;
}

bool DictionaryPublisher::growthPending() const {
  MutexLock lock(mutex_);
  return growthPending_;
}

uint64_t DictionaryPublisher::publications() const {
  MutexLock lock(mutex_);
  return publications_;
}

Result DictionaryPublisher::Open(ConstSettingsView record) {
  std::vector<PreparedDictionary> dictionaries = Load(record);
  const size_t capacity = CapacityFor(DataSize(ListOf(dictionaries)));
  bool existed = false;
  const Result r = CreateOwnedBlock(block_, kDictionaryBlockNames, capacity == 0 ? kMaxBlockSize : capacity, &existed);
  if (r != Result::kSuccess) return r;
  // An existing block may be held by readers of an earlier loader: its data area counts as in use.
  inUse_ = existed ? Region{kDirectoryAreaSize, block_.viewSize()} : Region{};
  NoteCapacity();
  return Publish(std::move(dictionaries));
}

Result DictionaryPublisher::Reload(ConstSettingsView record) { return Publish(Load(record)); }

void DictionaryPublisher::Close() {
  CloseBlock(block_, false);
  ranking_.Close();
  nextRanking_.Close();
}

void DictionaryPublisher::PrepareRanking(const DictionaryList& dictionaries) {
  nextRanking_.Close();
  std::vector<const std::vector<uint8_t>*> files;
  for (const PreparedDictionary* d : dictionaries) files.push_back(&d->ranking);
  const std::vector<uint8_t> image = BuildRankingImage(files);
  if (image.empty()) return;
  // The generation is ours to choose: readers only look for the one the block will show.
  uint16_t generation = 0;
  if (CreatePublication(&RankingMappingName, generation_, image, &nextRanking_, &generation)) {
    generation_ = static_cast<uint16_t>(generation - 1);  // the image written next takes `generation`
  }
}

std::vector<PreparedDictionary> DictionaryPublisher::Load(ConstSettingsView record) const {
  const size_t count = record.dictionaryCount();
  std::vector<PreparedDictionary> out;
  out.reserve(count);
  size_t total = 0;
  for (size_t i = 0; i < count; ++i) {
    const std::u16string path = ResolveDictionaryPath(programFolder_, record.dictionary(i).path());
    std::vector<uint8_t> bytes;
    platform::OsError error = 0;
    if (path.empty() || readFile_(path, kMaxDictionaryFileSize, &bytes, &error) != platform::ReadStatus::kRead) {
      out.push_back(Placeholder(Result::kFileOpenFailed));
      continue;
    }
    PreparedDictionary d = PrepareDictionary(std::move(bytes));
    // All of them together must fit in the largest block; one that does not is left out like an
    // unreadable one rather than making every other one unavailable.
    const size_t size = d.bodySize() + kBodyAlignment;
    if (size > kMaxDictionaryFileSize - total) d = Placeholder(Result::kFileOpenFailed);
    total += d.bodySize() + kBodyAlignment;
    d.ranking = RankingFor(d, path, readFile_);
    out.push_back(std::move(d));
  }
  return out;
}

Result DictionaryPublisher::Regrow(size_t capacity, bool* fresh) {
  if (capacity == 0) capacity = kMaxBlockSize;  // more than any block holds: what fits is published
  // The name can only be made anew once nobody holds the old mapping; otherwise Create opens the old
  // one again. Readers open the block only while they hold its lock, and we hold it as the writer, so
  // no reader can find the name missing in between.
  block_.mapping.Close();
  bool existed = false;
  Result r = CreateOwnedMapping(block_, kDictionaryMappingName, capacity, &existed);
  if (r != Result::kSuccess) {
    // Try to get any block back so that readers find one.
    r = CreateOwnedMapping(block_, kDictionaryMappingName, kMinBlockCapacity, &existed);
    if (r == Result::kSuccess) {
      inUse_ = Region{};
      existed = false;
    }
  }
  *fresh = r == Result::kSuccess && !existed;
  if (*fresh) inUse_ = Region{};
  NoteCapacity();
  return r;
}

Result DictionaryPublisher::Publish(std::vector<PreparedDictionary> dictionaries) {
  if (!block_.mapping.mapped()) {
    bool fresh = false;
    const Result r = Regrow(kMinBlockCapacity, &fresh);
    if (r != Result::kSuccess) return r;
  }
  const DictionaryList all = ListOf(dictionaries);
  const size_t dataSize = DataSize(all);
  DictionaryList shown = all;  // made before the lock: nothing may fail half way through the image
  bool pending = false;
  PrepareRanking(all);
  {
    BlockWriteLock lock(block_);
    if (!lock) return Result::kWaitFailed;
    const Result r = PlaceImage(dataSize, &shown, &pending);
    if (r != Result::kSuccess) return r;
  }
  ranking_ = std::move(nextRanking_);
  const bool problem = AnyProblem(dictionaries) || pending;
  waiting_ = pending ? std::move(dictionaries) : std::vector<PreparedDictionary>();
  Published(pending);
  return Outcome(problem);
}

// Under the write lock: finds room for `dataSize` bytes beside the data that readers of the old
// directory may still use, growing the block when it can, and writes the image. When readers still
// hold a block too small for the new set, what fits is published and the rest stands empty
// (*pending); `shown` is changed to match.
Result DictionaryPublisher::PlaceImage(size_t dataSize, DictionaryList* shown, bool* pending) {
  size_t begin = 0;
  if (!PlaceBeside(block_.viewSize(), inUse_, dataSize, &begin)) {
    bool fresh = false;
    const Result r = Regrow(CapacityFor(dataSize), &fresh);
    if (r != Result::kSuccess) return r;
    // Still the old mapping (someone holds it): the new set may go over data of older directories.
    if (!PlaceBeside(block_.viewSize(), inUse_, dataSize, &begin) &&
        !PlaceBeside(block_.viewSize(), Region{}, dataSize, &begin)) {
      // Readers still hold a block too small for the new set, and a mapping cannot grow. Publish what
      // fits now, in its place; the rest stands empty until every old holder has let go (retried).
      *pending = true;
      size_t room = block_.viewSize() > kDirectoryAreaSize ? block_.viewSize() - kDirectoryAreaSize : 0;
      for (const PreparedDictionary*& d : *shown) {
        const size_t size = DataSize(*d);
        if (size <= room) {
          room -= size;
        } else {
          d = Waiting();
          room -= DataSize(*d) <= room ? DataSize(*d) : room;
        }
      }
      // Beside the data that readers of the old directory still use, when that much room is left.
      if (!PlaceBeside(block_.viewSize(), inUse_, DataSize(*shown), &begin)) begin = kDirectoryAreaSize;
    }
  }
  inUse_ = WriteImage(block_.view(), block_.viewSize(), *shown, begin, ++generation_);
  return Result::kSuccess;
}

Result DictionaryPublisher::RetryGrowth() {
  if (waiting_.empty()) return Result::kWaitFailed;
  const DictionaryList all = ListOf(waiting_);
  const size_t dataSize = DataSize(all);
  PrepareRanking(all);
  {
    BlockWriteLock lock(block_);
    if (!lock) return Result::kWaitFailed;
    bool fresh = false;
    size_t begin = 0;
    if (Regrow(CapacityFor(dataSize), &fresh) != Result::kSuccess || !fresh ||
        !PlaceBeside(block_.viewSize(), Region{}, dataSize, &begin)) {
      return Result::kWaitFailed;
    }
    inUse_ = WriteImage(block_.view(), block_.viewSize(), all, begin, ++generation_);
  }
  ranking_ = std::move(nextRanking_);
  const bool problem = AnyProblem(waiting_);
  waiting_.clear();
  Published(false);
  return Outcome(problem);
}

void DictionaryPublisher::Published(bool pending) {
  MutexLock lock(mutex_);
  growthPending_ = pending;
  ++publications_;
}

void DictionaryPublisher::NoteCapacity() {
  const size_t capacity = block_.viewSize();
  MutexLock lock(mutex_);
  capacity_ = capacity;
}

}  // namespace quillet::warden
