// Sound keys: what an English word sounds like, roughly, so that "fonetik" finds "phonetic". Our own
// small rule set, applied left to right over the letters a to z (anything else is ignored):
//
//   vowels       a e i o u, and y except before a vowel at the start, are one vowel sound; a run of
//                them is one; a final e after a consonant is silent when a vowel comes before it
//   silent       k g p before n at the start (knee, gnome, pneumonia), w before r at the start, p
//                before s at the start, b after m at the end, g before a final n, gh except at the
//                start and after u at the end, h except at the start or between vowels, w except
//                before a vowel, d and t before a soft g or ch (edge, match)
//   one sound    ph f gh(end, after u) are F; c k q ck are K, c before e i y is S (sc as one S);
//                s z are S, x at the start is S and elsewhere K S; g before e i y and j are J; th is
//                one sound; sh, ch (K before r or l and after s), and t c s before i and a or o
//                (nation, special, mission) are one sound; qu is K W; wh is W
//   letters      b p d t f v l m n r keep their own sounds; a doubled consonant is one (except cc,
//                which is K S before e i y)
//
// Equal sounds in a row are one. The key keeps the first 12 sounds, 5 bits each from the top, so keys
// compare as the sound sequences do; 0 means no sound at all.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "common/dictionary_view.h"
#include "common/sound_index.h"

namespace quillet {

constexpr size_t kSoundKeyLength = 12;

uint64_t SoundKey(std::u16string_view word);
uint64_t SoundKey(const TextRef& word);
// The number of sounds in a key.
size_t SoundCount(uint64_t key);

// The sound index of a dictionary (see common/sound_index.h): entries with any sound, sorted by sound
// key, then by entry. Throws std::bad_alloc when out of memory (it needs 16 bytes per entry while it
// sorts).
std::vector<uint8_t> BuildSoundIndex(const DictionaryView& dictionary);
// The sound image of a dictionary block (EncodeSoundImage): the sound index of each dictionary that
// has entries, by position. Empty when none has. Throws std::bad_alloc as BuildSoundIndex does.
std::vector<uint8_t> BuildSoundImage(const std::vector<DictionaryView>& directory);

// The entries whose key has the sound key `key`, in index order, at most `limit` of them; every one
// checked against the dictionary (an entry number beyond it, or a key that does not sound so, is
// left out).
std::vector<uint32_t> SoundAlikes(const DictionaryView& dictionary, const SoundIndexView& index, uint64_t key,
                                  size_t limit);

}  // namespace quillet
