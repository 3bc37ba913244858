#include "lexwarden/warden.h"

#include <chrono>
#include <cstring>
#include <utility>

#include "common/boundary.h"
#include "lexwarden/instance.h"
#include "platform/process.h"
#include "platform/user_data.h"

namespace quillet::warden {

namespace {

bool IsAbsolute(std::u16string_view p) {
  if (!p.empty() && (p[0] == u'/' || p[0] == u'\\')) return true;
  return p.size() >= 2 && p[1] == u':' && ((p[0] >= u'A' && p[0] <= u'Z') || (p[0] >= u'a' && p[0] <= u'z'));
}

bool AllZero(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}

Result CreateMapping(SharedBlock& block, std::u16string_view name, size_t size, bool* existed) {
  platform::OsError error = 0;
  if (!block.mapping.Create(name, size, existed, &error)) {
    block.lastError = error;
    return Result::kMappingCreateFailed;
  }
  if (!block.mapping.Map(&error)) {
    block.lastError = error;
    block.mapping.Close();
    return Result::kViewFailed;
  }
  return Result::kSuccess;
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

}  // namespace

std::u16string ResolveDictionaryPath(const std::u16string& programFolder, std::u16string_view stored) {
  std::u16string path(stored);
  for (char16_t& c : path) {
    if (c == u'\\') c = u'/';
  }
  if (path.empty() || IsAbsolute(path)) return path;
  return platform::JoinPath(programFolder, path);
}

Warden::Warden(WardenOptions options) : options_(std::move(options)), store_(options_.settingsPath) {}

Warden::~Warden() { Stop(); }

Result Warden::status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

size_t Warden::dictionaryCapacity() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return capacity_;
}

bool Warden::growthPending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return growthPending_;
}

uint64_t Warden::publications() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return publications_;
}

void Warden::SetStatus(Result status) {
  std::lock_guard<std::mutex> lock(mutex_);
  status_ = status;
}

Result Warden::Start() {
  LoadedSettings loaded = store_.Load();
  settingsOrigin_ = loaded.origin;
  settingsAside_ = loaded.asidePath;
  lastSaved_ = loaded.record;
  fileHolds_ = loaded.origin == SettingsOrigin::kFile;

  bool settingsExisted = false;
  Result r = CreateSettingsBlock(&settingsExisted);
  if (r == Result::kSuccess) {
    // The block outlives a loader while a text service holds it; what it holds then is newer than
    // the file (a settings sheet may have written it after the last save), so it is kept.
    r = PublishSettings(settingsExisted);
  }
  SettingsRecord record;
  if (r == Result::kSuccess && !ReadRecordFromBlock(&record)) r = Result::kWaitFailed;
  if (r == Result::kSuccess) {
    std::vector<PreparedDictionary> dictionaries = LoadDictionaries(record);
    r = CreateDictionaryBlock(CapacityFor(DataSize(ListOf(dictionaries))));
    if (r == Result::kSuccess) r = Publish(std::move(dictionaries));
  }
  if (r != Result::kSuccess && r != Result::kFileOpenFailed) {
    SetStatus(r);
    return r;
  }
  worker_ = std::thread([this] { WorkerLoop(); });
  return status();
}

Result Warden::CreateSettingsBlock(bool* existed) {
  Result r = CreateBlockEvents(settings_, kSettingsBlockNames);
  if (r != Result::kSuccess) return r;
  r = CreateMapping(settings_, kSettingsMappingName, kSettingsRecordSize, existed);
  if (r == Result::kSuccess && settings_.viewSize() < kSettingsRecordSize) r = Result::kViewFailed;
  return r;
}

Result Warden::CreateDictionaryBlock(size_t capacity) {
  Result r = CreateBlockEvents(dictionary_, kDictionaryBlockNames);
  if (r != Result::kSuccess) return r;
  bool existed = false;
  r = CreateMapping(dictionary_, kDictionaryMappingName, capacity == 0 ? kMaxBlockSize : capacity, &existed);
  if (r != Result::kSuccess) return r;
  // An existing block may be held by readers of an earlier loader: its data area counts as in use.
  inUse_ = existed ? Region{kDirectoryAreaSize, dictionary_.viewSize()} : Region{};
  std::lock_guard<std::mutex> lock(mutex_);
  capacity_ = dictionary_.viewSize();
  return Result::kSuccess;
}

Result Warden::PublishSettings(bool adoptExisting) {
  BlockWriteLock lock(settings_);
  if (!lock) return Result::kWaitFailed;
  // An adopted record stays as it is; Stop() or the next save writes it to the file.
  uint8_t* block = settings_.view();
  if (!adoptExisting || AllZero(block, kSettingsRecordSize)) std::memcpy(block, lastSaved_.data(), kSettingsRecordSize);
  return Result::kSuccess;
}

bool Warden::ReadRecordFromBlock(SettingsRecord* record) {
  if (!settings_.mapping.mapped()) return false;
  BlockReadLock lock(settings_);
  if (!lock) return false;
  record->CopyFrom(settings_.view(), kSettingsRecordSize);
  return true;
}

std::vector<PreparedDictionary> Warden::LoadDictionaries(const SettingsRecord& record) const {
  const ConstSettingsView view = record.view();
  const size_t count = view.dictionaryCount();
  std::vector<PreparedDictionary> out;
  out.reserve(count);
  size_t total = 0;
  for (size_t i = 0; i < count; ++i) {
    const std::u16string path = ResolveDictionaryPath(options_.programFolder, view.dictionary(i).path());
    std::vector<uint8_t> bytes;
    platform::OsError error = 0;
    if (path.empty() ||
        options_.readFile(path, kMaxDictionaryFileSize, &bytes, &error) != platform::ReadStatus::kRead) {
      out.push_back(Placeholder(Result::kFileOpenFailed));
      continue;
    }
    PreparedDictionary d = PrepareDictionary(std::move(bytes));
    // All of them together must fit in the largest block; one that does not is left out like an
    // unreadable one rather than making every other one unavailable.
    const size_t size = d.bodySize() + kBodyAlignment;
    if (size > kMaxDictionaryFileSize - total) d = Placeholder(Result::kFileOpenFailed);
    total += d.bodySize() + kBodyAlignment;
    out.push_back(std::move(d));
  }
  return out;
}

Result Warden::Regrow(size_t capacity, bool* fresh) {
  if (capacity == 0) capacity = kMaxBlockSize;  // more than any block holds: what fits is published
  // The name can only be made anew once nobody holds the old mapping; otherwise Create opens the old
  // one again. Readers open the block only while they hold its lock, and we hold it as the writer, so
  // no reader can find the name missing in between.
  dictionary_.mapping.Close();
  bool existed = false;
  Result r = CreateMapping(dictionary_, kDictionaryMappingName, capacity, &existed);
  if (r != Result::kSuccess) {
    // Try to get any block back so that readers find one.
    r = CreateMapping(dictionary_, kDictionaryMappingName, kMinBlockCapacity, &existed);
    if (r == Result::kSuccess) {
      inUse_ = Region{};
      existed = false;
    }
  }
  *fresh = r == Result::kSuccess && !existed;
  if (*fresh) inUse_ = Region{};
  std::lock_guard<std::mutex> lock(mutex_);
  capacity_ = dictionary_.viewSize();
  return r;
}

Result Warden::Publish(std::vector<PreparedDictionary> dictionaries) {
  if (!dictionary_.mapping.mapped()) {
    bool fresh = false;
    const Result r = Regrow(kMinBlockCapacity, &fresh);
    if (r != Result::kSuccess) return r;
  }
  const DictionaryList all = ListOf(dictionaries);
  const size_t dataSize = DataSize(all);
  DictionaryList shown = all;  // made before the lock: nothing may fail half way through the image
  bool pending = false;
  {
    BlockWriteLock lock(dictionary_);
    if (!lock) return Result::kWaitFailed;
    const Result r = PlaceImage(dataSize, &shown, &pending);
    if (r != Result::kSuccess) return r;
  }

  const bool problem = AnyProblem(dictionaries) || pending;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    growthPending_ = pending;
    ++publications_;
    status_ = problem ? Result::kFileOpenFailed : Result::kSuccess;
  }
  published_ = pending ? std::move(dictionaries) : std::vector<PreparedDictionary>();
  return problem ? Result::kFileOpenFailed : Result::kSuccess;
}

// Under the write lock: finds room for `dataSize` bytes beside the data that readers of the old
// directory may still use, growing the block when it can, and writes the image. When readers still
// hold a block too small for the new set, what fits is published and the rest stands empty
// (*pending); `shown` is changed to match.
Result Warden::PlaceImage(size_t dataSize, DictionaryList* shown, bool* pending) {
  size_t begin = 0;
  if (!PlaceBeside(dictionary_.viewSize(), inUse_, dataSize, &begin)) {
    bool fresh = false;
    const Result r = Regrow(CapacityFor(dataSize), &fresh);
    if (r != Result::kSuccess) return r;
    // Still the old mapping (someone holds it): the new set may go over data of older directories.
    if (!PlaceBeside(dictionary_.viewSize(), inUse_, dataSize, &begin) &&
        !PlaceBeside(dictionary_.viewSize(), Region{}, dataSize, &begin)) {
      // Readers still hold a block too small for the new set, and a mapping cannot grow. Publish what
      // fits now, in its place; the rest stands empty until every old holder has let go (retried).
      *pending = true;
      size_t room = dictionary_.viewSize() > kDirectoryAreaSize ? dictionary_.viewSize() - kDirectoryAreaSize : 0;
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
      if (!PlaceBeside(dictionary_.viewSize(), inUse_, DataSize(*shown), &begin)) begin = kDirectoryAreaSize;
    }
  }
  inUse_ = WriteImage(dictionary_.view(), dictionary_.viewSize(), *shown, begin, ++generation_);
  return Result::kSuccess;
}

void Warden::RetryGrowth() {
  if (published_.empty()) return;
  const DictionaryList all = ListOf(published_);
  const size_t dataSize = DataSize(all);
  {
    BlockWriteLock lock(dictionary_);
    if (!lock) return;
    bool fresh = false;
    size_t begin = 0;
    if (Regrow(CapacityFor(dataSize), &fresh) == Result::kSuccess && fresh &&
        PlaceBeside(dictionary_.viewSize(), Region{}, dataSize, &begin)) {
      inUse_ = WriteImage(dictionary_.view(), dictionary_.viewSize(), all, begin, ++generation_);
      std::lock_guard<std::mutex> guard(mutex_);
      growthPending_ = false;
      ++publications_;
      status_ = AnyProblem(published_) ? Result::kFileOpenFailed : Result::kSuccess;
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (!growthPending_) published_.clear();
}

Result Warden::SaveFromBlock(bool asked) {
  SettingsRecord record;
  if (!ReadRecordFromBlock(&record)) return Result::kWaitFailed;
  const bool same = std::memcmp(record.data(), lastSaved_.data(), kSettingsRecordSize) == 0;
  // Asked to keep the record, the file is written unless it already holds exactly this; on the way
  // out only a changed record is (first-run defaults need no file).
  if (same && (fileHolds_ || !asked)) return Result::kSuccess;
  platform::OsError error = 0;
  const Result r = store_.Save(record, &error);
  if (r == Result::kSuccess) {
    lastSaved_ = record;
    fileHolds_ = true;
  }
  return r;
}

// A lock that could not be had is tried again later (*retry); other failures would only repeat.
void Warden::RunJobs(Jobs jobs, Jobs* retry) {
  if (jobs.save) retry->save = SaveFromBlock(true) == Result::kWaitFailed;
  if (jobs.reload) {
    SettingsRecord record;
    retry->reload = !ReadRecordFromBlock(&record) || Publish(LoadDictionaries(record)) == Result::kWaitFailed;
  }
}

void Warden::WorkerLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (pending_.save || pending_.reload) {
      const Jobs jobs = pending_;
      pending_ = Jobs{};
      const uint64_t batch = requested_;
      lock.unlock();
      Jobs retry;
      // The worker thread's boundary. A job that throws (an allocation failure reading a large
      // dictionary, say) leaves the blocks as they were published and is not tried again, as it
      // would fail the same way; the handshake reports it until a later job succeeds.
      const bool ran = AtBoundary([&] { RunJobs(jobs, &retry); });
      lock.lock();
      if (!ran) status_ = Result::kOutOfMemory;
      pending_.save = pending_.save || retry.save;
      pending_.reload = pending_.reload || retry.reload;
      retryJobs_ = retry.save || retry.reload;
      completed_ = batch;
      done_.notify_all();
      if (retryJobs_) wake_.wait_for(lock, std::chrono::milliseconds(kRetryIntervalMs), [this] { return stopping_; });
      continue;
    }
    if (growthPending_) {
      if (!wake_.wait_for(lock, std::chrono::milliseconds(kRetryIntervalMs),
                          [this] { return stopping_ || pending_.save || pending_.reload; })) {
        lock.unlock();
        AtBoundary([this] { RetryGrowth(); });  // a failure is tried again like a lock held too long
        lock.lock();
      }
      continue;
    }
    wake_.wait(lock, [this] { return stopping_ || pending_.save || pending_.reload; });
  }
}

// 0x800B: the current state of the blocks (0, or the code of what went wrong last).
// 0x800A: wParam nonzero keeps the record of the block in the settings file; lParam nonzero loads the
// dictionaries of the record again and republishes them. The reply (0) is not used by senders.
// Anything else: 0.
intptr_t Warden::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == kLoaderHandshakeMessage) return ToInt(status());
  if (message != kLoaderReloadMessage || (wParam == 0 && lParam == 0)) return 0;
  std::unique_lock<std::mutex> lock(mutex_);
  if (!worker_.joinable() || stopping_) return 0;
  pending_.save = pending_.save || wParam != 0;
  pending_.reload = pending_.reload || lParam != 0;
  const uint64_t ticket = ++requested_;
  wake_.notify_all();
  done_.wait_for(lock, std::chrono::milliseconds(kReplyBudgetMs), [&] { return completed_ >= ticket || stopping_; });
  return 0;
}

void Warden::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
    done_.notify_all();
  }
  if (worker_.joinable()) worker_.join();
  // Also run from the destructor, where nothing may be thrown: a record that cannot be saved for
  // lack of memory is lost like one that cannot be written.
  if (settings_.mapping.mapped()) AtBoundary([this] { SaveFromBlock(false); });
  CloseBlock(settings_, false);
  CloseBlock(dictionary_, false);
}

int RunLoader(std::u16string_view commandLine, void (*serving)(platform::LoaderChannel*)) {
  Presence presence;
  if (!presence.Acquire(StartedByLink(commandLine))) return 0;

  Warden warden({platform::ModuleFolder(), SettingsStore::DefaultPath()});
  warden.Start();
  platform::LoaderChannel channel;
  platform::OsError error = 0;
  // The message handler runs inside the window procedure on Windows: nothing may leave it.
  const auto handler = [&](uint32_t m, uintptr_t w, intptr_t l) {
    return AtBoundary<intptr_t>(ToInt(Result::kOutOfMemory), [&] { return warden.HandleMessage(m, w, l); });
  };
  const bool created = channel.Create(handler, &error);
  // Given back only now: a starter waiting on it then finds the window.
  presence.ReleaseStartLock();
  int code = 1;
  if (created) {
    if (serving != nullptr) serving(&channel);
    code = channel.Run();
    if (serving != nullptr) serving(nullptr);
  }
  warden.Stop();
  return code;
}

}  // namespace quillet::warden
