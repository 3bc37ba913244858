#include "lexforge/prepare.h"

#include <algorithm>

#include "common/dict_format.h"
#include "common/le.h"
#include "common/utf16.h"
#include "platform/file.h"

namespace quillet::lexforge {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f' || c == 0xFEFF; }

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

void AppendQuoted(std::u16string& out, std::u16string_view text) {
  for (char16_t c : text) {
    if (c == u'"') out += u'"';
    out += c;
  }
}

}  // namespace

std::vector<PreparedEntry> PrepareEntries(std::string_view utf8, PrepareReport* report) {
  PrepareReport seen;
  std::vector<PreparedEntry> entries;
  size_t line = 0;
  size_t start = 0;
  while (start < utf8.size()) {
    size_t end = utf8.find('\n', start);
    if (end == std::string_view::npos) end = utf8.size();
    ++line;
    const std::u16string text = FromUtf8(utf8.substr(start, end - start));
    start = end + 1;
    const std::u16string_view word = Trim(text);
    if (word.empty()) continue;
    ++seen.words;
    PreparedEntry e;
    bool bad = word.size() > kMaxTextLength;
    for (char16_t c : word) {
      if (c < 0x20 || c == 0x7F) bad = true;  // a TAB or CR would split or end the line
      if (c != u'\'' && c != u'-') e.key += SimpleLower(c);
    }
    if (bad || e.key.empty()) {
      if (seen.skippedLines++ == 0) seen.firstSkippedLine = line;
      continue;
    }
    if (e.key != word) e.form = std::u16string(word);
    entries.push_back(std::move(e));
  }
  std::sort(entries.begin(), entries.end(), [](const PreparedEntry& a, const PreparedEntry& b) {
    return a.key != b.key ? a.key < b.key : a.form < b.form;
  });
  entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
  seen.entries = entries.size();
  if (report != nullptr) *report = seen;
  return entries;
}

std::u16string FormatWordList(const std::vector<PreparedEntry>& entries) {
  std::u16string out(1, static_cast<char16_t>(0xFEFF));
  for (const auto& e : entries) {
    AppendQuoted(out, e.key);
    if (!e.form.empty()) {
      out += u'\t';
      AppendQuoted(out, e.form);
      out += u'\t';
      AppendQuoted(out, e.form);
    }
    out += u"\r\n";
  }
  return out;
}

Result PrepareWordList(const std::u16string& destination, const std::u16string& source, PrepareReport* report) {
  PrepareReport ignored;
  PrepareReport& seen = report != nullptr ? *report : ignored;
  seen = PrepareReport{};
  seen.failedPath = source;
  platform::File in;
  if (!in.OpenRead(source, &seen.osError)) return Result::kFileOpenFailed;
  uint64_t size = 0;
  if (!in.Size(&size, &seen.osError)) return Result::kFileSizeFailed;
  if (size > SIZE_MAX / 2) return Result::kOutOfMemory;
  std::string bytes(static_cast<size_t>(size), '\0');
  size_t done = 0;
  if (!in.Read(bytes.data(), bytes.size(), &done, &seen.osError) || done != bytes.size()) {
    return Result::kFileReadFailed;
  }
  in.Close();
  std::string_view text(bytes);
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

  const std::vector<PreparedEntry> entries = PrepareEntries(text, &seen);
  if (entries.empty()) return Result::kNoEntry;  // failedPath: the source
  const std::u16string list = FormatWordList(entries);
  std::vector<uint8_t> encoded(2 * list.size());
  for (size_t i = 0; i < list.size(); ++i) StoreU16(encoded.data() + 2 * i, list[i]);

  seen.failedPath = destination;
  platform::File out;
  if (!out.Create(destination, &seen.osError)) return Result::kFileOpenFailed;
  if (!out.Write(encoded.data(), encoded.size(), &done, &seen.osError) || done != encoded.size() ||
      !out.Close(&seen.osError)) {
    return Result::kFileWriteFailed;
  }
  seen.failedPath.clear();
  return Result::kSuccess;
}

}  // namespace quillet::lexforge
