// The object table behind named events and mappings on POSIX, which gives them the Windows semantics
// the rest of the system relies on. Internal to platform/posix/.
//
// All objects of one user (and test namespace) are listed in one table in POSIX shared memory,
// guarded by a robust process-shared mutex. An entry holds the object's name, kind, state and the
// processes that have handles on it (holders.h); an object whose last holder is gone is freed, and a
// mapping's shared-memory object is unlinked with it. Waiters on events sleep on a futex word in the
// table that every state change bumps, and re-check the state under the mutex.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/thread_annotations.h"
#include "platform/error.h"

namespace quillet::platform::posix {

constexpr uint32_t kTableMagic = 0x51544233;  // bump when the table layout changes
constexpr size_t kMaxObjects = 96;
constexpr size_t kMaxHolders = 32;  // distinct processes per object
constexpr size_t kMaxNameBytes = 127;

enum Kind : uint32_t { kFree = 0, kEventKind = 1, kMappingKind = 2 };

struct Holder {
  int32_t pid;
  uint32_t count;      // handles of this process on the object
  uint64_t startTime;  // of the process, in clock ticks since boot; tells a reused pid apart
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
// The table is itself the capability that TableLock holds and the operations below require.
struct CAPABILITY("object table") Table {
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

// The table of the current user scope (which tests switch between runs), made the first time;
// nullptr with *error set when it cannot be had. It stays mapped for the rest of the process.
Table* CurrentTable(OsError* error);

// Holds the table's mutex. A process that died holding it leaves it to the next locker, which makes it
// consistent again: every table operation leaves the table usable at each step. For the analysis the
// table counts as held also when locking failed: callers test locked() and leave at once.
class SCOPED_CAPABILITY TableLock {
 public:
  explicit TableLock(Table* table) ACQUIRE(table);
  ~TableLock() RELEASE();
  TableLock(const TableLock&) = delete;
  TableLock& operator=(const TableLock&) = delete;
  bool locked() const { return locked_; }
  int error() const { return error_; }

 private:
  Table* table_;
  bool locked_ = false;
  int error_ = 0;
};

// The rest is called with the table locked.

// The POSIX shared-memory object of a mapping entry.
std::string MappingShmName(const Table* t, uint32_t generation);
// The live entry of that name (dead holders dropped on the way), or nullptr.
Entry* Find(Table* t, const std::string& name) REQUIRES(t);
// A free slot for a new entry, after freeing entries whose holders all died; nullptr when full.
Entry* Allocate(Table* t, const std::string& name, Kind kind) REQUIRES(t);
// Clears the entry (unlinking a mapping's object); its generation stays, so old references miss it.
void FreeEntry(Table* t, Entry& e) REQUIRES(t);

// A handle's reference to its entry: index plus the generation it was made for.
struct Ref {
  Table* table = nullptr;
  size_t index = 0;
  uint32_t generation = 0;

  Entry* Resolve(Kind kind) const;
};

// Opens (create=false) or creates-or-opens the entry of `kind` named `name` and registers this process
// as a holder; takes the lock itself. `initialise` prepares a new entry (false: it is freed again).
// Errors: EINVAL or ENAMETOOLONG for a bad name, EEXIST for a name of another kind, ENOENT when
// opening a missing one, ENFILE for a full table, EMFILE when kMaxHolders processes hold it already.
bool Acquire(std::u16string_view name, Kind kind, bool create, bool* alreadyExisted, Ref* ref,
             const std::function<bool(Table*, Entry&, OsError*)>& initialise, OsError* error);
// Drops this process's handle on the entry; takes the lock itself. `ref` is cleared.
void Release(Ref& ref, Kind kind);

}  // namespace quillet::platform::posix
