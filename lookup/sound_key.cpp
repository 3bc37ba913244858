#include "lookup/sound_key.h"

#include <algorithm>
#include <cstring>
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

// One letter where it stands in the word, with what is around it.
struct Spot {
  const char* w;
  size_t n;
  size_t i;
  char at(size_t k) const { return k < n ? w[k] : '\0'; }
  char c() const { return w[i]; }
  char before() const { return i > 0 ? w[i - 1] : '\0'; }
  char next() const { return at(i + 1); }
  char after() const { return at(i + 2); }
  bool last() const { return i + 1 == n; }
  // "sh" sounds of t, c and s before i and a or o (nation, special, mission); not at the start.
  bool shBeforeI() const { return i > 0 && next() == 'i' && (after() == 'a' || after() == 'o'); }
};

// Where the first letter is silent (knee, gnome, pneumonia, write, psalm), the sounds start at the
// second; an x there sounds as s.
size_t SoundsOfStart(const char* w, size_t n, Sounds& out) {
  if (n >= 2 && (((w[0] == 'k' || w[0] == 'g' || w[0] == 'p') && w[1] == 'n') || (w[0] == 'w' && w[1] == 'r') ||
                 (w[0] == 'p' && w[1] == 's'))) {
    return 1;
  }
  if (n >= 1 && w[0] == 'x') {
    out.Add(kS);
    return 1;
  }
  return 0;
}

void SoundOfVowel(const Spot& s, Sounds& out) {
  if (s.c() == 'e' && s.last() && s.i > 0 && !VowelOrY(s.before()) && std::any_of(s.w, s.w + s.i - 1, VowelOrY)) {
    return;  // silent final e
  }
  out.Add(s.c() == 'y' && s.i == 0 && Vowel(s.next()) ? kY : kVowel);
}

// The letters whose sound depends on their neighbours; returns how many letters were read.
size_t SoundOfContextual(const Spot& s, Sounds& out) {
  const char nx = s.next(), nx2 = s.after();
  switch (s.c()) {
    case 'b':
      if (!(s.last() && s.before() == 'm')) out.Add(kB);
      return 1;
    case 'c':
      if (nx == 'h') {
        out.Add(s.before() == 's' || nx2 == 'r' || nx2 == 'l' ? kK : kSh);
        return 2;
      }
      if (s.shBeforeI()) {
        out.Add(kSh);
        return 2;
      }
      out.Add(Soft(nx) ? kS : kK);
      return 1;
    case 'd':
      if (!(nx == 'g' && Soft(nx2))) out.Add(kD);
      return 1;
    case 'g':
      if (nx == 'h') {
        if (s.i == 0) out.Add(kG);
        if (s.i + 2 == s.n && s.before() == 'u') out.Add(kF);
        return 2;
      }
      if (!(nx == 'n' && s.i + 2 == s.n)) out.Add(Soft(nx) ? kJ : kG);
      return 1;
    case 'h':
      if ((s.i == 0 || VowelOrY(s.before())) && VowelOrY(nx)) out.Add(kH);
      return 1;
    case 'p':
      out.Add(nx == 'h' ? kF : kP);
      return nx == 'h' ? 2 : 1;
    case 'q':
      out.Add(kK);
      if (nx != 'u') return 1;
      out.Add(kW);
      return 2;
    case 's':
      if (nx == 'h' || s.shBeforeI()) {
        out.Add(kSh);
        return 2;
      }
      out.Add(kS);
      return 1;
    case 't':
      if (nx == 'h' || s.shBeforeI()) {
        out.Add(nx == 'h' ? kTh : kSh);
        return 2;
      }
      if (!(nx == 'c' && nx2 == 'h')) out.Add(kT);
      return 1;
    case 'w':
      if (nx == 'h' || VowelOrY(nx)) out.Add(kW);
      return nx == 'h' ? 2 : 1;
    default:
      return 1;
  }
}

// The letters that always sound the same.
void SoundOfPlain(char c, Sounds& out) {
  switch (c) {
    case 'f':
      out.Add(kF);
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
    case 'r':
      out.Add(kR);
      break;
    case 'v':
      out.Add(kV);
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
}

uint64_t KeyOfLetters(const char* w, size_t n) {
  Sounds out;
  size_t i = SoundsOfStart(w, n, out);
  while (i < n) {
    const Spot spot{w, n, i};
    const char c = spot.c();
    if (!VowelOrY(c) && c != 'c' && spot.next() == c) {  // a doubled consonant is one (cc may be two)
      ++i;
    } else if (VowelOrY(c)) {
      SoundOfVowel(spot, out);
      ++i;
    } else if (std::strchr("bcdghpqstw", c) != nullptr) {
      i += SoundOfContextual(spot, out);
    } else {
      SoundOfPlain(c, out);
      ++i;
    }
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
