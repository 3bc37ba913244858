#include "lookup/text_file_learning.h"

#include "lookup/word_history.h"

namespace quillet {
namespace {

constexpr char32_t kUnreadable = 0xFFFD;
// A text without a blank this long is fed as it is: no word is ever that long.
constexpr size_t kLongestRun = 64 * 1024;

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == 0x0B || c == 0x0C; }

// The length of the UTF-8 sequence that `lead` begins, 0 when it cannot begin one.
size_t SequenceLength(uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

LearnFileResult TextFileLearning::Open(const std::u16string& path) {
  file_.Close();
  encoding_ = Encoding::kUnknown;
  raw_.clear();
  text_.clear();
  highSurrogate_ = 0;
  sentenceHasWord_ = false;
  progress_ = LearnFileProgress{};
  progress_.state = LearnFileState::kLearning;
  learner_.EndSentence();
  if (platform::IsNetworkPath(path)) {
    Finish(LearnFileResult::kNetworkPath);
  } else if (platform::OsError e = 0; !file_.OpenReadNoWait(path, &e)) {
    progress_.osError = e;
    Finish(LearnFileResult::kCannotOpen);
  } else if (!file_.IsRegular()) {
    Finish(LearnFileResult::kNotAFile);
  } else if (!file_.Size(&progress_.total, &e)) {
    progress_.osError = e;
    Finish(LearnFileResult::kReadFailed);
  } else if (progress_.total > kMaxLearnFileBytes) {
    Finish(LearnFileResult::kTooLarge);
  }
  return progress_.result;
}

void TextFileLearning::Finish(LearnFileResult result) {
  if (finished()) return;
  progress_.state = LearnFileState::kDone;
  progress_.result = result;
  file_.Close();
  raw_.clear();
  text_.clear();
}

bool TextFileLearning::Step(size_t bytes) {
  if (finished()) return false;
  const size_t before = raw_.size();
  raw_.resize(before + bytes);
  size_t read = 0;
  platform::OsError e = 0;
  if (!file_.Read(raw_.data() + before, bytes, &read, &e)) {
    progress_.osError = e;
    Finish(LearnFileResult::kReadFailed);
    return false;
  }
  raw_.resize(before + read);
  progress_.done += read;
  // The file may have grown since its size was taken.
  if (progress_.done > kMaxLearnFileBytes) {
    Finish(LearnFileResult::kTooLarge);
    return false;
  }
  const bool last = read < bytes;
  if (!Decode(last)) {
    Finish(LearnFileResult::kNotText);
    return false;
  }
  Learn(last);
  if (last) {
    if (progress_.done > progress_.total) progress_.total = progress_.done;
    Finish(LearnFileResult::kLearned);
    return false;
  }
  return true;
}

void TextFileLearning::Put(char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    text_ += static_cast<char16_t>(0xD800 + (c >> 10));
    text_ += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  } else {
    text_ += static_cast<char16_t>(c);
  }
}

bool TextFileLearning::Decode(bool last) {
  size_t i = 0;
  const size_t n = raw_.size();
  if (encoding_ == Encoding::kUnknown) {
    if (n < 3 && !last) return true;  // not enough to tell yet
    if (n >= 2 && raw_[0] == 0xFF && raw_[1] == 0xFE) {
      encoding_ = Encoding::kUtf16Le;
      i = 2;
    } else if (n >= 2 && raw_[0] == 0xFE && raw_[1] == 0xFF) {
      encoding_ = Encoding::kUtf16Be;
      i = 2;
    } else {
      encoding_ = Encoding::kUtf8;
      if (n >= 3 && raw_[0] == 0xEF && raw_[1] == 0xBB && raw_[2] == 0xBF) i = 3;
    }
  }
  if (encoding_ == Encoding::kUtf8) {
    while (i < n) {
      const uint8_t lead = raw_[i];
      if (lead == 0) return false;
      const size_t length = SequenceLength(lead);
      if (length == 0) {
        Put(kUnreadable);
        ++i;
        continue;
      }
      if (i + length > n && !last) break;  // the rest comes with the next step
      char32_t c = length == 1 ? lead : lead & (0x7F >> length);
      size_t k = 1;
      for (; k < length && i + k < n && (raw_[i + k] & 0xC0) == 0x80; ++k) c = c << 6 | (raw_[i + k] & 0x3F);
      const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
      if (k < length || overlong || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
        Put(kUnreadable);
        i += k;  // a broken sequence ends where its continuation bytes do
        continue;
      }
      Put(c);
      i += length;
    }
  } else {
    const bool little = encoding_ == Encoding::kUtf16Le;
    for (; i + 1 < n; i += 2) {
      const char16_t u = little ? static_cast<char16_t>(raw_[i] | raw_[i + 1] << 8)
                                : static_cast<char16_t>(raw_[i] << 8 | raw_[i + 1]);
      if (u == 0) return false;
      if (highSurrogate_ != 0) {
        if (u >= 0xDC00 && u <= 0xDFFF) {
          text_ += highSurrogate_;
          text_ += u;
          highSurrogate_ = 0;
          continue;
        }
        Put(kUnreadable);
        highSurrogate_ = 0;
      }
      if (u >= 0xD800 && u <= 0xDBFF) {
        highSurrogate_ = u;
      } else if (u >= 0xDC00 && u <= 0xDFFF) {
        Put(kUnreadable);
      } else {
        text_ += u;
      }
    }
    if (last && (highSurrogate_ != 0 || i < n)) {
      Put(kUnreadable);
      highSurrogate_ = 0;
      i = n;
    }
  }
  raw_.erase(raw_.begin(), raw_.begin() + static_cast<std::ptrdiff_t>(i));
  return true;
}

void TextFileLearning::Learn(bool last) {
  // Cut after a run of blanks that more text cannot lengthen: a word and a paragraph break are whole.
  size_t cut = text_.size();
  if (!last) {
    cut = 0;
    for (size_t p = text_.size(); p-- > 1;) {
      if (!IsBlank(text_[p]) && IsBlank(text_[p - 1])) {
        cut = p;
        break;
      }
    }
    if (cut == 0 && text_.size() < kLongestRun) return;
    if (cut == 0) cut = text_.size();
  }
  // One line break among blanks is a wrapped line; more are a paragraph's end.
  std::u16string piece;
  piece.reserve(cut);
  for (size_t p = 0; p < cut;) {
    if (!IsBlank(text_[p])) {
      piece += text_[p++];
      continue;
    }
    int breaks = 0;
    for (; p < cut && IsBlank(text_[p]); ++p) {
      if (text_[p] == u'\n' || (text_[p] == u'\r' && (p + 1 >= cut || text_[p + 1] != u'\n'))) ++breaks;
    }
    piece += breaks >= 2 ? u'\n' : u' ';
  }
  text_.erase(0, cut);
  SplitWords(
      piece,
      [&](std::u16string_view word) {
        if (LearnedStore::IsLearnable(word)) {
          ++progress_.words;
          sentenceHasWord_ = true;
        }
        learner_.Write(word);
      },
      [&] {
        if (sentenceHasWord_) ++progress_.sentences;
        sentenceHasWord_ = false;
        learner_.EndSentence();
      });
  if (last && sentenceHasWord_) {
    ++progress_.sentences;
    sentenceHasWord_ = false;
    learner_.EndSentence();
  }
}

LearnFileResult LearnWholeFile(const std::u16string& path, LearnedStore* store, uint32_t* words, uint32_t* sentences,
                               uint32_t* osError) {
  TextFileLearning learning(store);
  if (learning.Open(path) == LearnFileResult::kLearned) {
    while (learning.Step(TextFileLearning::kStepBytes * 16)) {
    }
  }
  const LearnFileProgress& p = learning.progress();
  *words = p.words;
  *sentences = p.sentences;
  *osError = p.osError;
  return p.result;
}

}  // namespace quillet
