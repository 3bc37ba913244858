// Word-list parser and builder on arbitrary text: the conversion must give a well-formed dictionary
// holding exactly the parsed entries, and exporting and rebuilding it must give the same file.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/dictionary_view.h"
#include "fuzz/fuzz_scratch.h"
#include "lexforge/builder.h"
#include "lexforge/export.h"
#include "lexforge/word_list.h"

using namespace quillet;
using namespace quillet::lexforge;

namespace {

fuzz::Scratch& scratch() {
  static fuzz::Scratch s;
  return s;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto& s = scratch();
  if (!s.Write("in.txt", data, size)) return 0;
  const Result r = ConvertTextToDictionary(s.U16("out.txt"), s.U16("in.txt"));
  // The side files never outlive a conversion.
  for (const char* side : {"out.pos", "out.lst", "out.inf", "out.dtmp"}) Check(access(s.Path(side).c_str(), F_OK) != 0);

  struct Parsed {
    std::u16string key, display, commit, description;
    bool HasInfo() const { return !display.empty() || !commit.empty() || !description.empty(); }
  };
  std::vector<Parsed> parsed;
  bool quotes = false;
  if (HasByteOrderMark(data, size)) {
    WordListParser parser(data, size);
    WordListEntry e;
    while (parser.Next(&e)) {
      parsed.push_back({e.key.ToString(), e.display.ToString(), e.commit.ToString(), e.description.ToString()});
      for (const std::u16string* t : {&parsed.back().display, &parsed.back().commit, &parsed.back().description}) {
        if (t->find(u'"') != std::u16string::npos) quotes = true;
      }
      if (e.word.ToString().find(u'"') != std::u16string::npos) quotes = true;
    }
  }
  if (size == 0) {
    Check(r == Result::kMappingCreateFailed);
    return 0;
  }
  if (!HasByteOrderMark(data, size)) {
    Check(r == Result::kNoByteOrderMark);
    return 0;
  }
  if (parsed.empty()) {
    Check(r == Result::kNoEntry);
    return 0;
  }
  Check(r == Result::kSuccess);

  const std::string file = s.Read("out.dict");
  DictionaryView view;
  Check(DictionaryView::FromFile(reinterpret_cast<const uint8_t*>(file.data()), file.size(), &view));
  Check(view.entryCount() == parsed.size());
  Check(view.nodeCount() <= view.entryCount() / 100);
  for (uint32_t i = 0; i < view.entryCount(); ++i) {
    TextRef key;
    Check(view.Key(i, &key));
    Check(key.ToString() == parsed[i].key);
    InfoRef info;
    const bool hasInfo = view.Info(i, &info);
    Check(hasInfo == parsed[i].HasInfo());
    if (hasInfo) {
      Check(info.display.ToString() == parsed[i].display);
      Check(info.commit.ToString() == parsed[i].commit);
      Check(info.description.ToString() == parsed[i].description);
    }
  }

  Check(ConvertDictionaryToText(s.U16("back.txt"), s.U16("out.dict")) == Result::kSuccess);
  if (!quotes) {
    Check(ConvertTextToDictionary(s.U16("again.dict"), s.U16("back.txt")) == Result::kSuccess);
    Check(s.Read("again.dict") == file);
  }
  return 0;
}
