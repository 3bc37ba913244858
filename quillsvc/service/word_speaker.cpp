#include "quillsvc/service/word_speaker.h"

#include <utility>

namespace quillet {

void WordSpeaker::SetVoice(std::unique_ptr<SpeechOutput> voice) {
  voice_ = std::move(voice);
  if (voice_ == nullptr) failed_ = true;
}

void WordSpeaker::OnHighlight(int row, std::u16string_view word) {
  if (row == lastRow_ && word == lastWord_) return;
  lastRow_ = row;
  lastWord_.assign(word);
  // The list that a pick left (a linked tab, the likely next words) follows the picked word.
  Say(word, std::exchange(afterInsert_, false));
}

void WordSpeaker::OnListGone() {
  lastRow_ = -1;
  lastWord_.clear();
  afterInsert_ = false;
}

void WordSpeaker::OnInserted(std::u16string_view word) {
  Say(word, false);
  afterInsert_ = true;
}

void WordSpeaker::Say(std::u16string_view text, bool afterCurrent) {
  if (!options_.speak || voice_ == nullptr || text.empty()) return;
  if (!options_.withScreenReader && voice_->ScreenReaderRunning()) return;
  if (!voice_->Speak(text, afterCurrent)) {
    voice_.reset();
    failed_ = true;
  }
}

}  // namespace quillet
