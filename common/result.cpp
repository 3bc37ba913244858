#include "common/result.h"

namespace quillet {

const char* ResultMessage(Result r) {
  switch (r) {
    case Result::kSuccess:
      return "success";
    case Result::kGeneralFailure:
      return "general failure (index cannot be built, or the loader window is missing)";
    case Result::kEventFailed:
      return "an event could not be created or opened";
    case Result::kMappingCreateFailed:
      return "a file mapping could not be created";
    case Result::kMappingOpenFailed:
      return "a named file mapping could not be opened (is the loader running?)";
    case Result::kViewFailed:
      return "a mapping could not be viewed";
    case Result::kLoaderNotIdle:
      return "the loader did not become ready within 5000 ms";
    case Result::kWaitFailed:
      return "a lock or wait failed";
    case Result::kFileOpenFailed:
      return "a file could not be opened or created";
    case Result::kFileReadFailed:
      return "a file could not be read completely";
    case Result::kFileWriteFailed:
      return "a file write failed or was short";
    case Result::kFileSizeFailed:
      return "a file size could not be obtained";
    case Result::kLoaderStartFailed:
      return "the loader program could not be started";
    case Result::kLoaderPathFailed:
      return "the loader's path could not be built";
    case Result::kNoDictionary:
      return "the dictionary block holds no dictionary";
    case Result::kNoEntry:
      return "the word list yielded no entry";
    case Result::kOutOfMemory:
      return "out of memory";
    case Result::kNoByteOrderMark:
      return "the word list does not begin with the UTF-16LE byte-order mark";
    case Result::kLoaderNoAnswer:
      return "the loader did not answer within 5000 ms";
    case Result::kSinkAdviseFailed:
      return "a framework sink could not be advised";
    case Result::kMalformed:
      return "the dictionary is not well formed";
  }
  return "unknown result";
}

}  // namespace quillet
