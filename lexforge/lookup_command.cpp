#include "lexforge/lookup_command.h"

#include <iostream>

#include "common/boundary.h"
#include "common/result.h"
#include "common/utf16.h"
#include "ipc/loader_link.h"
#include "ipc/shared_block.h"
#include "lexforge/command_line.h"
#include "lookup/private_block.h"
#include "lookup/tab_source.h"
#include "lookup/tab_source_set.h"
#include "platform/file.h"

namespace quillet {
namespace {

constexpr char kUsage[] =
    "usage: lexforge lookup DICTIONARY PREFIX [--min-length N] [--typed] [--pages N]\n"
    "       lexforge lookup --live [--tab N] [--typed] [--pages N] PREFIX\n";

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
    } else if (a == u"--tab") {
      if (!value(8, &o->tab)) return "--tab takes a tab position from 0 to 8";
      o->hasTab = true;
    } else if (a.size() > 2 && a[0] == u'-' && a[1] == u'-') {
      return "unknown option " + ToUtf8(a);
    } else {
      positional.push_back(a);
    }
  }
  if (o->live) {
    if (positional.size() != 1) return "--live takes exactly one PREFIX";
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
  err << "lexforge lookup: " << what << ": result " << ToInt(r) << " (" << ResultMessage(r) << ")";
  if (os != 0) err << ", system error " << os;
  err << "\n";
  return ToInt(r);
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

// Adapters over a lone source and over the tab set's current source.
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
    TabSource* s = set.CurrentSource();
    return s == nullptr ? nullptr : s->CandidateAt(i);
  }
};

int LookupFile(const Options& o, std::ostream& out, std::ostream& err) {
  platform::OsError os = 0;
  platform::File file;
  if (!file.OpenRead(o.dictionary, &os)) return Fail(err, "cannot open the dictionary", Result::kFileOpenFailed, os);
  uint64_t size = 0;
  if (!file.Size(&size, &os)) return Fail(err, "cannot get the dictionary's size", Result::kFileSizeFailed, os);
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  size_t done = 0;
  if (!file.Read(bytes.data(), bytes.size(), &done, &os) || done != bytes.size()) {
    return Fail(err, "cannot read the dictionary", Result::kFileReadFailed, os);
  }
  file.Close();
  // The source would read a damaged file as empty; say so instead.
  DictionaryView probe;
  if (!DictionaryView::FromFile(bytes.data(), bytes.size(), &probe)) {
    return Fail(err, "not a well-formed dictionary", Result::kMalformed);
  }

  DictionaryBlock block;
  const Result r = PublishPrivateDictionaryFiles({bytes}, &block);
  if (r != Result::kSuccess) return Fail(err, "cannot publish the dictionary", r, block.lastError);
  std::unique_ptr<TabSource> source = CreateTabSource(block, 0, static_cast<uint16_t>(o.minLength));
  if (!source) {
    CloseBlock(block, false);
    return Fail(err, "cannot make the source", Result::kOutOfMemory);
  }
  LoneSource lone{*source};
  PrintPages(lone, o, out);
  source.reset();
  CloseBlock(block, false);
  return 0;
}

int LookupLive(const Options& o, std::ostream& out, std::ostream& err) {
  platform::OsError os = 0;
  const Result started = EnsureLoader(&os, kFromService);
  if (started != Result::kSuccess) return Fail(err, "the loader is not available", started, os);
  TabSourceSet set;
  const Result r = set.Open();
  if (r != Result::kSuccess) {
    return Fail(err, "cannot open the shared blocks", r,
                set.settingsBlock().lastError != 0 ? set.settingsBlock().lastError : set.dictionaryBlock().lastError);
  }
  if (o.tab >= set.sourceCount()) {
    err << "lexforge lookup: there is no tab " << o.tab << " (the settings have " << set.sourceCount() << ")\n";
    return 1;
  }
  set.currentTab = o.tab;
  out << "# tab " << o.tab << ": " << ToUtf8(set.tabNames()[o.tab]) << "\n";
  CurrentTab current{set};
  PrintPages(current, o, out);
  set.Close();
  return 0;
}

}  // namespace

int RunLookupCommand(const std::vector<std::u16string>& args, std::ostream& out, std::ostream& err) {
  Options o;
  const std::string problem = Parse(args, &o);
  if (!problem.empty()) {
    err << "lexforge lookup: " << problem << "\n" << kUsage;
    return 1;
  }
  return o.live ? LookupLive(o, out, err) : LookupFile(o, out, err);
}

int RunLookupCommand(const std::vector<std::u16string>& args) { return RunLookupCommand(args, std::cout, std::cerr); }

int RunGeneratorCommand(const std::vector<std::u16string>& args, std::ostream& out, std::ostream& err) {
  constexpr int kThrown = -1;
  const int code = AtBoundary(kThrown, [&] {
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
