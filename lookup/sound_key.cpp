#include "lookup/sound_key.h"

#include <algorithm>
#include <utility>

#include "common/rank_view.h"
#include "common/utf16.h"

namespace quillet {
namespace {

enum Sound : uint8_t { kVowel = 1, kB, kP, kF, kV, kK, kG, kJ, kS, kT, kD, kTh, kSh, kL, kM, kN, kR, kW, kH, kY };

constexpr size_t kSoundBits = 5;
// Enough letters for twelve sounds in any word people type; longer keys sound alike by their start.
constexpr size_t kMaxLetters = 64;

bool Vowel(char c) { return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u'; }
bool VowelOrY(char c) { return Vowel(c) || c == 'y'; }
bool Soft(char c) { return c == 'e' || c == 'i' || c == 'y'; }

class Sounds {
 public:
  void Add(Sound s) {
    if (s == last_ || count_ == kSoundKeyLength) return;
    key_ |= uint64_t{s} << (kSoundBits * (kSoundKeyLength - 1 - count_));
    ++count_;
    last_ = s;
  }
  uint64_t key() const { return key_; }

 private:
  uint64_t key_ = 0;
  size_t count_ = 0;
  uint8_t last_ = 0;
};

uint64_t KeyOfLetters(const char* w, size_t n) {
  Sounds out;
  const auto at = [&](size_t k) { return k < n ? w[k] : '\0'; };
  size_t i = 0;
  if (n >= 2 && (((w[0] == 'k' || w[0] == 'g' || w[0] == 'p') && w[1] == 'n') || (w[0] == 'w' && w[1] == 'r') ||
                 (w[0] == 'p' && w[1] == 's'))) {
    i = 1;
  } else if (n >= 1 && w[0] == 'x') {
    out.Add(kS);
    i = 1;
  }
  while (i < n) {
    const char c = w[i], p = i > 0 ? w[i - 1] : '\0', nx = at(i + 1), nx2 = at(i + 2);
    const bool last = i + 1 == n;
    // "sh" sounds of t, c and s before i and a or o (nation, special, mission); not at the start.
    const bool shBeforeI = i > 0 && nx == 'i' && (nx2 == 'a' || nx2 == 'o');
    if (!VowelOrY(c) && c != 'c' && nx == c) {  // a doubled consonant is one (cc may be two)
      ++i;
      continue;
    }
    size_t step = 1;
    switch (c) {
      case 'a':
      case 'i':
      case 'o':
      case 'u':
        out.Add(kVowel);
        break;
      case 'e':
        if (last && i > 0 && !VowelOrY(p) && std::any_of(w, w + i - 1, VowelOrY)) break;  // silent final e
        out.Add(kVowel);
        break;
      case 'y':
        out.Add(i == 0 && Vowel(nx) ? kY : kVowel);
        break;
      case 'b':
        if (!(last && p == 'm')) out.Add(kB);
        break;
      case 'c':
        if (nx == 'h') {
          out.Add(p == 's' || nx2 == 'r' || nx2 == 'l' ? kK : kSh);
          step = 2;
        } else if (shBeforeI) {
          out.Add(kSh);
          step = 2;
        } else {
          out.Add(Soft(nx) ? kS : kK);
        }
        break;
      case 'd':
        if (!(nx == 'g' && Soft(nx2))) out.Add(kD);
        break;
      case 'f':
        out.Add(kF);
        break;
      case 'g':
        if (nx == 'h') {
          if (i == 0) out.Add(kG);
          if (i + 2 == n && p == 'u') out.Add(kF);
          step = 2;
        } else if (!(nx == 'n' && i + 2 == n)) {
          out.Add(Soft(nx) ? kJ : kG);
        }
        break;
      case 'h':
        if ((i == 0 || VowelOrY(p)) && VowelOrY(nx)) out.Add(kH);
        break;
      case 'j':
        out.Add(kJ);
        break;
      case 'k':
        out.Add(kK);
        break;
      case 'l':
        out.Add(kL);
        break;
      case 'm':
        out.Add(kM);
        break;
      case 'n':
        out.Add(kN);
        break;
      case 'p':
        if (nx == 'h') {
          out.Add(kF);
          step = 2;
        } else {
          out.Add(kP);
        }
        break;
      case 'q':
        out.Add(kK);
        if (nx == 'u') {
          out.Add(kW);
          step = 2;
        }
        break;
      case 'r':
        out.Add(kR);
        break;
      case 's':
        if (nx == 'h' || shBeforeI) {
          out.Add(kSh);
          step = 2;
        } else {
          out.Add(kS);
        }
        break;
      case 't':
        if (nx == 'h') {
          out.Add(kTh);
          step = 2;
        } else if (shBeforeI) {
          out.Add(kSh);
          step = 2;
        } else if (!(nx == 'c' && nx2 == 'h')) {
          out.Add(kT);
        }
        break;
      case 'v':
        out.Add(kV);
        break;
      case 'w':
        if (nx == 'h') {
          out.Add(kW);
          step = 2;
        } else if (VowelOrY(nx)) {
          out.Add(kW);
        }
        break;
      case 'x':
        out.Add(kK);
        out.Add(kS);
        break;
      case 'z':
        out.Add(kS);
        break;
      default:
        break;
    }
    i += step;
  }
  return out.key();
}

template <typename Text>
uint64_t KeyOf(const Text& word, size_t length) {
  char letters[kMaxLetters];
  size_t n = 0;
  for (size_t i = 0; i < length && n < kMaxLetters; ++i) {
    const char16_t c = FoldLower(word[i]);
    if (c >= u'a' && c <= u'z') letters[n++] = static_cast<char>(c);
  }
  return KeyOfLetters(letters, n);
}

uint64_t EntryKey(const DictionaryView& dictionary, uint32_t entry) {
  TextRef key;
  return dictionary.Key(entry, &key) ? SoundKey(key) : 0;
}

}  // namespace

uint64_t SoundKey(std::u16string_view word) { return KeyOf(word, word.size()); }
uint64_t SoundKey(const TextRef& word) { return KeyOf(word, word.length); }

size_t SoundCount(uint64_t key) {
  size_t n = 0;
  while (n < kSoundKeyLength && ((key >> (kSoundBits * (kSoundKeyLength - 1 - n))) & 31) != 0) ++n;
  return n;
}

std::vector<uint8_t> BuildSoundIndex(const DictionaryView& dictionary) {
  std::vector<std::pair<uint64_t, uint32_t>> keyed;
  keyed.reserve(dictionary.entryCount());
  for (uint32_t i = 0; i < dictionary.entryCount(); ++i) {
    const uint64_t key = EntryKey(dictionary, i);
    if (key != 0) keyed.emplace_back(key, i);
  }
  std::sort(keyed.begin(), keyed.end());
  std::vector<uint32_t> order(keyed.size());
  for (size_t k = 0; k < keyed.size(); ++k) order[k] = keyed[k].second;
  keyed = {};
  return EncodeSoundIndex(DictionaryFingerprint(dictionary), dictionary.entryCount(), order);
}

std::vector<uint8_t> BuildSoundImage(const std::vector<DictionaryView>& directory) {
  std::vector<std::vector<uint8_t>> indexes(directory.size());
  std::vector<const std::vector<uint8_t>*> parts(directory.size(), nullptr);
  for (size_t i = 0; i < directory.size(); ++i) {
    if (directory[i].entryCount() == 0) continue;
    indexes[i] = BuildSoundIndex(directory[i]);
    parts[i] = &indexes[i];
  }
  return EncodeSoundImage(parts);
}

std::vector<uint32_t> SoundAlikes(const DictionaryView& dictionary, const SoundIndexView& index, uint64_t key,
                                  size_t limit) {
  std::vector<uint32_t> found;
  // Entries that cannot be read sound like nothing; a damaged order still ends in a range.
  const auto keyAt = [&](uint32_t k) { return EntryKey(dictionary, index.EntryAt(k)); };
  uint32_t first = 0, last = index.count();
  while (first < last) {
    const uint32_t mid = first + (last - first) / 2;
    if (keyAt(mid) < key) {
      first = mid + 1;
    } else {
      last = mid;
    }
  }
  for (uint32_t k = first; k < index.count() && found.size() < limit; ++k) {
    if (keyAt(k) != key) break;
    found.push_back(index.EntryAt(k));
  }
  return found;
}

}  // namespace quillet
