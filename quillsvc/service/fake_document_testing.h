// An in-memory document behind the EditContext interfaces, for native tests of the composition and key
// handling: one text, one selection, at most one composition, ranges that follow edits.
//
// Anchors follow an edit that replaces [a, b) by n characters as the framework's ranges do: the start
// of a range stays before text inserted at it and its end moves behind it, so a composition grows by
// what is written at either edge; anchors beyond b move by the change in length; the edited range
// covers the new text.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "quillsvc/service/edit_context.h"

namespace quillet::testing {

class FakeDocument;

class FakeRange final : public TextRange {
 public:
  FakeRange(FakeDocument& document, size_t start, size_t end);
  ~FakeRange() override;

  EditStatus SetText(std::u16string_view text) override;
  EditStatus Collapse(Anchor to) override;
  EditStatus ShiftStartToRange(const TextRange& to, Anchor anchor) override;
  EditStatus ShiftEndToRange(const TextRange& to, Anchor anchor) override;
  EditStatus ShiftStart(int32_t count) override;
  EditStatus ShiftEnd(int32_t count) override;
  EditStatus CompareStart(const TextRange& to, Anchor anchor, int32_t* result) const override;
  EditStatus CompareEnd(const TextRange& to, Anchor anchor, int32_t* result) const override;

  size_t start = 0;
  size_t end = 0;

 private:
  size_t At(const TextRange& range, Anchor anchor) const;
  void SetStart(size_t at);
  void SetEnd(size_t at);

  FakeDocument& document_;
};

class FakeDocument final : public EditContext {
 public:
  explicit FakeDocument(std::u16string text = u"");
  ~FakeDocument() override;

  EditStatus GetSelection(std::unique_ptr<TextRange>* range) override;
  EditStatus SetSelection(const TextRange& range) override;
  EditStatus QueryInsertRange(std::unique_ptr<TextRange>* range) override;
  EditStatus StartComposition(const TextRange& range, std::unique_ptr<Composition>* composition) override;
  // Characters 10 pixels wide on one line 20 pixels high, at the screen's top left.
  EditStatus GetScreenExtent(const TextRange& range, RectI* extent) override;
  EditStatus GetTextBefore(const TextRange& range, int32_t max, std::u16string* text, bool* atStart) override;

  // What an application does with a key nobody ate: types the character over the selection.
  void TypeAsApplication(char16_t c);
  // Moves the selection as a mouse click would.
  void Select(size_t start, size_t end);
  // The application ends the composition itself (the text service is told separately).
  void TerminateComposition();

  // The next `count` calls of operation `name` (the interface's operation names, e.g. "SetText",
  // "SetSelection", "GetSelection", "StartComposition") fail with EditStatus::kFailed.
  void FailNext(const std::string& name, int count = 1) { failures_[name] = count; }
  bool Fails(const std::string& name);

  // Replaces [a, b) by `text` and moves every anchor as described above; `edited` (may be null) ends
  // up covering the new text.
  void Replace(size_t a, size_t b, std::u16string_view text, FakeRange* edited);

  std::u16string text;
  size_t selectionStart = 0;
  size_t selectionEnd = 0;
  bool composing = false;
  size_t compositionStart = 0;
  size_t compositionEnd = 0;
  int compositionsStarted = 0;
  int compositionsEnded = 0;
  int liveCompositions = 0;  // composition objects not yet released
  std::vector<FakeRange*> ranges;

  std::u16string CompositionText() const {
    return composing ? text.substr(compositionStart, compositionEnd - compositionStart) : std::u16string();
  }

 private:
  std::map<std::string, int> failures_;
};

}  // namespace quillet::testing
