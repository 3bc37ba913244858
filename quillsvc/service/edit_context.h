// The document as the composition code sees it inside one edit session. The composition algorithms
// (CCompositionState) are portable and run against these three interfaces; the Windows shell
// implements them one call each over the framework's context, ranges and composition, holding the
// session's edit cookie, and tests implement them over an in-memory document.
//
// Every operation returns an EditStatus: kOk, kFailed when the framework refused, or kConditionFailed
// where the portable code checks a condition itself.
// Ranges and compositions handed to an operation always come from the same EditContext (or from a
// composition started through it), so an implementation may downcast them to its own types.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "quillsvc/candwin/geometry.h"

namespace quillet {

// What an edit operation gives back. Failures are silent (the key handling stops), so the kind is all
// that matters: the framework refused, or a condition the portable code checks did not hold.
enum class EditStatus : uint8_t { kOk, kFailed, kConditionFailed };

// Which end of a range an operation refers to (TF_ANCHOR_START, TF_ANCHOR_END).
enum class Anchor { kStart, kEnd };

// A span of the document. Ranges follow edits made elsewhere in the document as the framework's
// ranges do; a range whose text is replaced covers the new text afterwards. Moving one end past the
// other moves both.
class TextRange {
 public:
  virtual ~TextRange() = default;
  // Replaces the range's text (flags 0).
  virtual EditStatus SetText(std::u16string_view text) = 0;
  virtual EditStatus Collapse(Anchor to) = 0;
  // Moves this range's start (end) to the given end of `to`.
  virtual EditStatus ShiftStartToRange(const TextRange& to, Anchor anchor) = 0;
  virtual EditStatus ShiftEndToRange(const TextRange& to, Anchor anchor) = 0;
  // Moves this range's start (end) by `count` characters (negative: towards the document's start).
  virtual EditStatus ShiftStart(int32_t count) = 0;
  virtual EditStatus ShiftEnd(int32_t count) = 0;
  // *result < 0, 0 or > 0 as this range's start (end) lies before, at or after the given end of `to`.
  virtual EditStatus CompareStart(const TextRange& to, Anchor anchor, int32_t* result) const = 0;
  virtual EditStatus CompareEnd(const TextRange& to, Anchor anchor, int32_t* result) const = 0;
};

class EditContext;

// The composition in progress (ITfComposition). Owned by CCompositionState; destroying it releases
// the framework's object without ending the composition.
class Composition {
 public:
  virtual ~Composition() = default;
  virtual EditStatus GetRange(EditContext& context, std::unique_ptr<TextRange>* range) = 0;
  // Ends the composition; its text stays in the document.
  virtual EditStatus End(EditContext& context) = 0;
};

// The context of one edit session (ITfContext with the session's edit cookie).
class EditContext {
 public:
  virtual ~EditContext() = default;
  // The default selection; fails unless it is exactly one range.
  virtual EditStatus GetSelection(std::unique_ptr<TextRange>* range) = 0;
  // Makes `range` the one selection (active end none, no interim character).
  virtual EditStatus SetSelection(const TextRange& range) = 0;
  // The range where text would be inserted at the selection, asked without inserting anything and
  // without a default composition (ITfInsertAtSelection, TF_IAS_QUERYONLY | TF_IAS_NO_DEFAULT_COMPOSITION).
  virtual EditStatus QueryInsertRange(std::unique_ptr<TextRange>* range) = 0;
  // Starts a composition over `range` with the text service's composition sink
  // (ITfContextComposition). *composition stays null when the framework declines without an error.
  virtual EditStatus StartComposition(const TextRange& range, std::unique_ptr<Composition>* composition) = 0;
  // The screen rectangle of `range` in the document's active view (ITfContextView::GetTextExt).
  virtual EditStatus GetScreenExtent(const TextRange& range, RectI* extent) = 0;
  // Up to `max` characters of the document just before `range`'s start (the words the typed one
  // follows); *atStart is set when they reach the start of the document.
  virtual EditStatus GetTextBefore(const TextRange& range, int32_t max, std::u16string* text, bool* atStart) = 0;
};

}  // namespace quillet
