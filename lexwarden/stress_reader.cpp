// One reader of the stress test, as a text service would read: it opens what the loader publishes,
// searches, takes up new publications and reopens often, never taking a lock. It checks that no
// section of the settings is ever seen half written and that every dictionary it reads is whole.
// Parameters come from the environment: QUILLET_STRESS_DIR, QUILLET_STRESS_MS.
// Every sound index it is given must be one of the dictionary beside it.
// Exit code: 0 all good, 1 a torn settings section, 2 a damaged dictionary, 3 never got to read, 4 a
// sound index of another dictionary, or none ever.
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "common/utf16.h"
#include "lexwarden/stress_common.h"
#include "lookup/published_data.h"
#include "lookup/sound_key.h"
#include "platform/user_data.h"

namespace {

using namespace quillet;
using namespace quillet::warden::stress;

std::u16string Key(const std::u16string& prefix, size_t i) {
  std::u16string digits = u"0000000";
  for (size_t k = digits.size(); k-- > 0; i /= 10) digits[k] = static_cast<char16_t>(u'0' + i % 10);
  return prefix + digits;
}

// True when the view is one of the stress dictionaries (or an empty placeholder), checked at a few
// entries; every read is bounds-checked whatever the content.
bool ViewWhole(const DictionaryView& v, std::mt19937& rng) {
  if (v.entryCount() == 0) return true;
  TextRef first;
  if (!v.Key(0, &first) || first.length < 2) return false;
  const std::u16string prefix = first.ToString().substr(0, 2);
  for (const StressDictionary& d : kDictionaries) {
    if (prefix != d.prefix) continue;
    if (v.entryCount() != d.count) return false;
    for (int n = 0; n < 20; ++n) {
      const uint32_t i = rng() % d.count;
      TextRef key;
      if (!v.Key(i, &key) || key.ToString() != Key(prefix, i)) return false;
      InfoRef info;
      const bool hasInfo = v.Info(i, &info);
      if (hasInfo != (i % 3 == 0)) return false;
      if (hasInfo && info.display.ToString() != u"D" + Key(prefix, i)) return false;
    }
    return true;
  }
  return false;
}

// True when the index is one of the stress dictionary beside it: every key has a sound, and all of a
// dictionary's keys sound alike (a prefix, then digits).
bool SoundsWhole(const DictionaryView& v, const SoundIndexView& sounds) {
  TextRef first;
  if (sounds.count() != v.entryCount() || !v.Key(0, &first)) return false;
  const size_t expected = v.entryCount() < 20 ? v.entryCount() : 20;
  return SoundAlikes(v, sounds, SoundKey(first), 20).size() == expected;
}

}  // namespace

int main() {
  const std::u16string folder = platform::EnvironmentValue(u"QUILLET_STRESS_DIR");
  const long ms = std::stol("0" + ToUtf8(platform::EnvironmentValue(u"QUILLET_STRESS_MS")));
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  std::mt19937 rng(std::random_device{}());
  long settingsReads = 0, searches = 0, checked = 0, failedOpens = 0, sounds = 0;
  int code = 0;

  while (code == 0 && std::chrono::steady_clock::now() < end) {
    PublishedData published;
    if (published.Open() != Result::kSuccess) {
      ++failedOpens;
      continue;
    }
    // Several searches on one opening, as while typing; the loader may publish meanwhile, which
    // the reader takes up now and then, as a text service does at a new word.
    for (int n = 0; n < 8 && code == 0; ++n) {
      if (n % 3 == 2) published.Refresh();
      ++settingsReads;
      if (!TabsWhole(published.settings()) || !DictionariesWhole(published.settings(), folder)) code = 1;
      for (size_t i = 0; i < published.directory().size(); ++i) {
        const DictionaryView& v = published.directory()[i];
        if (!ViewWhole(v, rng)) code = 2;
        ++checked;
        if (const SoundIndexView* index = published.sounds(i); index != nullptr && code == 0) {
          if (!SoundsWhole(v, *index)) code = 4;
          ++sounds;
        }
      }
      ++searches;
    }
  }
  std::printf(
      "settings reads %ld, searches %ld, dictionaries checked %ld (%ld sound indexes), failed opens %ld, "
      "result %d\n",
      settingsReads, searches, checked, sounds, failedOpens, code);
  if (code == 0 && (settingsReads == 0 || checked == 0)) code = 3;
  if (code == 0 && sounds == 0) code = 4;
  return code;
}
