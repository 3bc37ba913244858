// One reader of the stress test, as a text service would read: it opens both blocks, searches and
// copies under the read lock, and reopens often. It checks that no section of the settings is ever
// seen half written and that every dictionary it reads through a current directory is whole.
// Parameters come from the environment: QUILLET_STRESS_DIR, QUILLET_STRESS_MS.
// Exit code: 0 all good, 1 a torn settings section, 2 a damaged dictionary, 3 never got to read.
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "common/le.h"
#include "common/utf16.h"
#include "ipc/shared_block.h"
#include "lexwarden/stress_common.h"
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

bool DirectoryCurrent(const DictionaryBlock& block) {
  const uint8_t* p = block.view();
  if (LoadU16(p + 2) != block.directory.size()) return false;
  for (size_t i = 0; i < block.directory.size(); ++i) {
    const DictHeader h = ReadDictHeader(p + 4 + 24 * i);
    const DictHeader& mine = block.directory[i].header();
    if (h.entryCount != mine.entryCount || h.positionTableOffset != mine.positionTableOffset ||
        h.keyAreaOffset != mine.keyAreaOffset || h.infoAreaOffset != mine.infoAreaOffset) {
      return false;
    }
  }
  return true;
}

}  // namespace

int main() {
  const std::u16string folder = platform::EnvironmentValue(u"QUILLET_STRESS_DIR");
  const long ms = std::stol("0" + ToUtf8(platform::EnvironmentValue(u"QUILLET_STRESS_MS")));
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  std::mt19937 rng(std::random_device{}());
  long settingsReads = 0, searches = 0, checked = 0, failedOpens = 0;
  int code = 0;

  while (code == 0 && std::chrono::steady_clock::now() < end) {
    SharedBlock settings;
    if (OpenSettingsBlock(settings) == Result::kSuccess) {
      for (int n = 0; n < 5 && code == 0; ++n) {
        SettingsRecord copy;
        {
          BlockReadLock lock(settings);
          if (!lock) continue;
          copy.CopyFrom(settings.view(), settings.viewSize());
        }
        ++settingsReads;
        if (!TabsWhole(copy.data()) || !DictionariesWhole(copy.data(), folder)) code = 1;
      }
    } else {
      ++failedOpens;
    }
    CloseBlock(settings, false);

    DictionaryBlock dict;
    const Result r = OpenDictionaryBlock(dict);
    if (r != Result::kSuccess) {
      ++failedOpens;
      continue;
    }
    uint16_t opened = 0;
    bool current = false;
    if (BlockReadLock lock(dict); lock) {
      current = DirectoryCurrent(dict);
      opened = LoadU16(dict.view());
    }
    // Several searches on one opening, as while typing one word; the loader may republish meanwhile.
    for (int n = 0; n < 8 && code == 0; ++n) {
      BlockReadLock lock(dict);
      if (!lock) continue;
      const uint16_t now = LoadU16(dict.view());
      // Views of the directory before the current one must still read whole; older ones may not.
      const bool mustBeWhole = current && static_cast<uint16_t>(now - opened) <= 1;
      for (const DictionaryView& v : dict.directory) {
        const bool whole = ViewWhole(v, rng);
        if (mustBeWhole && !whole) code = 2;
        checked += mustBeWhole ? 1 : 0;
      }
      ++searches;
    }
    CloseBlock(dict, false);
  }
  std::printf("settings reads %ld, searches %ld, dictionaries checked %ld, failed opens %ld, result %d\n",
              settingsReads, searches, checked, failedOpens, code);
  if (code == 0 && (settingsReads == 0 || checked == 0)) code = 3;
  return code;
}
