// Speaking the highlighted and the inserted word, for people who listen to the list rather than read
// it. The system's voice sits behind SpeechOutput; this class decides when it speaks: once for each
// word the highlight comes to rest on, and once for each word a pick writes, only while the options
// ask for it, and not while a screen reader runs (it announces the list itself) unless they ask for
// both. Speaking never waits: the voice is made off the key path (WantsVoice, SetVoice), and a voice
// that fails once is dropped for the rest of the session.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "common/options_record.h"

namespace quillet {

class SpeechOutput {
 public:
  virtual ~SpeechOutput() = default;
  // Starts saying `text` and returns at once: it cuts off whatever is still being said, or with
  // `afterCurrent` follows it. False when the voice failed.
  virtual bool Speak(std::u16string_view text, bool afterCurrent) = 0;
  // Whether a screen reader runs now.
  virtual bool ScreenReaderRunning() = 0;
};

class WordSpeaker {
 public:
  void SetOptions(const SpeechOptions& options) { options_ = options; }
  // Whether a voice should be made now: the options ask for speech, there is none, and none failed.
  bool WantsVoice() const { return options_.speak && voice_ == nullptr && !failed_; }
  // The voice made off the key path; null when none could be made, which keeps speech off for the
  // session, as a failed Speak does.
  void SetVoice(std::unique_ptr<SpeechOutput> voice);
  // Lets the voice go without counting it as failed (the text service is deactivated).
  void DropVoice() { voice_.reset(); }

  // The shown list highlights `word` at `row`: said when either differs from what was highlighted
  // before. After a pick, the first highlight of the list that follows is said after the word.
  void OnHighlight(int row, std::u16string_view word);
  // The list went: the next one's highlight is said whatever it is.
  void OnListGone();
  // A pick wrote `word`.
  void OnInserted(std::u16string_view word);

 private:
  void Say(std::u16string_view text, bool afterCurrent);

  SpeechOptions options_;
  std::unique_ptr<SpeechOutput> voice_;
  bool failed_ = false;
  bool afterInsert_ = false;
  int lastRow_ = -1;
  std::u16string lastWord_;
};

}  // namespace quillet
