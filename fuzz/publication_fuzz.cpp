// What the loader publishes, over random bytes: the index of publications, the dictionary block's
// directory as every reader reads it, sound indexes beside a dictionary, and the loader's own
// preparation of a dictionary file, the block it writes from it and the sound indexes it makes of
// that block. Reads stay inside what they are given; an index written reads back what was written; a
// file the loader takes comes back out of the block it writes key for key, with a sound index made for
// it at its position.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "common/dictionary_view.h"
#include "common/publication_index.h"
#include "common/sound_index.h"
#include "fuzz/model_dictionary.h"
#include "lexwarden/block_image.h"
#include "lookup/sound_key.h"

namespace {

using namespace quillet;

// Reads what a lookup would read of a few entries; the views check every offset.
void Touch(const DictionaryView& v) {
  const uint32_t n = v.entryCount() < 8 ? v.entryCount() : 8;
  for (uint32_t i = 0; i < n; ++i) {
    TextRef key;
    InfoRef info;
    if (v.Key(i, &key) && key.length > 0) (void)key[key.length - 1];
    (void)v.Info(i, &info);
  }
  IndexNode root;
  if (v.hasIndex()) (void)v.Node(0, &root);
}

// Every key the file holds comes out of the block the same. (A damaged key that runs past its file's
// end may read on into what follows it in the block: still inside the block, never outside.)
bool SameKeys(const DictionaryView& block, const DictionaryView& file) {
  if (block.entryCount() != file.entryCount()) return false;
  for (uint32_t i = 0; i < file.entryCount(); ++i) {
    TextRef x, y;
    if (file.Key(i, &y) && (!block.Key(i, &x) || x.ToString() != y.ToString())) return false;
  }
  return true;
}

// What a forgiving lookup reads of a sound index over the dictionary beside it.
void Touch(const DictionaryView& v, const SoundIndexView& sounds) {
  (void)sounds.MadeFor(v);
  TextRef key;
  const uint32_t probes[] = {0, v.entryCount() / 2, sounds.EntryAt(0)};
  for (uint32_t i : probes) {
    if (v.Key(i, &key)) (void)SoundAlikes(v, sounds, SoundKey(key), 4);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The index, in aligned memory as a mapping is.
  std::vector<uint32_t> aligned((size + 3) / 4 + kPublicationIndexSize / 4, 0);
  auto* index = reinterpret_cast<uint8_t*>(aligned.data());
  std::memcpy(index, data, size);
  PublishedGenerations read;
  if (ReadPublicationIndex(index, size, &read) && read.of.size() != kPublicationKinds) __builtin_trap();
  PublishedGenerations written;
  for (size_t k = 0; k < kPublicationKinds; ++k) written.of[k] = static_cast<uint16_t>(size * (k + 1));
  WritePublicationIndex(index, kPublicationIndexSize, written);
  if (!ReadPublicationIndex(index, kPublicationIndexSize, &read) || read != written) __builtin_trap();

  // The input as a dictionary block, as text services read it.
  for (const DictionaryView& v : ReadDictionaryDirectory(data, size)) Touch(v);

  // The input as a dictionary file the loader reads: prepared, placed beside a placeholder, read back.
  warden::PreparedDictionary file = warden::PrepareDictionary(std::vector<uint8_t>(data, data + size));
  const warden::PreparedDictionary missing = warden::Placeholder(Result::kFileOpenFailed);
  const warden::DictionaryList list{&file, &missing, &file};
  const size_t imageSize = warden::ImageSize(list);
  if (imageSize == 0) return 0;
  std::vector<uint8_t> block(imageSize);
  warden::WriteImage(block.data(), block.size(), list, 7);
  const std::vector<DictionaryView> directory = ReadDictionaryDirectory(block.data(), block.size());
  if (directory.size() != 3 || directory[1].entryCount() != 0) __builtin_trap();
  DictionaryView original;
  if (!file.placeholder()) {
    if (!DictionaryView::FromFile(data, size, &original)) __builtin_trap();
    if (!SameKeys(directory[0], original) || !SameKeys(directory[2], original)) __builtin_trap();
  } else if (directory[0].entryCount() != 0) {
    __builtin_trap();
  }

  // The sound indexes the loader makes of that block: one made for each dictionary with entries.
  const std::vector<uint8_t> soundImage = BuildSoundImage(directory);
  const std::vector<std::optional<SoundIndexView>> made = ReadSoundImage(soundImage.data(), soundImage.size());
  for (size_t i = 0; i < directory.size(); ++i) {
    const bool expected = directory[i].entryCount() != 0;
    if ((i < made.size() && made[i]) != expected) __builtin_trap();
    if (expected && (!made[i]->MadeFor(directory[i]) || made[i]->count() > directory[i].entryCount())) {
      __builtin_trap();
    }
  }
  // The input as a sound image beside a dictionary, as text services read it (they look up only in
  // one made for the dictionary; any other is read here too).
  for (const std::optional<SoundIndexView>& given : ReadSoundImage(data, size)) {
    if (given) Touch(fuzz::TheModelDictionary().view, *given);
  }
  return 0;
}
