// Result codes shared by every program and shown to the user in the text service's error tooltip.
// The numbers are fixed; an operation that relays the loader's own answer may carry other values.
#pragma once

#include <cstdint>

namespace quillet {

enum class [[nodiscard]] Result : int32_t{
    kSuccess = 0,
    kGeneralFailure = 1,       // index cannot be built; loader window missing or message failed
    kEventFailed = 2,          // an event could not be created or opened
    kMappingCreateFailed = 5,  // a file mapping (or memory image) could not be created
    kMappingOpenFailed = 6,    // a named file mapping could not be opened
    kViewFailed = 7,           // a mapping could not be viewed
    kLoaderNotIdle = 8,        // the started loader did not become idle within 5000 ms
    kWaitFailed = 9,           // a lock or wait failed or timed out
    kFileOpenFailed = 10,      // a file could not be opened or created
    kFileReadFailed = 11,      // a file could not be read completely
    kFileWriteFailed = 12,     // a file write failed or was short
    kFileSizeFailed = 13,      // a file size could not be obtained
    kLoaderStartFailed = 14,   // the loader process could not be started
    kLoaderPathFailed = 16,    // the loader's path could not be built
    kNoDictionary = 18,        // the dictionary block holds no dictionary
    kNoEntry = 19,             // a conversion produced no entry
    kOutOfMemory = 21,
    kNoByteOrderMark = 22,   // a word list does not begin with U+FEFF
    kLoaderNoAnswer = 25,    // the loader did not answer within 5000 ms
    kSinkAdviseFailed = 26,  // a framework sink could not be advised
    kMalformed = 27,         // a dictionary or record is not well formed (points outside its file)
};

inline int32_t ToInt(Result r) { return static_cast<int32_t>(r); }

// A short English explanation for messages on the command line; "unknown result" for others.
const char* ResultMessage(Result r);

}  // namespace quillet
