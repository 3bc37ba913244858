// Forgiving matching: the latency of a keystroke (the next letter and the first page of matches) and
// how often the word meant is found, on real misspellings. Prints figures; asserts nothing.
//
//   forgiving_bench [english.dict] [misspellings]
//
// The words typed are the misspellings that tools/mistake_costs holds out of the cost table (every
// tenth usable pair of Debian's codespell list), typed letter by letter. Dictionaries: (a) the English
// dictionary (the given file, else <bin>/english.dict); (b) 5,000,000 entries: its keys and compounds
// of two of them, so that the keys have English letter statistics and the trie is dense. Beside each
// forgiving keystroke, the exact lookup's keystroke (TabSource) on the same letters.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/dict_image_testing.h"
#include "common/dictionary_view.h"
#include "common/sound_index.h"
#include "lookup/forgiving.h"
#include "lookup/sound_key.h"
#include "lookup/tab_source.h"
#include "tools/mistake_costs/misspellings.h"

namespace quillet {
namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t0) { return std::chrono::duration<double, std::micro>(Clock::now() - t0).count(); }

class ImageAccess final : public DictionaryAccess {
 public:
  explicit ImageAccess(const DictionaryView& view) : view_(view) {}
  bool Acquire(const DictionaryView** view) override {
    *view = &view_;
    return true;
  }
  void Release() override {}

 private:
  const DictionaryView& view_;
};

struct Stats {
  double median = 0, p99 = 0, max = 0;
};

Stats Summarise(std::vector<double> us) {
  Stats s;
  if (us.empty()) return s;
  std::sort(us.begin(), us.end());
  s.median = us[us.size() / 2];
  s.p99 = us[std::min(us.size() - 1, us.size() * 99 / 100)];
  s.max = us.back();
  return s;
}

void Print(const char* what, const std::vector<double>& us) {
  const Stats s = Summarise(us);
  std::printf("%-46s %9.1f %9.1f %9.1f\n", what, s.median, s.p99, s.max);
}

volatile size_t gSink = 0;

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

struct Dictionary {
  std::vector<uint8_t> image;
  DictionaryView view;
  std::vector<uint8_t> soundBytes;
  SoundIndexView sounds;

  bool Make(std::vector<uint8_t> bytes, const char* name) {
    image = std::move(bytes);
    if (!DictionaryView::FromFile(image.data(), image.size(), &view)) {
      std::printf("%s: image not readable\n", name);
      return false;
    }
    const auto t0 = Clock::now();
    soundBytes = BuildSoundIndex(view);
    const double ms = Since(t0) / 1000;
    SoundIndexView::FromBytes(soundBytes.data(), soundBytes.size(), &sounds);
    std::printf("\n%s: %u entries; sound index %zu bytes (%.2f per entry), made in %.0f ms\n", name, view.entryCount(),
                soundBytes.size(), double(soundBytes.size()) / view.entryCount(), ms);
    return true;
  }
};

// Each word typed letter by letter: every keystroke the forgiving page (with sound-alike words, going
// on from where the letter before left its search, as a tab does) and the exact lookup's page, each the
// best of three runs so that a preemption on a shared machine does not pass for a slow lookup.
void Keystrokes(const Dictionary& d, const std::vector<std::u16string>& words) {
  std::vector<double> forgiving, longer, exact;
  TabSource source(std::make_unique<ImageAccess>(d.view), 0);
  ForgivingFrontier kept;
  for (const std::u16string& w : words) {
    for (size_t n = 1; n <= w.size(); ++n) {
      ForgivingQuery query;
      query.typed = std::u16string_view(w).substr(0, n);
      query.maxResults = TabSource::kPageSize;
      query.sounds = &d.sounds;
      const std::u16string_view typed = query.typed;
      double best = 1e18;
      ForgivingFrontier frontier;
      for (int r = 0; r < 3; ++r) {
        frontier = kept;
        query.frontier = &frontier;
        const auto t0 = Clock::now();
        gSink += ForgivingMatches(d.view, query).size();
        best = std::min(best, Since(t0));
      }
      kept = std::move(frontier);
      forgiving.push_back(best);
      if (n >= 3) longer.push_back(best);
      best = 1e18;
      for (int r = 0; r < 3; ++r) {
        source.SetPrefix(typed.substr(0, n - 1));
        const auto t0 = Clock::now();
        source.AppendLetter(typed.back());
        for (size_t i = 0; i < source.PageCount(); ++i) gSink += source.CandidateAt(i)->word.size();
        best = std::min(best, Since(t0));
      }
      exact.push_back(best);
    }
  }
  std::printf("%zu keystrokes of %zu misspelled words\n", forgiving.size(), words.size());
  std::printf("%-46s %9s %9s %9s   (microseconds)\n", "", "median", "p99", "max");
  Print("forgiving keystroke (first page, with sounds)", forgiving);
  Print("  of them the third letter on", longer);
  Print("exact keystroke (TabSource AppendLetter + page)", exact);
}

// How often the word meant comes first, in the first three and on the first page when the whole
// misspelling is typed, with and without sound-alike words.
void Quality(const Dictionary& d, const std::vector<tools::Misspelling>& pairs) {
  std::unordered_map<std::u16string, uint32_t> entries;
  TextRef key;
  for (uint32_t i = 0; i < d.view.entryCount(); ++i) {
    if (d.view.Key(i, &key)) entries.emplace(key.ToString(), i);
  }
  for (const SoundIndexView* sounds : {static_cast<const SoundIndexView*>(nullptr), &d.sounds}) {
    size_t known = 0, first = 0, three = 0, page = 0, bySound = 0;
    for (const tools::Misspelling& p : pairs) {
      const auto it = entries.find(Wide(p.right));
      if (it == entries.end() || entries.count(Wide(p.wrong)) != 0) continue;  // not a word, or a real word
      ++known;
      const auto matches = ForgivingMatches(d.view, Wide(p.wrong), TabSource::kPageSize, sounds);
      for (size_t r = 0; r < matches.size(); ++r) {
        if (d.view.Key(matches[r].entry, &key) && key.ToString() == it->first) {
          first += r == 0;
          three += r < 3;
          ++page;
          bySound += matches[r].soundsLike && MistakeCost(it->first, Wide(p.wrong), true, 2) == kNoMatch;
          break;
        }
      }
    }
    std::printf(
        "%s: of %zu held-out misspellings of dictionary words, the word meant is first for %.1f%%, "
        "in the first three for %.1f%%, on the first page for %.1f%%",
        sounds ? "with sounds" : "edits only", known, 100.0 * first / known, 100.0 * three / known,
        100.0 * page / known);
    if (sounds) std::printf(" (%zu found by sound alone)", bySound);
    std::printf("\n");
  }
}

std::vector<uint8_t> BytesOfFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// 5,000,000 keys: the English ones and compounds of two of them.
std::vector<std::u16string> CompoundKeys(const DictionaryView& english) {
  std::vector<std::u16string> words;
  TextRef key;
  for (uint32_t i = 0; i < english.entryCount(); ++i) {
    if (english.Key(i, &key) && key.length > 0) words.push_back(key.ToString());
  }
  std::vector<std::u16string> keys = words;
  std::mt19937 rng(5000000);
  while (keys.size() < 5000000) {
    for (size_t n = keys.size(); n < 5000000; ++n)
      keys.push_back(words[rng() % words.size()] + words[rng() % words.size()]);
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  }
  return keys;
}

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
  using namespace quillet;
  const std::string exe = argv[0];
  const std::string dictPath = argc > 1 ? argv[1] : exe.substr(0, exe.find_last_of('/') + 1) + "english.dict";
  const std::string listPath = argc > 2 ? argv[2] : tools::kCodespellList;
  tools::MisspellingSet set;
  if (!tools::ReadMisspellings(listPath, &set) || set.heldOut.empty()) {
    std::printf("no misspellings at %s (Debian: apt-get install codespell)\n", listPath.c_str());
    return 1;
  }
  std::vector<std::u16string> typed;
  for (const tools::Misspelling& m : set.heldOut) typed.push_back(Wide(m.wrong));
  std::printf("English dictionary %s; %zu held-out misspellings from %s\n", dictPath.c_str(), typed.size(),
              listPath.c_str());

  Dictionary english;
  if (!english.Make(BytesOfFile(dictPath), "(a) English")) return 1;
  Keystrokes(english, typed);
  Quality(english, set.heldOut);

  Dictionary large;
  if (!large.Make(testing::BuildDictionaryImage(CompoundKeys(english.view)), "(b) English and compounds")) return 1;
  // A thousand words are enough for the spread, and keep the run short.
  typed.resize(std::min<size_t>(typed.size(), 1000));
  Keystrokes(large, typed);
  return 0;
}
