// The document of tsfhost: plain UTF-16 text with anchors that follow edits, a selection, and the
// editing an ordinary edit control does with the keys the text service lets through. The framework
// objects (ranges, compositions, the selection the text service reads) are thin wrappers over it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::tsfhost {

// Where an anchor goes when text is inserted exactly at it: backward stays before the new text,
// forward moves after it. Ranges start backward and end forward, so text inserted at either edge
// of a range (a composition growing at its end) lands inside it.
enum class Gravity { kBackward, kForward };

class TextStore {
 public:
  using Anchor = uint32_t;

  const std::u16string& Text() const { return text_; }
  int32_t Length() const { return static_cast<int32_t>(text_.size()); }

  // Anchors live until freed; their position is clamped to the text.
  Anchor NewAnchor(int32_t pos, Gravity gravity);
  void FreeAnchor(Anchor anchor);
  int32_t Pos(Anchor anchor) const { return slots_[anchor].pos; }
  void SetPos(Anchor anchor, int32_t pos) { slots_[anchor].pos = Clamp(pos); }
  Gravity GravityOf(Anchor anchor) const { return slots_[anchor].gravity; }
  void SetGravity(Anchor anchor, Gravity gravity) { slots_[anchor].gravity = gravity; }
  size_t LiveAnchors() const { return slots_.size() - free_.size(); }

  // Replaces [start, end) (clamped and ordered) with `text`. Anchors before the span stay, anchors
  // after it shift by the change in length, anchors at its start stay and anchors at its end follow
  // its new end; anchors strictly inside it (or exactly at a pure insertion point) go by gravity.
  // Returns the end of the inserted text.
  int32_t Replace(int32_t start, int32_t end, std::u16string_view text);

  int32_t Clamp(int32_t pos) const { return pos < 0 ? 0 : (pos > Length() ? Length() : pos); }

  // Lines are separated by '\n'; columns count UTF-16 units.
  int32_t LineOf(int32_t pos) const;
  int32_t LineStart(int32_t line) const;
  int32_t LineEnd(int32_t line) const;  // before its '\n'
  int32_t LineCount() const;

 private:
  struct Slot {
    int32_t pos = 0;
    Gravity gravity = Gravity::kBackward;
    bool live = false;
  };
  std::u16string text_;
  std::vector<Slot> slots_;
  std::vector<Anchor> free_;
};

enum class CaretMove { kLeft, kRight, kUp, kDown, kHome, kEnd, kDocStart, kDocEnd };

// The document: text and selection, and the application's own editing of it.
class Document {
 public:
  Document();

  TextStore& Store() { return store_; }
  const TextStore& Store() const { return store_; }
  const std::u16string& Text() const { return store_.Text(); }

  int32_t SelStart() const { return store_.Pos(selStart_); }
  int32_t SelEnd() const { return store_.Pos(selEnd_); }
  bool ActiveAtStart() const { return activeAtStart_; }
  // The insertion point: the active end of the selection.
  int32_t Caret() const { return activeAtStart_ ? SelStart() : SelEnd(); }
  void SetSelection(int32_t start, int32_t end, bool activeAtStart = false);

  // What an edit control does with keys that reach it; each returns whether anything changed.
  // TypeChar replaces the selection; '\n' breaks the line.
  bool TypeChar(char16_t c);
  bool Backspace();
  bool DeleteForward();
  bool MoveCaret(CaretMove move);

 private:
  bool ReplaceSelection(std::u16string_view text);

  TextStore store_;
  TextStore::Anchor selStart_;
  TextStore::Anchor selEnd_;
  bool activeAtStart_ = false;
  int32_t desiredColumn_ = -1;  // kept across Up and Down, as edit controls do
};

}  // namespace quillet::tsfhost
