// The words written before the one being typed, as the ranking reads them: the last two, a sentence
// start counting as a word. The text service feeds it from the document (or from what it committed);
// `lexforge lookup --stdin` from its input.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quillet {

class WordHistory {
 public:
  WordHistory() { EndSentence(); }

  void Write(std::u16string_view word) {
    if (word.empty()) return;
    Push(std::u16string(word), false);
  }
  void EndSentence() {
    if (count_ > 0 && lastIsStart_) return;  // one start is enough
    Push(std::u16string(), true);
  }
  // Each word and sentence end of a piece of text, as HistoryFromText below reads them.
  void WriteText(std::u16string_view text);

  // Up to two tokens, oldest first: count() of them. A token is a word, or a sentence start.
  size_t count() const { return count_; }
  bool lastIsStart() const { return lastIsStart_; }
  bool olderIsStart() const { return olderIsStart_; }
  const std::u16string& last() const { return last_; }
  const std::u16string& older() const { return older_; }
  // The word the next one follows in the same sentence; empty after a sentence start.
  const std::u16string& previousWord() const { return last_; }

 private:
  void Push(std::u16string word, bool start) {
    older_ = std::move(last_);
    olderIsStart_ = lastIsStart_;
    last_ = std::move(word);
    lastIsStart_ = start;
    if (count_ < 2) ++count_;
  }

  std::u16string older_, last_;
  bool olderIsStart_ = false, lastIsStart_ = false;
  size_t count_ = 0;
};

// The words and sentence ends of a piece of text, in order, as the history reads them.
void SplitWords(std::u16string_view text, const std::function<void(std::u16string_view word)>& onWord,
                const std::function<void()>& onSentenceEnd);

// The history that a document's text before the typed word gives: words are runs of letters, digits
// and apostrophes (a hyphen between letters too); '.', '!', '?' and line breaks end a sentence.
// `atStart`: the text begins at the document's start (a sentence start); otherwise a word cut at
// the text's first character is left out.
WordHistory HistoryFromText(std::u16string_view text, bool atStart);

}  // namespace quillet
