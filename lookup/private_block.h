// Publications made inside this process, read exactly as the loader's are: the lookup command and the
// tests run the same sources as the text service without a loader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/result.h"
#include "ipc/shared_block.h"
#include "lookup/published_data.h"

namespace quillet {

// A dictionary block image (directory, then the dictionaries) as the dictionary publication.
// Result::kNoDictionary for an image without one.
Result PublishPrivateDictionaryBlock(std::vector<uint8_t> image, PublishedData* published);
// The same for whole dictionary files, placed one after the other behind a directory.
Result PublishPrivateDictionaryFiles(const std::vector<std::vector<uint8_t>>& files, PublishedData* published);
// The sound index of each dictionary handed over before, made here as the loader makes it, as the
// sound-index publication (none when no dictionary has entries). Throws std::bad_alloc as
// BuildSoundIndex does.
Result PublishPrivateSoundIndexes(PublishedData* published);
// A copy of a settings record (at least 15700 bytes) as the settings publication.
Result PublishPrivateSettings(const uint8_t* record, size_t size, PublishedData* published);
// The same for the options (a record of kOptionsRecordSize bytes).
Result PublishPrivateOptions(const uint8_t* record, size_t size, PublishedData* published);
// An empty learning inbox in `block`, which must be closed: a block with its lock, under names no other
// process uses.
Result PublishPrivateLearnInbox(SharedBlock* block);

}  // namespace quillet
