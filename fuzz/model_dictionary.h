// The dictionary the language-model targets rank: words in two spellings, one with a commit text
// that differs from its key. The ARPA dictionary file names its words.
#pragma once

#include <cstdint>
#include <vector>

#include "common/dict_image_testing.h"
#include "common/dictionary_view.h"

namespace quillet::fuzz {

struct ModelDictionary {
  std::vector<uint8_t> bytes;
  DictionaryView view;
};

inline const ModelDictionary& TheModelDictionary() {
  static const ModelDictionary d = [] {
    ModelDictionary m;
    m.bytes = testing::BuildDictionaryImage(std::vector<testing::ImageEntry>{{u"cat", u"", u"", u""},
                                                                             {u"dog", u"", u"", u""},
                                                                             {u"dont", u"don't", u"don't", u""},
                                                                             {u"i", u"", u"", u""},
                                                                             {u"i", u"I", u"I", u""},
                                                                             {u"may", u"", u"", u""},
                                                                             {u"may", u"May", u"May", u""},
                                                                             {u"the", u"", u"", u""}});
    DictionaryView::FromFile(m.bytes.data(), m.bytes.size(), &m.view);
    return m;
  }();
  return d;
}

}  // namespace quillet::fuzz
