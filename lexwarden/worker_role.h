// The loader's worker role. One thread at a time changes the loader's blocks and kept files: the
// thread that runs Warden::Start() until the worker exists, then the job queue's worker thread, then
// the thread that runs Warden::Stop() once the worker has ended. What only that thread may touch is
// GUARDED_BY this role, and each of those three places takes the role up with Assume().
#pragma once

#include "common/mutex.h"

namespace quillet::warden {

inline constexpr ThreadRole kWorkerRole{};

}  // namespace quillet::warden
