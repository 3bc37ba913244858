// Blocks published inside this process under names no other process uses: the lookup command and the
// tests run the same sources and lock protocol as the text service, without a loader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/result.h"
#include "ipc/shared_block.h"

namespace quillet {

// Publishes a dictionary block image (the shared block layout: directory, then the dictionaries) into
// `block`, which must be closed. Its directory is built as the text service builds it: an entry that
// points outside the block gives an empty view. Result::kNoDictionary for an image without one.
Result PublishPrivateDictionaryBlock(const std::vector<uint8_t>& image, DictionaryBlock* block);
// The same for whole dictionary files, placed one after the other behind a directory.
Result PublishPrivateDictionaryFiles(const std::vector<std::vector<uint8_t>>& files, DictionaryBlock* block);
// Publishes a copy of a settings record (at least 15700 bytes) into `block`, which must be closed.
Result PublishPrivateSettingsBlock(const uint8_t* record, size_t size, SharedBlock* block);
// The same for the tabs' options (a record of kTabOptionsRecordSize bytes).
Result PublishPrivateTabOptionsBlock(const uint8_t* record, size_t size, SharedBlock* block);
// An empty learning inbox.
Result PublishPrivateLearnInbox(SharedBlock* block);

// The shared block image for whole dictionary files: each file's bytes after its header, directory
// offsets rebased to the block. Empty when there is no file, a file is shorter than its header, or
// the block would not be addressable with 32-bit offsets.
std::vector<uint8_t> DictionaryBlockImage(const std::vector<std::vector<uint8_t>>& files);

}  // namespace quillet
