// The prefix index: 26-way nodes over runs of entries that share a prefix, made depth first.
#pragma once

#include <vector>

#include "common/dict_format.h"
#include "common/dictionary_view.h"
#include "common/result.h"

namespace quillet::lexforge {

// Builds the node table for the entries of `view` (only its position table and keys are read).
// At most entryCount / 100 nodes are made; groups below 100 entries, and groups reached when the table
// is full, stay unindexed. kGeneralFailure when the entry count is beyond what node numbers can
// address, kOutOfMemory when the table cannot be allocated. Keys need not be sorted; the result is
// then still deterministic, but readers will not find every entry.
Result BuildIndex(const DictionaryView& view, std::vector<IndexNode>* nodes);

}  // namespace quillet::lexforge
