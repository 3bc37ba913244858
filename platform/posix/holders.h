// The holders of an object table entry: the processes with handles on it, told apart by pid and start
// time. A holder that died without closing (its pid gone, a zombie, or reused by a younger process) is
// dropped whenever its entry is looked up or a slot is needed. Internal to platform/posix/.
#pragma once

#include <sys/types.h>

#include <cstdint>

#include "platform/posix/object_table.h"

namespace quillet::platform::posix {

// What /proc says of a process: false when it does not exist. *startTime is 0 when unknown; *zombie
// is set when it has ended but has not been reaped.
bool ReadProcess(pid_t pid, uint64_t* startTime, bool* zombie);

// This process as a holder, with a count of 1.
Holder SelfHolder();
bool HolderAlive(const Holder& h);

// Called with the table locked.
// Counts a handle of this process on the entry; false when kMaxHolders other processes hold it.
bool AddHolder(Entry& e);
// Drops a handle of this process, then the entry when nobody holds it any more.
void RemoveHolder(Table* t, Entry& e) REQUIRES(t);
// Drops holders that died without closing; frees the entry when none is left. True when it lives.
bool ReapEntry(Table* t, Entry& e) REQUIRES(t);

}  // namespace quillet::platform::posix
