// The framework behind the EditContext interfaces: one call each on the context, its ranges and the
// composition, with the edit cookie of the session that runs. The text service makes a TsfEditContext
// in every edit session (key handler, end composition) and in OnEndEdit (with its read-only cookie),
// and hands it to the portable core.
#pragma once

#include <msctf.h>
#include <windows.h>

#include <memory>
#include <utility>

#include "quillsvc/com/com_ptr.h"
#include "quillsvc/service/edit_context.h"

namespace quillet {

class TsfRange final : public TextRange {
 public:
  TsfRange(ComPtr<ITfRange> range, TfEditCookie cookie) : range_(std::move(range)), cookie_(cookie) {}
  ITfRange* get() const { return range_.Get(); }

  EditStatus SetText(std::u16string_view text) override;
  EditStatus Collapse(Anchor to) override;
  EditStatus ShiftStartToRange(const TextRange& to, Anchor anchor) override;
  EditStatus ShiftEndToRange(const TextRange& to, Anchor anchor) override;
  EditStatus ShiftStart(int32_t count) override;
  EditStatus ShiftEnd(int32_t count) override;
  EditStatus CompareStart(const TextRange& to, Anchor anchor, int32_t* result) const override;
  EditStatus CompareEnd(const TextRange& to, Anchor anchor, int32_t* result) const override;

 private:
  ComPtr<ITfRange> range_;
  TfEditCookie cookie_;
};

class TsfComposition final : public Composition {
 public:
  explicit TsfComposition(ComPtr<ITfComposition> composition) : composition_(std::move(composition)) {}

  EditStatus GetRange(EditContext& context, std::unique_ptr<TextRange>* range) override;
  EditStatus End(EditContext& context) override;

 private:
  ComPtr<ITfComposition> composition_;
};

class TsfEditContext final : public EditContext {
 public:
  // Neither `context` nor `sink` (the text service's composition sink) is owned; both outlive the
  // session that makes this object.
  TsfEditContext(ITfContext* context, TfEditCookie cookie, ITfCompositionSink* sink)
      : context_(context), cookie_(cookie), sink_(sink) {}

  ITfContext* context() const { return context_; }
  TfEditCookie cookie() const { return cookie_; }

  EditStatus GetSelection(std::unique_ptr<TextRange>* range) override;
  EditStatus SetSelection(const TextRange& range) override;
  EditStatus QueryInsertRange(std::unique_ptr<TextRange>* range) override;
  EditStatus StartComposition(const TextRange& range, std::unique_ptr<Composition>* composition) override;
  EditStatus GetScreenExtent(const TextRange& range, RectI* extent) override;
  EditStatus GetTextBefore(const TextRange& range, int32_t max, std::u16string* text, bool* atStart) override;

 private:
  ITfContext* context_;
  TfEditCookie cookie_;
  ITfCompositionSink* sink_;
};

}  // namespace quillet
