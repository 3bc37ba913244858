#include "lexforge/lookup_command.h"

#include <iostream>
#include <sstream>

#include "common/boundary.h"
#include "common/result.h"
#include "common/utf16.h"
#include "ipc/loader_link.h"
#include "lexforge/command_line.h"
#include "lexforge/learn_command.h"
#include "lexforge/paths.h"
#include "lookup/learner.h"
#include "lookup/private_block.h"
#include "lookup/sound_key.h"
#include "lookup/tab_source.h"
#include "lookup/tab_source_set.h"
#include "platform/file.h"
#include "platform/kept_file.h"

namespace quillet {
namespace {

constexpr char kUsage[] =
    "usage: lexforge lookup DICTIONARY PREFIX [--min-length N] [--typed] [--pages N] [--match exact|forgiving]\n"
    "       lexforge lookup --live [--tab N] [--typed] [--pages N] PREFIX\n"
    "       lexforge lookup DICTIONARY --stdin [--order dictionary|frequent|learning] [--history FILE]\n"
    "                       [--min-length N] [--match exact|forgiving]\n"
    "  --match forgiving also offers words that fix a spelling mistake in what was typed; the default\n"
    "  is exact.\n"
    "  --stdin answers lines: ?PREFIX (the first page, TAB-separated), ? (the words likely next),\n"
    "  +WORD (a word was written), . (a sentence ended).\n";

struct Options {
  bool live = false;
  bool typed = false;
  std::u16string dictionary;
  std::u16string prefix;
  bool hasPrefix = false;
  uint32_t minLength = 0;
  uint32_t pages = 0;  // 0: all
  uint32_t tab = 0;
  bool hasTab = false;
  bool stdinMode = false;
  CandidateOrder order = CandidateOrder::kDictionary;
  bool hasOrder = false;
  bool forgiving = false;
  std::u16string history;
};

bool ParseNumber(const std::u16string& s, uint32_t max, uint32_t* out) {
  if (s.empty() || s.size() > 9) return false;
  uint32_t v = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') return false;
    v = v * 10 + (c - u'0');
  }
  if (v > max) return false;
  *out = v;
  return true;
}

// Empty message on success.
std::string Parse(const std::vector<std::u16string>& args, Options* o) {
  size_t i = (!args.empty() && args[0] == u"lookup") ? 1 : 0;
  std::vector<std::u16string> positional;
  for (; i < args.size(); ++i) {
    const std::u16string& a = args[i];
    auto value = [&](uint32_t max, uint32_t* out) { return i + 1 < args.size() && ParseNumber(args[++i], max, out); };
    if (a == u"--live") {
      o->live = true;
    } else if (a == u"--typed") {
      o->typed = true;
    } else if (a == u"--min-length") {
      if (!value(0xFFFF, &o->minLength)) return "--min-length takes a number from 0 to 65535";
    } else if (a == u"--pages") {
      if (!value(100000000, &o->pages) || o->pages == 0) return "--pages takes a number of at least 1";
    } else if (a == u"--stdin") {
      o->stdinMode = true;
    } else if (a == u"--order") {
      if (i + 1 >= args.size()) return "--order takes dictionary, frequent or learning";
      const std::u16string& v = args[++i];
      if (v == u"dictionary") {
        o->order = CandidateOrder::kDictionary;
      } else if (v == u"frequent") {
        o->order = CandidateOrder::kFrequent;
      } else if (v == u"learning") {
        o->order = CandidateOrder::kLearning;
      } else {
        return "--order takes dictionary, frequent or learning";
      }
      o->hasOrder = true;
    } else if (a == u"--match") {
      if (i + 1 >= args.size() || (args[i + 1] != u"exact" && args[i + 1] != u"forgiving")) {
        return "--match takes exact or forgiving";
      }
      o->forgiving = args[++i] == u"forgiving";
    } else if (a == u"--history") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return "--history takes a file";
      o->history = args[++i];
    } else if (a == u"--tab") {
      if (!value(8, &o->tab)) return "--tab takes a tab position from 0 to 8";
      o->hasTab = true;
    } else if (a.size() > 2 && a[0] == u'-' && a[1] == u'-') {
      return "unknown option " + ToUtf8(a);
    } else {
      positional.push_back(a);
    }
  }
  if (o->stdinMode) {
    if (o->live) return "--stdin reads a dictionary file, not the loader's";
    if (positional.size() != 1) return "--stdin takes exactly one DICTIONARY";
    if (o->typed || o->pages != 0 || o->hasTab) return "--typed, --pages and --tab do not apply to --stdin";
    o->dictionary = positional[0];
    return {};
  }
  if (o->hasOrder || !o->history.empty()) return "--order and --history need --stdin";
  if (o->live) {
    if (positional.size() != 1) return "--live takes exactly one PREFIX";
    if (o->forgiving) return "--match does not apply to --live (the tab's setting is used)";
    if (o->minLength != 0) return "--min-length does not apply to --live (the tab's setting is used)";
    o->prefix = positional[0];
  } else {
    if (positional.size() != 2) return "expected DICTIONARY and PREFIX";
    if (o->hasTab) return "--tab needs --live";
    o->dictionary = positional[0];
    o->prefix = positional[1];
  }
  return {};
}

int Fail(std::ostream& err, const char* what, Result r, platform::OsError os = 0) {
  err << "lexforge lookup: " << what << ": " << ResultMessage(r);
  if (os != 0) err << ": " << platform::ErrorText(os);
  err << " (result " << ToInt(r) << ")\n";
  return ToInt(r);
}

// "cannot open 'words.dict': No such file or directory (result 10)"
int FailOn(std::ostream& err, const char* verb, const std::u16string& path, Result r, platform::OsError os) {
  err << "lexforge lookup: cannot " << verb << " '" << ToUtf8(path)
      << "': " << (os != 0 ? platform::ErrorText(os) : std::string(ResultMessage(r))) << " (result " << ToInt(r)
      << ")\n";
  return ToInt(r);
}

// A whole file into memory; a failure is reported on `err` and returned.
int ReadFile(const std::u16string& path, std::vector<uint8_t>* bytes, std::ostream& err) {
  platform::OsError os = 0;
  platform::File file;
  if (!file.OpenRead(path, &os)) return FailOn(err, "open", path, Result::kFileOpenFailed, os);
  uint64_t size = 0;
  if (!file.Size(&size, &os)) return FailOn(err, "get the size of", path, Result::kFileSizeFailed, os);
  bytes->resize(static_cast<size_t>(size));
  size_t done = 0;
  if (!file.Read(bytes->data(), bytes->size(), &done, &os) || done != bytes->size()) {
    return FailOn(err, "read", path, Result::kFileReadFailed, os);
  }
  return 0;
}

// The pages of one lookup, driven through the given operations so that a lone source and the tab set
// print alike.
template <typename Source>
void PrintPages(Source& s, const Options& o, std::ostream& out) {
  size_t count = 0;
  if (o.typed && !o.prefix.empty()) {
    count = s.SetPrefix(o.prefix.substr(0, 1));
    for (size_t k = 1; k < o.prefix.size(); ++k) count = s.AppendLetter(o.prefix[k]);
  } else {
    count = s.SetPrefix(o.prefix);
  }
  for (uint32_t page = 1;; ++page) {
    out << "# page " << page << ": " << count << (count == 1 ? " candidate" : " candidates") << "\n";
    for (size_t i = 0; i < count; ++i) {
      const Candidate* c = s.Page(i);
      if (c == nullptr) continue;
      out << ToUtf8(c->word) << '\t' << ToUtf8(c->display) << '\t' << ToUtf8(c->commit) << '\t'
          << ToUtf8(c->description) << '\n';
    }
    if (count < TabSource::kPageSize || (o.pages != 0 && page >= o.pages)) break;
    count = s.NextPage();
    if (count == 0) break;
  }
}

// Adapters over a lone source and over the tab set's shown source.
struct LoneSource {
  TabSource& s;
  size_t SetPrefix(std::u16string_view t) { return s.SetPrefix(t); }
  size_t AppendLetter(char16_t c) { return s.AppendLetter(c); }
  size_t NextPage() { return s.NextPage(); }
  const Candidate* Page(size_t i) { return s.CandidateAt(i); }
};

struct CurrentTab {
  TabSourceSet& set;
  size_t SetPrefix(std::u16string_view t) { return set.SetPrefix(t); }
  size_t AppendLetter(char16_t c) { return set.AppendLetter(c); }
  size_t NextPage() { return set.NextPage(); }
  const Candidate* Page(size_t i) {
    TabSource* s = set.ShownSource();
    return s == nullptr ? nullptr : s->CandidateAt(i);
  }
};

// A dictionary file into memory, with its view. The source would read a damaged file as empty; this
// says so instead.
int ReadDictionary(const std::u16string& path, std::vector<uint8_t>* bytes, DictionaryView* view, std::ostream& err) {
  if (const int failed = ReadFile(path, bytes, err); failed != 0) return failed;
  if (!DictionaryView::FromFile(bytes->data(), bytes->size(), view)) {
    err << "lexforge lookup: '" << ToUtf8(path) << "' is not a well-formed dictionary\n";
    return ToInt(Result::kMalformed);
  }
  return 0;
}

// The sound index of a dictionary, made here as the loader makes the one it publishes.
class SoundIndex {
 public:
  const SoundIndexView* Make(const DictionaryView& dictionary) {
    bytes_ = BuildSoundIndex(dictionary);
    return SoundIndexView::FromBytes(bytes_.data(), bytes_.size(), &view_) ? &view_ : nullptr;
  }

 private:
  std::vector<uint8_t> bytes_;
  SoundIndexView view_;
};

int LookupFile(const Options& o, std::ostream& out, std::ostream& err) {
  std::vector<uint8_t> bytes;
  DictionaryView view;
  if (const int failed = ReadDictionary(o.dictionary, &bytes, &view, err); failed != 0) return failed;

  PublishedData published;
  const Result r = PublishPrivateDictionaryFiles({bytes}, &published);
  if (r != Result::kSuccess) return Fail(err, "cannot publish the dictionary", r);
  SoundIndex sounds;
  RankingData ranking;
  if (o.forgiving) ranking.sounds = sounds.Make(view);
  std::unique_ptr<TabSource> source =
      CreateTabSource(published.directory(), 0, static_cast<uint16_t>(o.minLength), &ranking);
  if (!source) return Fail(err, "cannot make the source", Result::kOutOfMemory);
  source->SetForgiving(o.forgiving);
  LoneSource lone{*source};
  PrintPages(lone, o, out);
  return 0;
}

int LookupLive(const Options& o, std::ostream& out, std::ostream& err) {
  platform::OsError os = 0;
  const Result started = EnsureLoader(&os, kFromService);
  if (started != Result::kSuccess) {
    return Fail(err, "the loader is not running and could not be started", started, os);
  }
  if (const Result r = AwaitLoader(kLoaderIdleTimeoutMs, &os); r != Result::kSuccess && r != Result::kFileOpenFailed) {
    return Fail(err, "the loader does not answer", r, os);
  }
  PublishedData published;
  TabSourceSet set(published);
  const Result r = published.Open();
  if (r == Result::kNoDictionary) {
    err << "lexforge lookup: the loader runs but publishes no dictionary: the dictionary files named in the "
           "settings are missing or unreadable (result "
        << ToInt(r) << ")\n";
    return ToInt(r);
  }
  if (r != Result::kSuccess) {
    return Fail(err, "the loader runs but what it publishes cannot be opened", r, published.lastError());
  }
  set.Rebuild();
  if (o.tab >= set.sourceCount()) {
    err << "lexforge lookup: there is no tab " << o.tab << " (the settings have " << set.sourceCount() << ")\n";
    return 1;
  }
  set.SetShownTab(o.tab);
  out << "# tab " << o.tab << ": " << ToUtf8(set.tabNames()[o.tab]) << "\n";
  CurrentTab current{set};
  PrintPages(current, o, out);
  return 0;
}

// A written word as the history takes it: without the punctuation around it. True in *endsSentence
// when that punctuation ended a sentence.
std::u16string WrittenWord(std::u16string_view text, bool* endsSentence) {
  auto inner = [](char16_t c) {
    return c != u' ' && c != u'\t' && c != u'.' && c != u',' && c != u';' && c != u':' && c != u'!' && c != u'?' &&
           c != u'"' && c != u'(' && c != u')' && c != u'\'';
  };
  size_t a = 0, b = text.size();
  while (a < b && !inner(text[a])) ++a;
  while (b > a && !inner(text[b - 1])) --b;
  *endsSentence = false;
  for (size_t i = b; i < text.size(); ++i) {
    if (text[i] == u'.' || text[i] == u'!' || text[i] == u'?') *endsSentence = true;
  }
  return std::u16string(text.substr(a, b - a));
}

void PrintPage(const TabSource& s, size_t count, std::ostream& out) {
  for (size_t i = 0; i < count; ++i) {
    const Candidate* c = s.CandidateAt(i);
    if (c == nullptr) continue;
    if (i > 0) out << '\t';
    out << ToUtf8(c->commit.empty() ? c->word : c->commit);
  }
  out << '\n';
}

// The ranking data beside the dictionary, when it is usable; otherwise the ranked orders are
// dictionary order, and `err` says why.
bool ReadRankingData(const std::u16string& dictionaryPath, const DictionaryView& dictionary,
                     std::vector<uint8_t>* bytes, RankView* rank, std::ostream& err) {
  const std::u16string rankPath = lexforge::ReplaceExtension(dictionaryPath, u".rank");
  std::ostringstream ignored;
  if (!platform::FileExists(rankPath) || ReadFile(rankPath, bytes, ignored) != 0) {
    err << "lexforge lookup: no ranking data '" << ToUtf8(rankPath) << "': dictionary order\n";
  } else if (!RankView::FromBytes(bytes->data(), bytes->size(), rank)) {
    err << "lexforge lookup: '" << ToUtf8(rankPath) << "' is not ranking data: dictionary order\n";
  } else if (!rank->MadeFor(dictionary)) {
    err << "lexforge lookup: '" << ToUtf8(rankPath) << "' was made for another dictionary: dictionary order\n";
  } else {
    return true;
  }
  return false;
}

// The learned store kept in the history file, if there is one: a damaged one is set aside and
// nothing is learned yet. Nonzero (reported) when the file cannot be read.
int LoadHistory(const std::u16string& path, platform::KeptFile& kept, LearnedStore* store, std::ostream& err) {
  if (path.empty()) return 0;
  const platform::KeptContent content = kept.Load();
  if (content.origin == platform::KeptOrigin::kUnreadable) {
    return FailOn(err, "read", path, Result::kFileReadFailed, content.error);
  }
  if (content.origin == platform::KeptOrigin::kDamaged) {
    err << "lexforge lookup: '" << ToUtf8(path) << "' is not a learned store; kept as '" << ToUtf8(content.asidePath)
        << "', starting with nothing learned\n";
  }
  if (content.origin == platform::KeptOrigin::kFile) store->Load(content.bytes.data(), content.bytes.size());
  return 0;
}

int SaveHistory(const std::u16string& path, platform::KeptFile& kept, const LearnedStore& store, std::ostream& err) {
  if (path.empty()) return 0;
  platform::OsError os = 0;
  const std::vector<uint8_t> bytes = store.Serialize();
  const Result saved = kept.Save(bytes.data(), bytes.size(), &os);
  if (saved != Result::kSuccess) return FailOn(err, "write", path, saved, os);
  return 0;
}

// The learned store as the ranking reads it: published anew after every word written.
class LearnedPublication {
 public:
  LearnedPublication(const LearnedStore& store, RankingData* ranking) : store_(store), ranking_(*ranking) {}
  void Publish() {
    bytes_ = store_.Serialize();
    ranking_.learned = LearnedView::FromBytes(bytes_.data(), bytes_.size(), &view_) ? &view_ : nullptr;
  }

 private:
  const LearnedStore& store_;
  RankingData& ranking_;
  std::vector<uint8_t> bytes_;
  LearnedView view_;
};

// One line of standard input: a lookup answered on `out`, or what was written told to the learner
// (and, when learning, published).
void AnswerLine(std::string line, TabSource& source, Learner& learner, LearnedPublication* publication,
                std::ostream& out, std::ostream& err) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.empty()) return;
  if (line[0] == '?') {
    source.SetContext(learner.history());
    const size_t count = line.size() == 1 ? source.NextWords() : source.SetPrefix(FromUtf8(line.substr(1)));
    PrintPage(source, count, out);
    out.flush();
  } else if (line[0] == '+') {
    bool endsSentence = false;
    const std::u16string word = WrittenWord(FromUtf8(line.substr(1)), &endsSentence);
    if (!word.empty()) {
      learner.Write(word);
      if (publication != nullptr) publication->Publish();
    }
    if (endsSentence) learner.EndSentence();
  } else if (line == ".") {
    learner.EndSentence();
  } else {
    err << "lexforge lookup: ignored a line that is not ?PREFIX, ?, +WORD or .\n";
  }
}

int LookupStdin(const Options& o, std::istream& in, std::ostream& out, std::ostream& err) {
  std::vector<uint8_t> bytes;
  DictionaryView dictionary;
  if (const int failed = ReadDictionary(o.dictionary, &bytes, &dictionary, err); failed != 0) return failed;
  std::vector<uint8_t> rankBytes;
  RankView rank;
  RankingData ranking;
  if (o.order != CandidateOrder::kDictionary && ReadRankingData(o.dictionary, dictionary, &rankBytes, &rank, err)) {
    ranking.rank = &rank;
  }
  SoundIndex sounds;
  if (o.forgiving) ranking.sounds = sounds.Make(dictionary);
  LearnedStore store;
  platform::KeptFile kept(o.history, kMaxLearnedFileSize, &IsLearnedStore);
  if (const int failed = LoadHistory(o.history, kept, &store, err); failed != 0) return failed;
  const bool learning = o.order == CandidateOrder::kLearning;
  LearnedPublication publication(store, &ranking);
  if (learning) publication.Publish();

  PublishedData published;
  const Result r = PublishPrivateDictionaryFiles({bytes}, &published);
  if (r != Result::kSuccess) return Fail(err, "cannot publish the dictionary", r);
  std::unique_ptr<TabSource> source =
      CreateTabSource(published.directory(), 0, static_cast<uint16_t>(o.minLength), &ranking);
  if (!source) return Fail(err, "cannot make the source", Result::kOutOfMemory);
  source->SetOrder(o.order);
  source->SetForgiving(o.forgiving);
  Learner learner(learning ? &store : nullptr);
  std::string line;
  while (std::getline(in, line)) AnswerLine(line, *source, learner, learning ? &publication : nullptr, out, err);
  source.reset();
  return SaveHistory(o.history, kept, store, err);
}

}  // namespace

int RunLookupCommand(const std::vector<std::u16string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
  Options o;
  const std::string problem = Parse(args, &o);
  if (!problem.empty()) {
    err << "lexforge lookup: " << problem << "\n" << kUsage;
    return 1;
  }
  if (o.stdinMode) return LookupStdin(o, in, out, err);
  return o.live ? LookupLive(o, out, err) : LookupFile(o, out, err);
}

int RunLookupCommand(const std::vector<std::u16string>& args, std::ostream& out, std::ostream& err) {
  return RunLookupCommand(args, std::cin, out, err);
}

int RunLookupCommand(const std::vector<std::u16string>& args) { return RunLookupCommand(args, std::cout, std::cerr); }

int RunGeneratorCommand(const std::vector<std::u16string>& args, std::ostream& out, std::ostream& err) {
  constexpr int kThrown = -1;
  const int code = AtBoundary(kThrown, [&] {
    if (!args.empty() && args[0] == u"learn") return lexforge::RunLearn(args, out, err);
    const lexforge::LookupRunner lookup = [](const std::vector<std::u16string>& a, std::ostream& o, std::ostream& e) {
      return RunLookupCommand(a, o, e);
    };
    return lexforge::RunCommandLine(args, out, err, lexforge::NotifyLoader, lookup);
  });
  if (code != kThrown) return code;
  AtBoundary([&] { err << "lexforge: out of memory\n"; });
  return ToInt(Result::kOutOfMemory);
}

}  // namespace quillet
