// Word-list parser and builder on arbitrary text, in memory: the conversion must give a well-formed
// dictionary holding exactly the parsed entries. One input in 256 also goes through the files (the
// conversion the command runs), which must give the same bytes, and exporting and rebuilding that file
// must give it again.
#include <algorithm>
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
  std::vector<uint8_t> image;
  const Result r = BuildDictionaryInMemory(data, size, &image);

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
  } else if (!HasByteOrderMark(data, size)) {
    Check(r == Result::kNoByteOrderMark);
  } else if (parsed.empty()) {
    Check(r == Result::kNoEntry);
  } else {
    Check(r == Result::kSuccess);
    DictionaryView view;
    Check(DictionaryView::FromFile(image.data(), image.size(), &view));
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
  }

  static uint32_t inputs = 0;
  if (inputs++ % 256 != 0) return 0;
  auto& s = scratch();
  if (!s.Write("in.txt", data, size)) return 0;
  const Result onDisk = ConvertTextToDictionary(s.U16("out.txt"), s.U16("in.txt"));
  // The side files never outlive a conversion.
  const std::string temporary = "out.dict.tmp-" + std::to_string(getpid());
  for (const std::string side : {"out.pos", "out.lst", "out.inf", temporary.c_str()}) {
    Check(access(s.Path(side).c_str(), F_OK) != 0);
  }
  Check(onDisk == r);
  if (r != Result::kSuccess) return 0;
  const std::string file = s.Read("out.dict");
  Check(file.size() == image.size() && std::equal(image.begin(), image.end(), file.begin(),
                                                  [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); }));
  Check(ConvertDictionaryToText(s.U16("back.txt"), s.U16("out.dict")) == Result::kSuccess);
  if (!quotes) {
    Check(ConvertTextToDictionary(s.U16("again.dict"), s.U16("back.txt")) == Result::kSuccess);
    Check(s.Read("again.dict") == file);
  }
  return 0;
}
