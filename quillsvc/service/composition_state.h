// The composition the text service owns and a private copy of its text with a caret. Every operation
// changes the document (through an EditContext, inside an edit session) and the private copy
// together, and leaves the document's selection at the caret.
//
// Invariant: without a composition the text is empty and the caret 0.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "quillsvc/service/edit_context.h"
#include "quillsvc/service/text_case.h"

namespace quillet {

// Told about every change of the composition's text (implemented by the key handling).
class ICompositionCallback {
 public:
  // A character was inserted anywhere but at the end of the text.
  virtual void OnCompositionChanged(EditContext& context, std::u16string_view text) = 0;
  // A character was appended at the end of the text.
  virtual void OnCharAppended(EditContext& context, char16_t c) = 0;
  // A character was deleted; `text` is what remains.
  virtual void OnCharDeleted(EditContext& context, std::u16string_view text) = 0;

 protected:
  ~ICompositionCallback() = default;
};

class CCompositionState {
 public:
  // Typing stops at this many characters; a replacement may leave one more in the private text.
  static constexpr size_t kMaxTypedLength = 127;
  static constexpr size_t kMaxTextLength = 128;

  // `callback` is not owned and may be null.
  explicit CCompositionState(ICompositionCallback* callback) : callback_(callback) {}
  CCompositionState(const CCompositionState&) = delete;
  CCompositionState& operator=(const CCompositionState&) = delete;

  bool HasComposition() const { return composition_ != nullptr; }
  Composition* composition() const { return composition_.get(); }
  const std::u16string& text() const { return text_; }
  size_t caret() const { return caret_; }

  // Each returns kOk or the first failing status (kConditionFailed for a condition checked here).

  // Starts a composition over the insertion range at the selection and selects that range. Returns kOk
  // once the start was asked for, whatever selecting returns.
  EditStatus StartComposition(EditContext& context);
  // Inserts one character at the selection in the document and at the caret in the private text,
  // then tells the callback. Fails when the text already holds kMaxTypedLength characters or the
  // selection is not inside the composition; text and caret change only after the document did.
  EditStatus AddChar(EditContext& context, char16_t c);
  // Deletes the character before (backward) or after the caret; nothing at the start or the end.
  // When the text becomes empty the composition ends.
  EditStatus RemoveChar(EditContext& context, bool backward);
  // Moves the caret one character left (direction < 0) or right, wrapping at both ends.
  EditStatus ShiftCaret(EditContext& context, int direction);
  // Erases the composition's text from the document; the composition stays until EndComposition.
  EditStatus ClearComposition(EditContext& context);
  // Ends the composition, its text staying in the document; text and caret are cleared in any case.
  EditStatus EndComposition(EditContext& context);
  // Replaces the composition's text by `word`, its case adapted under `rule` (AdaptCase). The private
  // text keeps at most kMaxTextLength characters of it; the caret goes to its end on every path.
  // The composition stays open.
  EditStatus ReplaceComposition(EditContext& context, CaseRule rule, std::u16string_view word);
  // Whether `range` lies within the composition's range; false without a composition or on an error.
  bool IsSelectionInside(EditContext& context, const TextRange& range) const;
  // The composition's current range; EditStatus::kConditionFailed without a composition.
  EditStatus GetRange(EditContext& context, std::unique_ptr<TextRange>* range) const;

  // The framework ended the composition itself: forget it (its text stays in the document).
  void OnTerminated();

 private:
  void Clear();
  EditStatus Replace(EditContext& context, CaseRule rule, std::u16string_view word);

  std::unique_ptr<Composition> composition_;
  ICompositionCallback* callback_;
  std::u16string text_;
  size_t caret_ = 0;
};

}  // namespace quillet
