#include "platform/posix/object_table.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "common/mutex.h"
#include "common/utf16.h"
#include "platform/mapped_view.h"
#include "platform/named_objects.h"
#include "platform/posix/holders.h"
#include "platform/posix/scope.h"
#include "platform/posix/unique_fd.h"

namespace quillet::platform::posix {

namespace {

std::string TableShmName(const std::string& scope) { return "/quillet-objects-" + scope; }

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

void Initialise(Table* table, const std::string& scope) {
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

Table* OpenTable(const std::string& scope, OsError* error) {
  const UniqueFd fd(shm_open(TableShmName(scope).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
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

}  // namespace

Table* CurrentTable(OsError* error) {
  struct Current {
    Mutex mutex;
    std::string scope GUARDED_BY(mutex);
    Table* table GUARDED_BY(mutex) = nullptr;
  };
  // Never destroyed: handles may be closed from other static destructors and atexit handlers.
  static Current* current = new Current;
  MutexLock lock(current->mutex);
  // Tests switch the namespace between runs of a process; follow it.
  const std::string now = UserScope();
  if (current->table != nullptr && current->scope == now) return current->table;
  Table* opened = OpenTable(now, error);
  if (opened == nullptr) return nullptr;
  current->table = opened;
  current->scope = now;
  return opened;
}

TableLock::TableLock(Table* table) : table_(table) {
  int r = pthread_mutex_lock(&table_->mutex);
  if (r == EOWNERDEAD) {
    // A process died inside a table operation; each one leaves the table usable at every step.
    pthread_mutex_consistent(&table_->mutex);
    r = 0;
  }
  locked_ = (r == 0);
  error_ = r;
}

TableLock::~TableLock() {
  if (locked_) pthread_mutex_unlock(&table_->mutex);
}

std::string MappingShmName(const Table* t, uint32_t generation) {
  return "/quillet-" + std::string(t->scope) + "-m" + std::to_string(generation);
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

void FreeEntry(Table* t, Entry& e) {
  if (e.kind == kMappingKind) shm_unlink(MappingShmName(t, e.generation).c_str());
  const uint32_t generation = e.generation;
  std::memset(static_cast<void*>(&e), 0, sizeof(Entry));
  e.generation = generation;
}

Entry* Ref::Resolve(Kind kind) const {
  if (table == nullptr) return nullptr;
  Entry& e = table->entries[index];
  return (e.kind == kind && e.generation == generation) ? &e : nullptr;
}

bool Acquire(std::u16string_view name, Kind kind, bool create, bool* alreadyExisted, Ref* ref,
             const std::function<bool(Table*, Entry&, OsError*)>& initialise, OsError* error) {
  std::string utf8;
  if (!CheckName(name, &utf8, error)) return false;
  Table* t = CurrentTable(error);
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

}  // namespace quillet::platform::posix

namespace quillet::platform {

void DiscardTestNamespace() {
  const char* ns = std::getenv("QUILLET_NAMESPACE");
  if (ns == nullptr || *ns == '\0') return;
  OsError error = 0;
  posix::Table* t = posix::CurrentTable(&error);
  if (t == nullptr) return;
  {
    posix::TableLock lock(t);
    if (!lock.locked()) return;
    for (posix::Entry& e : t->entries) {
      if (e.kind == posix::kMappingKind) shm_unlink(posix::MappingShmName(t, e.generation).c_str());
    }
  }
  shm_unlink(posix::TableShmName(posix::UserScope()).c_str());
}

}  // namespace quillet::platform
