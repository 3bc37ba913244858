// Writes the seed inputs of the fuzz targets that read files, records and document text, each made
// by the system's own writers (a binary trie model by the tests' writer, checked by reading it back):
//   make_fuzz_seeds fuzz/corpus
// The targets only read the seeds; rerun this when a format changes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/dict_image_testing.h"
#include "common/dictionary_view.h"
#include "common/learned_store.h"
#include "common/options_record.h"
#include "common/program_rules.h"
#include "common/publication_index.h"
#include "common/settings_record.h"
#include "common/sound_index.h"
#include "fuzz/model_dictionary.h"
#include "fuzz/trie_input.h"
#include "lexforge/trie_model.h"
#include "lexforge/trie_model_testing.h"
#include "lookup/sound_key.h"

using namespace quillet;
using namespace quillet::lexforge;

namespace {

std::string root;

void Write(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = root + "/" + target + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

std::vector<uint8_t> Flagged(uint8_t flag, const uint8_t* data, size_t size) {
  std::vector<uint8_t> out{flag};
  out.insert(out.end(), data, data + size);
  return out;
}

std::vector<uint8_t> Utf16(uint8_t flag, std::u16string_view text) {
  std::vector<uint8_t> out{flag};
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  return out;
}

SettingsRecord SeveralTabs() {
  SettingsRecord r = MakeDefaultSettings();
  const SettingsView s = r.view();
  for (const char16_t* path : {u"a.dict", u"sub/b.dict", u"c.dict"}) AddDictionary(s, path);
  for (int i = 0; i < 3; ++i) AddTab(s);
  s.tab(1).SetDictionaryId(2);
  s.tab(1).SetLinkTabId(2);
  s.tab(2).SetDictionaryId(3);
  s.tab(2).SetLinkTabId(0);
  s.tab(3).SetTitle(u"Title");
  s.SetFontName(AppearanceElement::kTab, u"");
  return r;
}

// ---- Language models ----------------------------------------------------------------------------

TrieNgram Gram(std::vector<uint32_t> words, float logProb, float logBackoff = 0) {
  TrieNgram g;
  for (size_t k = 0; k < words.size(); ++k) g.words[k] = words[k];
  g.logProb = logProb;
  g.logBackoff = logBackoff;
  return g;
}

// 0 <s>, 1 </s>, 2 cat, 3 dog, 4 don't, 5 i, 6 may, 7 the: the dictionary's words.
TrieModel Model(int order) {
  TrieModel m;
  m.order = order;
  m.words = {"<s>", "</s>", "cat", "dog", "don't", "i", "may", "the"};
  m.ngrams.resize(order);
  const float unigrams[][2] = {{-1.0f, -0.5f}, {-1.0f, 0},     {-2.0f, -0.3f}, {-2.5f, -0.2f},
                               {-2.2f, 0},     {-1.5f, -0.1f}, {-2.1f, 0},     {-1.2f, -0.4f}};
  for (uint32_t w = 0; w < 8; ++w) m.ngrams[0].push_back(Gram({w}, unigrams[w][0], order > 1 ? unigrams[w][1] : 0));
  if (order >= 2) {
    // By the last word, as the trie keeps them.
    m.ngrams[1] = {Gram({7, 2}, -0.3f, -0.1f), Gram({7, 3}, -1.0f), Gram({5, 4}, -0.1f),
                   Gram({0, 5}, -0.6f),        Gram({5, 6}, -0.8f), Gram({0, 7}, -0.5f, -0.2f)};
    if (order == 2) {
      for (TrieNgram& g : m.ngrams[1]) g.logBackoff = 0;
    }
  }
  if (order == 3) m.ngrams[2] = {Gram({0, 7, 2}, -0.05f), Gram({0, 5, 4}, -0.2f)};
  return m;
}

bool SameModel(const TrieModel& a, const TrieModel& b) {
  if (a.order != b.order || a.words != b.words || a.ngrams.size() != b.ngrams.size()) return false;
  for (size_t n = 0; n < a.ngrams.size(); ++n) {
    if (a.ngrams[n].size() != b.ngrams[n].size()) return false;
    for (size_t i = 0; i < a.ngrams[n].size(); ++i) {
      for (int k = 0; k < 3; ++k) {
        if (a.ngrams[n][i].words[k] != b.ngrams[n][i].words[k]) return false;
      }
      if (std::fabs(a.ngrams[n][i].logProb - b.ngrams[n][i].logProb) > 0.02 ||
          std::fabs(a.ngrams[n][i].logBackoff - b.ngrams[n][i].logBackoff) > 0.02) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds CORPUS_FOLDER\n");
    return 2;
  }
  root = argv[1];

  // The loader's kept records: the settings (first byte 0), the options (1) and the program rules (2).
  const SettingsRecord defaults = MakeDefaultSettings();
  Write("record_file_fuzz", "settings_default", Flagged(0, defaults.data(), defaults.size()));
  const SettingsRecord several = SeveralTabs();
  Write("record_file_fuzz", "settings_several_tabs", Flagged(0, several.data(), several.size()));
  std::vector<uint8_t> options = DefaultOptionsRecord();
  Write("record_file_fuzz", "options_default", Flagged(1, options.data(), options.size()));
  WriteTabOptions(options.data(), options.size(), 0, {CandidateOrder::kLearning, true});
  WriteTabOptions(options.data(), options.size(), 2, {CandidateOrder::kFrequent, false});
  SetToggleKey(options.data(), options.size(), ToggleKey::kCtrlSpace);
  SetLearningPaused(options.data(), options.size(), true);
  Write("record_file_fuzz", "options_set", Flagged(1, options.data(), options.size()));
  const std::vector<uint8_t> programs = DefaultProgramRules();
  Write("record_file_fuzz", "programs_default", Flagged(2, programs.data(), programs.size()));

  // Learned stores.
  Write("learned_file_fuzz", "empty", LearnedStore().Serialize());
  LearnedStore store;
  std::u16string previous;
  for (const char16_t* w : {u"It", u"rained", u"", u"The", u"caf\u00e9", u"don't", u"close", u"the", u"caf\u00e9",
                            u"the", u"well-known", u"Zeta", u"the", u"caf\u00e9"}) {
    if (*w == 0) {
      previous.clear();
      continue;
    }
    store.Learn(previous, w, previous.empty());
    previous = w;
  }
  Write("learned_file_fuzz", "sentences", store.Serialize());
  store.Forget(u"zeta");
  Write("learned_file_fuzz", "forgotten", store.Serialize());

  // Document text before the composition: first byte 1 at the document's start.
  Write("word_history_fuzz", "sentence_start", Utf16(1, u"It rained. The "));
  Write("word_history_fuzz", "cut_word", Utf16(0, u"ething good. the alp"));
  Write("word_history_fuzz", "marks", Utf16(3, u"don't know-how, (caf\u00e9) the"));
  Write("word_history_fuzz", "line_break", Utf16(0x0D, u"Why?\n  so the gamma "));

  // Settings records as they are (first byte 0), and the patched record of several tabs (1).
  Write("settings_record_fuzz", "default", Flagged(0, defaults.data(), defaults.size()));
  Write("settings_record_fuzz", "several_tabs", Flagged(0, several.data(), several.size()));
  Write("settings_record_fuzz", "patched", {1, 0, 104, 9, 0x0B, 0x30, 7});

  // Language models: ARPA text as the arpa command writes it, and the binary models it reads.
  for (int order = 1; order <= 3; ++order) {
    const TrieModel m = Model(order);
    const std::string arpa = FormatArpa(m);
    Write("lexforge_arpa_fuzz", "order" + std::to_string(order) + ".arpa", {arpa.begin(), arpa.end()});
    const std::vector<uint8_t> file = lexforge::testing::WriteTrieModel(m);
    TrieModel back;
    std::vector<uint8_t> input;
    if (ReadTrieModel(file.data(), file.size(), &back) != Result::kSuccess || !SameModel(m, back) ||
        !fuzz::TrieInputFromFile(file, &input) || fuzz::TrieFileFromInput(input.data(), input.size()) != file) {
      std::fprintf(stderr, "the trie model of order %d does not read back\n", order);
      return 1;
    }
    Write("lexforge_trie_fuzz", "order" + std::to_string(order) + ".lm.bin", input);
  }

  // What the loader publishes: an index naming a publication of each kind, a dictionary file (which
  // the target also reads as a block), a block of two dictionaries, and sound indexes.
  std::vector<uint8_t> index(kPublicationIndexSize);
  PublishedGenerations named;
  for (size_t k = 0; k < kPublicationKinds; ++k) named.of[k] = static_cast<uint16_t>(k + 1);
  WritePublicationIndex(index.data(), index.size(), named);
  Write("publication_fuzz", "index", index);
  std::vector<quillet::testing::ImageEntry> entries;
  for (const char16_t* key : {u"alpha", u"alpine", u"beta", u"caf\u00e9", u"gamma"}) {
    entries.push_back({key, key[0] == u'a' ? u"Alpha" : u"", u"", key[0] == u'b' ? u"the second" : u""});
  }
  const std::vector<uint8_t> dictionary = quillet::testing::BuildDictionaryImage(entries);
  Write("publication_fuzz", "dictionary", dictionary);
  Write("publication_fuzz", "block", DictionaryBlockImage({dictionary, dictionary}));
  const std::vector<uint8_t> sounds = BuildSoundIndex(quillet::fuzz::TheModelDictionary().view);
  Write("publication_fuzz", "sounds", EncodeSoundImage({&sounds, nullptr, &sounds}));
  return 0;
}
