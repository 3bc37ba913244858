#include "tools/tsfhost/text_store.h"

#include <algorithm>

namespace quillet::tsfhost {

TextStore::Anchor TextStore::NewAnchor(int32_t pos, Gravity gravity) {
  Anchor anchor;
  if (free_.empty()) {
    anchor = static_cast<Anchor>(slots_.size());
    slots_.emplace_back();
  } else {
    anchor = free_.back();
    free_.pop_back();
  }
  slots_[anchor] = Slot{Clamp(pos), gravity, true};
  return anchor;
}

void TextStore::FreeAnchor(Anchor anchor) {
  if (anchor >= slots_.size() || !slots_[anchor].live) return;
  slots_[anchor].live = false;
  free_.push_back(anchor);
}

int32_t TextStore::Replace(int32_t start, int32_t end, std::u16string_view text) {
  start = Clamp(start);
  end = Clamp(end);
  if (end < start) std::swap(start, end);
  text_.replace(static_cast<size_t>(start), static_cast<size_t>(end - start), text);
  const int32_t newEnd = start + static_cast<int32_t>(text.size());
  const int32_t delta = newEnd - end;
  const bool insertion = start == end;
  for (Slot& slot : slots_) {
    if (!slot.live || slot.pos < start) continue;
    if (slot.pos > end) {
      slot.pos += delta;
    } else if (insertion || (slot.pos > start && slot.pos < end)) {
      slot.pos = slot.gravity == Gravity::kForward ? newEnd : start;
    } else if (slot.pos == end) {
      slot.pos = newEnd;
    }  // else at the start of a replaced span: stays
  }
  return newEnd;
}

int32_t TextStore::LineOf(int32_t pos) const {
  pos = Clamp(pos);
  return static_cast<int32_t>(std::count(text_.begin(), text_.begin() + pos, u'\n'));
}

int32_t TextStore::LineStart(int32_t line) const {
  int32_t pos = 0;
  for (int32_t i = 0; i < line; ++i) {
    const size_t next = text_.find(u'\n', static_cast<size_t>(pos));
    if (next == std::u16string::npos) return Length();
    pos = static_cast<int32_t>(next) + 1;
  }
  return pos;
}

int32_t TextStore::LineEnd(int32_t line) const {
  const size_t next = text_.find(u'\n', static_cast<size_t>(LineStart(line)));
  return next == std::u16string::npos ? Length() : static_cast<int32_t>(next);
}

int32_t TextStore::LineCount() const { return LineOf(Length()) + 1; }

Document::Document()
    : selStart_(store_.NewAnchor(0, Gravity::kForward)), selEnd_(store_.NewAnchor(0, Gravity::kForward)) {}

void Document::SetSelection(int32_t start, int32_t end, bool activeAtStart) {
  start = store_.Clamp(start);
  end = store_.Clamp(end);
  if (end < start) {
    std::swap(start, end);
    activeAtStart = !activeAtStart;
  }
  store_.SetPos(selStart_, start);
  store_.SetPos(selEnd_, end);
  activeAtStart_ = activeAtStart && start != end;
}

bool Document::ReplaceSelection(std::u16string_view text) {
  const int32_t start = SelStart();
  const int32_t end = SelEnd();
  if (start == end && text.empty()) return false;
  const int32_t caret = store_.Replace(start, end, text);
  SetSelection(caret, caret);
  desiredColumn_ = -1;
  return true;
}

bool Document::TypeChar(char16_t c) { return ReplaceSelection(std::u16string_view(&c, 1)); }

bool Document::Backspace() {
  if (SelStart() == SelEnd()) {
    if (SelStart() == 0) return false;
    SetSelection(SelStart() - 1, SelEnd());
  }
  return ReplaceSelection({});
}

bool Document::DeleteForward() {
  if (SelStart() == SelEnd()) {
    if (SelEnd() == store_.Length()) return false;
    SetSelection(SelStart(), SelEnd() + 1);
  }
  return ReplaceSelection({});
}

bool Document::MoveCaret(CaretMove move) {
  const int32_t before = Caret();
  const bool hadSelection = SelStart() != SelEnd();
  int32_t caret = before;
  const int32_t line = store_.LineOf(caret);
  switch (move) {
    case CaretMove::kLeft:
      // An edit control first collapses a selection to its near end.
      caret = hadSelection ? SelStart() : std::max(0, caret - 1);
      break;
    case CaretMove::kRight:
      caret = hadSelection ? SelEnd() : std::min(store_.Length(), caret + 1);
      break;
    case CaretMove::kUp:
    case CaretMove::kDown: {
      if (desiredColumn_ < 0) desiredColumn_ = caret - store_.LineStart(line);
      const int32_t target = move == CaretMove::kUp ? line - 1 : line + 1;
      // On the first or last line an edit control leaves the caret where it is.
      if (target >= 0 && target < store_.LineCount()) {
        caret = std::min(store_.LineStart(target) + desiredColumn_, store_.LineEnd(target));
      }
      SetSelection(caret, caret);
      return caret != before || hadSelection;
    }
    case CaretMove::kHome:
      caret = store_.LineStart(line);
      break;
    case CaretMove::kEnd:
      caret = store_.LineEnd(line);
      break;
    case CaretMove::kDocStart:
      caret = 0;
      break;
    case CaretMove::kDocEnd:
      caret = store_.Length();
      break;
  }
  desiredColumn_ = -1;
  SetSelection(caret, caret);
  return caret != before || hadSelection;
}

}  // namespace quillet::tsfhost
