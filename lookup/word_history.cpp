#include "lookup/word_history.h"

namespace quillet {
namespace {

bool IsWordChar(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) return true;
  if (c == u'\'' || c == u'\u2019') return true;
  // Letters beyond ASCII (Latin-1 and on), apart from Latin-1's punctuation and symbols.
  return c >= 0xC0 && c != 0xD7 && c != 0xF7 && !(c >= 0x2000 && c <= 0x206F);
}

bool EndsSentence(char16_t c) { return c == u'.' || c == u'!' || c == u'?' || c == u'\n' || c == u'\r'; }

}  // namespace

void SplitWords(std::u16string_view text, const std::function<void(std::u16string_view word)>& onWord,
                const std::function<void()>& onSentenceEnd) {
  std::u16string word;
  for (size_t i = 0; i <= text.size(); ++i) {
    const char16_t c = i < text.size() ? text[i] : u' ';
    const bool joins = c == u'-' && !word.empty() && i + 1 < text.size() && IsWordChar(text[i + 1]);
    if (IsWordChar(c) || joins) {
      word += c;
      continue;
    }
    if (!word.empty()) onWord(word);
    word.clear();
    if (EndsSentence(c)) onSentenceEnd();
  }
}

void WordHistory::WriteText(std::u16string_view text) {
  SplitWords(
      text, [this](std::u16string_view word) { Write(word); }, [this] { EndSentence(); });
}

WordHistory HistoryFromText(std::u16string_view text, bool atStart) {
  size_t i = 0;
  if (!atStart) {
    while (i < text.size() && IsWordChar(text[i])) ++i;  // the cut word
  }
  WordHistory history;
  history.WriteText(text.substr(i));
  return history;
}

}  // namespace quillet
