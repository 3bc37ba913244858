// Named events and mappings on POSIX, with the Windows semantics the rest of the system relies on.
//
// All objects of one user (and test namespace) are listed in one "object table" in POSIX shared
// memory, guarded by a robust process-shared mutex. An entry holds the object's name, kind, state and
// the processes that have handles on it (pid, start time, handle count). A holder that died without
// closing is noticed (its pid is gone, a zombie, or reused by a younger process) and dropped whenever
// the entry is looked up or a slot is needed; an object whose last holder is gone is freed, and a
// mapping's shared-memory object is unlinked with it. Waiters sleep on a futex word that every
// state change bumps, and re-check the state under the mutex.
#include "platform/named_objects.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>

#include "common/utf16.h"
#include "platform/mapped_view.h"
#include "platform/posix/scope.h"
#include "platform/posix/unique_fd.h"

namespace quillet::platform {

namespace {

using posix::UniqueFd;

constexpr uint32_t kTableMagic = 0x51544233;  // bump when the table layout changes
constexpr size_t kMaxObjects = 96;
constexpr size_t kMaxHolders = 32;  // distinct processes per object
constexpr size_t kMaxNameBytes = 127;

enum Kind : uint32_t { kFree = 0, kEventKind = 1, kMappingKind = 2 };

struct Holder {
  int32_t pid;
  uint32_t count;
  uint64_t startTime;
};

struct Entry {
  uint32_t kind;
  uint32_t generation;
  uint32_t manualReset;
  uint32_t signalled;
  uint64_t mappingSize;
  char name[kMaxNameBytes + 1];
  Holder holders[kMaxHolders];
};

// Shared only between processes of this same build on one machine; never stored or sent elsewhere.
struct Table {
  std::atomic<uint32_t> magic;
  uint32_t tableSize;
  pthread_mutex_t mutex;
  std::atomic<uint32_t> sequence;  // futex word
  uint32_t sleepers;               // waiters between their check and their wake-up; may overcount
  uint32_t nextGeneration;
  char scope[96];  // names this table's mapping objects
  Entry entries[kMaxObjects];
};

static_assert(std::atomic<uint32_t>::is_always_lock_free, "futex word must be a plain 32-bit value");
static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t), "futex word must be a plain 32-bit value");

// Start time of a process in clock ticks since boot, 0 when unknown; *zombie when it has ended
// but not been reaped. False when the process does not exist.
bool ReadProcess(pid_t pid, uint64_t* startTime, bool* zombie) {
  char path[64];
  std::snprintf(path, sizeof(path), "/proc/%d/stat", static_cast<int>(pid));
  const UniqueFd f(open(path, O_RDONLY | O_CLOEXEC));
  if (!f) {
    if (errno == ENOENT) return false;
    // No /proc to ask: fall back to the existence test alone.
    *startTime = 0;
    *zombie = false;
    return kill(pid, 0) == 0 || errno == EPERM;
  }
  char buffer[1024];
  size_t n = 0;
  while (n < sizeof(buffer) - 1) {
    const ssize_t k = read(f.get(), buffer + n, sizeof(buffer) - 1 - n);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) break;
    n += static_cast<size_t>(k);
  }
  buffer[n] = '\0';
  // The command name may hold anything, so fields are counted after its closing parenthesis.
  const char* p = std::strrchr(buffer, ')');
  *startTime = 0;
  *zombie = false;
  if (p == nullptr || p[1] == '\0') return true;
  p += 2;  // now at field 3, the state
  *zombie = (*p == 'Z' || *p == 'X' || *p == 'x');
  for (int field = 3; field < 22 && *p != '\0'; ++p) {
    if (*p == ' ') ++field;
  }
  *startTime = std::strtoull(p, nullptr, 10);
  return true;
}

int32_t SelfPid() { return static_cast<int32_t>(getpid()); }

uint64_t SelfStartTime() {
  static const uint64_t value = [] {
    uint64_t start = 0;
    bool zombie = false;
    ReadProcess(getpid(), &start, &zombie);
    return start;
  }();
  return value;
}

bool HolderAlive(const Holder& h) {
  if (h.pid == SelfPid()) return h.startTime == SelfStartTime();
  uint64_t start = 0;
  bool zombie = false;
  if (!ReadProcess(h.pid, &start, &zombie)) return false;
  if (zombie) return false;
  return h.startTime == 0 || start == 0 || start == h.startTime;
}

std::string MappingShmName(const Table* t, uint32_t generation) {
  return "/quillet-" + std::string(t->scope) + "-m" + std::to_string(generation);
}

// Holds the table file's lock for the table's set-up. Given back explicitly: the table's mapping keeps
// the file open, and with it a lock that closing the descriptor alone would leave held.
class SetUpLock {
 public:
  explicit SetUpLock(int fd) : fd_(fd), held_(flock(fd, LOCK_EX) == 0) {}
  ~SetUpLock() {
    if (held_) flock(fd_, LOCK_UN);
  }
  SetUpLock(const SetUpLock&) = delete;
  SetUpLock& operator=(const SetUpLock&) = delete;
  bool held() const { return held_; }

 private:
  int fd_;
  bool held_;
};

class TableRef {
 public:
  static Table* Get(OsError* error) {
    // Never destroyed: handles may be closed from other static destructors and atexit handlers.
    static std::mutex* guard = new std::mutex;
    static std::string* scope = new std::string;
    static Table* table = nullptr;
    std::lock_guard<std::mutex> lock(*guard);
    // Tests switch the namespace between runs of a process; follow it.
    const std::string now = posix::UserScope();
    if (table != nullptr && *scope == now) return table;
    Table* opened = Open(now, error);
    if (opened == nullptr) return nullptr;
    table = opened;
    *scope = now;
    return table;
  }

 private:
  static Table* Open(const std::string& scope, OsError* error) {
    const std::string name = "/quillet-objects-" + scope;
    const UniqueFd fd(shm_open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd) {
      *error = static_cast<OsError>(errno);
      return nullptr;
    }
    // The lock on the file serialises first-time set-up; it goes away if the process doing it dies,
    // and the next one then finds no magic and starts over.
    const SetUpLock setUp(fd.get());
    struct stat st;
    if (!setUp.held() || fstat(fd.get(), &st) != 0) {
      *error = static_cast<OsError>(errno);
      return nullptr;
    }
    if (st.st_uid != geteuid() || (st.st_mode & 077) != 0) {
      *error = static_cast<OsError>(EACCES);  // somebody else's object under our name
      return nullptr;
    }
    if (static_cast<size_t>(st.st_size) < sizeof(Table) && ftruncate(fd.get(), sizeof(Table)) != 0) {
      *error = static_cast<OsError>(errno);
      return nullptr;
    }
    void* p = mmap(nullptr, sizeof(Table), PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (p == MAP_FAILED) {
      *error = static_cast<OsError>(errno);
      return nullptr;
    }
    MappedView view(p, sizeof(Table));
    auto* table = static_cast<Table*>(p);
    if (table->magic.load() != kTableMagic) {
      Initialise(table, scope);
    } else if (table->tableSize != sizeof(Table)) {
      *error = static_cast<OsError>(EPROTO);  // a different build's table
      return nullptr;
    }
    view.Release();  // mapped for the rest of the process: handles may be closed from static destructors
    return table;
  }

  static void Initialise(Table* table, const std::string& scope) {
    std::memset(static_cast<void*>(table), 0, sizeof(Table));
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutex_init(&table->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    table->tableSize = sizeof(Table);
    std::snprintf(table->scope, sizeof(table->scope), "%s", scope.c_str());
    // Generations name mapping objects; starting from the clock keeps them apart from leftovers.
    table->nextGeneration = static_cast<uint32_t>(std::time(nullptr));
    table->magic.store(kTableMagic);
  }
};

class TableLock {
 public:
  explicit TableLock(Table* table) : table_(table) {
    int r = pthread_mutex_lock(&table_->mutex);
    if (r == EOWNERDEAD) {
      // A process died inside a table operation; each one leaves the table usable at every step.
      pthread_mutex_consistent(&table_->mutex);
      r = 0;
    }
    locked_ = (r == 0);
    error_ = r;
  }
  ~TableLock() {
    if (locked_) pthread_mutex_unlock(&table_->mutex);
  }
  bool locked() const { return locked_; }
  int error() const { return error_; }
  void Unlock() {
    if (locked_) pthread_mutex_unlock(&table_->mutex);
    locked_ = false;
  }

 private:
  Table* table_;
  bool locked_ = false;
  int error_ = 0;
};

void FreeEntry(Table* t, Entry& e) {
  if (e.kind == kMappingKind) shm_unlink(MappingShmName(t, e.generation).c_str());
  const uint32_t generation = e.generation;
  std::memset(static_cast<void*>(&e), 0, sizeof(Entry));
  e.generation = generation;
}

// Drops holders that died without closing; frees the entry when none is left. True when it lives.
bool ReapEntry(Table* t, Entry& e) {
  if (e.kind == kFree) return false;
  bool any = false;
  for (Holder& h : e.holders) {
    if (h.pid == 0) continue;
    if (h.count == 0 || !HolderAlive(h)) {
      h = Holder{};
    } else {
      any = true;
    }
  }
  if (!any) FreeEntry(t, e);
  return any;
}

Entry* Find(Table* t, const std::string& name) {
  for (Entry& e : t->entries) {
    if (e.kind != kFree && std::strncmp(e.name, name.c_str(), sizeof(e.name)) == 0) {
      return ReapEntry(t, e) ? &e : nullptr;
    }
  }
  return nullptr;
}

Entry* Allocate(Table* t, const std::string& name, Kind kind) {
  Entry* slot = nullptr;
  for (Entry& e : t->entries) {
    if (e.kind != kFree) ReapEntry(t, e);
    if (e.kind == kFree && slot == nullptr) slot = &e;
  }
  if (slot == nullptr) return nullptr;
  slot->kind = kind;
  slot->generation = ++t->nextGeneration;
  std::memcpy(slot->name, name.data(), name.size());
  slot->name[name.size()] = '\0';
  return slot;
}

bool AddHolder(Entry& e) {
  const int32_t pid = SelfPid();
  const uint64_t start = SelfStartTime();
  for (Holder& h : e.holders) {
    if (h.pid == pid && h.startTime == start) {
      ++h.count;
      return true;
    }
  }
  for (Holder& h : e.holders) {
    if (h.pid == 0) {
      h = Holder{pid, 1, start};
      return true;
    }
  }
  return false;
}

void RemoveHolder(Table* t, Entry& e) {
  const int32_t pid = SelfPid();
  const uint64_t start = SelfStartTime();
  for (Holder& h : e.holders) {
    if (h.pid == pid && h.startTime == start) {
      if (--h.count == 0) h = Holder{};
      break;
    }
  }
  ReapEntry(t, e);
}

// Called with the table locked.
void WakeAll(Table* t) {
  t->sequence.fetch_add(1);
  if (t->sleepers == 0) return;  // the common case: a lock released with nobody waiting
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(&t->sequence), FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

bool CheckName(std::u16string_view name, std::string* out, OsError* error) {
  *out = ToUtf8(name);
  if (out->empty()) {
    *error = static_cast<OsError>(EINVAL);
    return false;
  }
  if (out->size() > kMaxNameBytes || out->find('\0') != std::string::npos) {
    *error = static_cast<OsError>(ENAMETOOLONG);
    return false;
  }
  return true;
}

// A handle's reference to its entry: index plus the generation it was made for.
struct Ref {
  Table* table = nullptr;
  size_t index = 0;
  uint32_t generation = 0;

  Entry* Resolve(Kind kind) const {
    if (table == nullptr) return nullptr;
    Entry& e = table->entries[index];
    return (e.kind == kind && e.generation == generation) ? &e : nullptr;
  }
};

// Opens (create=false) or creates-or-opens an entry of `kind` and registers this process as a holder.
bool Acquire(std::u16string_view name, Kind kind, bool create, bool* alreadyExisted, Ref* ref,
             const std::function<bool(Table*, Entry&, OsError*)>& initialise, OsError* error) {
  std::string utf8;
  if (!CheckName(name, &utf8, error)) return false;
  Table* t = TableRef::Get(error);
  if (t == nullptr) return false;
  TableLock lock(t);
  if (!lock.locked()) {
    *error = static_cast<OsError>(lock.error());
    return false;
  }
  Entry* e = Find(t, utf8);
  bool existed = e != nullptr;
  if (existed && e->kind != kind) {
    *error = static_cast<OsError>(EEXIST);  // the name belongs to an object of another kind
    return false;
  }
  if (!existed) {
    if (!create) {
      *error = static_cast<OsError>(ENOENT);
      return false;
    }
    e = Allocate(t, utf8, kind);
    if (e == nullptr) {
      *error = static_cast<OsError>(ENFILE);
      return false;
    }
    if (initialise && !initialise(t, *e, error)) {
      FreeEntry(t, *e);
      return false;
    }
  }
  if (!AddHolder(*e)) {
    if (!existed) FreeEntry(t, *e);
    *error = static_cast<OsError>(EMFILE);
    return false;
  }
  if (alreadyExisted != nullptr) *alreadyExisted = existed;
  ref->table = t;
  ref->index = static_cast<size_t>(e - t->entries);
  ref->generation = e->generation;
  return true;
}

void Release(Ref& ref, Kind kind) {
  if (ref.table == nullptr) return;
  TableLock lock(ref.table);
  if (lock.locked()) {
    if (Entry* e = ref.Resolve(kind)) RemoveHolder(ref.table, *e);
  }
  ref = Ref{};
}

}  // namespace

struct Event::Impl {
  Ref ref;
  ~Impl() { Release(ref, kEventKind); }
};

Event::Event() : impl_(std::make_unique<Impl>()) {}
Event::~Event() = default;
Event::Event(Event&&) noexcept = default;
Event& Event::operator=(Event&&) noexcept = default;

bool Event::CreateOrOpen(std::u16string_view name, bool manualReset, bool initiallySignalled, bool* alreadyExisted,
                         OsError* error) {
  Close();
  auto init = [&](Table*, Entry& e, OsError*) {
    e.manualReset = manualReset ? 1 : 0;
    e.signalled = initiallySignalled ? 1 : 0;
    return true;
  };
  return Acquire(name, kEventKind, true, alreadyExisted, &impl_->ref, init, error);
}

bool Event::Open(std::u16string_view name, OsError* error) {
  Close();
  return Acquire(name, kEventKind, false, nullptr, &impl_->ref, nullptr, error);
}

bool Event::valid() const { return impl_ && impl_->ref.table != nullptr; }

namespace {

bool SetState(Ref& ref, bool signalled) {
  if (ref.table == nullptr) {
    errno = EBADF;
    return false;
  }
  TableLock lock(ref.table);
  if (!lock.locked()) {
    errno = lock.error();
    return false;
  }
  Entry* e = ref.Resolve(kEventKind);
  if (e == nullptr) {
    errno = EIDRM;
    return false;
  }
  e->signalled = signalled ? 1 : 0;
  if (signalled) WakeAll(ref.table);
  return true;
}

// Waits until every listed event is signalled at once, then takes them all (auto-reset ones reset).
WaitResult WaitFor(Ref* const* refs, size_t count, uint32_t timeoutMs, OsError* error) {
  Table* t = refs[0]->table;
  for (size_t i = 0; i < count; ++i) {
    if (refs[i]->table == nullptr || refs[i]->table != t) {
      *error = static_cast<OsError>(EBADF);
      return WaitResult::kFailed;
    }
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  bool slept = false;
  for (;;) {
    uint32_t seen;
    timespec ts{};
    timespec* timeout = nullptr;
    {
      TableLock lock(t);
      if (!lock.locked()) {
        *error = static_cast<OsError>(lock.error());
        return WaitResult::kFailed;
      }
      // A waiter that died asleep leaves the count high: that costs wake-ups, never a lost one.
      if (slept && t->sleepers > 0) --t->sleepers;
      slept = false;
      bool all = true;
      for (size_t i = 0; i < count; ++i) {
        Entry* e = refs[i]->Resolve(kEventKind);
        if (e == nullptr) {
          *error = static_cast<OsError>(EIDRM);
          return WaitResult::kFailed;
        }
        if (e->signalled == 0) all = false;
      }
      if (all) {
        for (size_t i = 0; i < count; ++i) {
          Entry* e = refs[i]->Resolve(kEventKind);
          if (e->manualReset == 0) e->signalled = 0;
        }
        return WaitResult::kSignalled;
      }
      if (timeoutMs != kInfinite) {
        const auto left =
            std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
          *error = static_cast<OsError>(ETIMEDOUT);
          return WaitResult::kTimedOut;
        }
        ts.tv_sec = static_cast<time_t>(left / 1000000000);
        ts.tv_nsec = static_cast<long>(left % 1000000000);
        timeout = &ts;
      }
      seen = t->sequence.load();
      ++t->sleepers;
      slept = true;
    }
    // Returns at once when the word moved since we looked; spurious wake-ups just re-check.
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&t->sequence), FUTEX_WAIT, seen, timeout, nullptr, 0);
  }
}

}  // namespace

bool Event::Set() { return impl_ && SetState(impl_->ref, true); }
bool Event::Reset() { return impl_ && SetState(impl_->ref, false); }

void Event::Close() {
  if (!impl_) {
    impl_ = std::make_unique<Impl>();
    return;
  }
  Release(impl_->ref, kEventKind);
}

WaitResult Wait(Event& event, uint32_t timeoutMs, OsError* error) {
  if (!event.valid()) {
    *error = static_cast<OsError>(EBADF);
    return WaitResult::kFailed;
  }
  Ref* refs[1] = {&event.impl_->ref};
  return WaitFor(refs, 1, timeoutMs, error);
}

WaitResult WaitAll(Event& a, Event& b, uint32_t timeoutMs, OsError* error) {
  if (!a.valid() || !b.valid()) {
    *error = static_cast<OsError>(EBADF);
    return WaitResult::kFailed;
  }
  Ref* refs[2] = {&a.impl_->ref, &b.impl_->ref};
  return WaitFor(refs, 2, timeoutMs, error);
}

struct Mapping::Impl {
  Ref ref;
  UniqueFd fd;
  MappedView view;

  void Close() {
    view.Reset();
    fd.Reset();
    Release(ref, kMappingKind);
  }
  ~Impl() { Close(); }
};

Mapping::Mapping() : impl_(std::make_unique<Impl>()) {}
Mapping::~Mapping() = default;
Mapping::Mapping(Mapping&&) noexcept = default;
Mapping& Mapping::operator=(Mapping&&) noexcept = default;

bool Mapping::Create(std::u16string_view name, size_t size, bool* alreadyExisted, OsError* error) {
  Close();
  if (size == 0) {
    *error = static_cast<OsError>(EINVAL);
    return false;
  }
  UniqueFd fd;
  // The entry and its shared-memory object come and go together, under the table's lock.
  auto init = [&](Table* t, Entry& e, OsError* err) {
    const std::string shm = MappingShmName(t, e.generation);
    fd.Reset(shm_open(shm.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd && errno == EEXIST) {
      shm_unlink(shm.c_str());  // a leftover of an earlier table
      fd.Reset(shm_open(shm.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    }
    if (!fd) {
      *err = static_cast<OsError>(errno);
      return false;
    }
    if (ftruncate(fd.get(), static_cast<off_t>(size)) != 0) {
      *err = static_cast<OsError>(errno);
      fd.Reset();
      shm_unlink(shm.c_str());
      return false;
    }
    e.mappingSize = size;
    return true;
  };
  bool existed = false;
  if (!Acquire(name, kMappingKind, true, &existed, &impl_->ref, init, error)) return false;
  if (alreadyExisted != nullptr) *alreadyExisted = existed;
  if (existed) {
    fd.Reset(shm_open(MappingShmName(impl_->ref.table, impl_->ref.generation).c_str(), O_RDWR | O_CLOEXEC, 0));
    if (!fd) {
      *error = static_cast<OsError>(errno);
      Release(impl_->ref, kMappingKind);
      return false;
    }
  }
  impl_->fd = std::move(fd);
  return true;
}

bool Mapping::Open(std::u16string_view name, OsError* error) {
  Close();
  if (!Acquire(name, kMappingKind, false, nullptr, &impl_->ref, nullptr, error)) return false;
  UniqueFd fd(shm_open(MappingShmName(impl_->ref.table, impl_->ref.generation).c_str(), O_RDWR | O_CLOEXEC, 0));
  if (!fd) {
    *error = static_cast<OsError>(errno);
    Release(impl_->ref, kMappingKind);
    return false;
  }
  impl_->fd = std::move(fd);
  return true;
}

bool Mapping::Map(OsError* error) {
  if (!impl_ || !impl_->fd) {
    *error = static_cast<OsError>(EBADF);
    return false;
  }
  if (impl_->view.valid()) return true;
  struct stat st;
  if (fstat(impl_->fd.get(), &st) != 0) {
    *error = static_cast<OsError>(errno);
    return false;
  }
  if (st.st_size <= 0) {
    *error = static_cast<OsError>(EINVAL);
    return false;
  }
  const size_t size = static_cast<size_t>(st.st_size);
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, impl_->fd.get(), 0);
  if (p == MAP_FAILED) {
    *error = static_cast<OsError>(errno);
    return false;
  }
  impl_->view = MappedView(p, size);
  return true;
}

uint8_t* Mapping::data() const { return impl_ ? impl_->view.data() : nullptr; }
size_t Mapping::size() const { return impl_ ? impl_->view.size() : 0; }

void Mapping::Unmap() {
  if (impl_) impl_->view.Reset();
}

void Mapping::Close() {
  if (!impl_) {
    impl_ = std::make_unique<Impl>();
    return;
  }
  impl_->Close();
}

void DiscardTestNamespace() {
  const char* ns = std::getenv("QUILLET_NAMESPACE");
  if (ns == nullptr || *ns == '\0') return;
  OsError error = 0;
  Table* t = TableRef::Get(&error);
  if (t == nullptr) return;
  {
    TableLock lock(t);
    if (!lock.locked()) return;
    for (Entry& e : t->entries) {
      if (e.kind == kMappingKind) shm_unlink(MappingShmName(t, e.generation).c_str());
    }
  }
  shm_unlink(("/quillet-objects-" + posix::UserScope()).c_str());
}

}  // namespace quillet::platform
