// Helpers shared by the loader's tests: private folders, files, and a namespace of named objects of
// their own so that they never meet a loader the user runs (or another test).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/files_testing.h"

namespace quillet::warden::testing {

using quillet::testing::Exists;
using quillet::testing::ListFolder;
using quillet::testing::ReadBytes;
using quillet::testing::TempFolder;
using quillet::testing::WriteBytes;

// Sets QUILLET_NAMESPACE to a value no other process uses; children started afterwards inherit it.
void UseFreshNamespace();

// keys "<prefix>0000000", "<prefix>0000001", ... in order; display texts on every third entry.
std::vector<uint8_t> MakeDictionary(const std::u16string& prefix, size_t count);
// The same keys without any info text.
std::vector<uint8_t> MakePlainDictionary(const std::u16string& prefix, size_t count);

}  // namespace quillet::warden::testing
