#include "quillsvc/service/composition_state.h"

#include <algorithm>

namespace quillet {

void CCompositionState::Clear() {
  text_.clear();
  caret_ = 0;
}

void CCompositionState::OnTerminated() {
  composition_.reset();
  Clear();
}

EditStatus CCompositionState::GetRange(EditContext& context, std::unique_ptr<TextRange>* range) const {
  range->reset();
  if (composition_ == nullptr) return EditStatus::kConditionFailed;
  const EditStatus r = composition_->GetRange(context, range);
  if (r == EditStatus::kOk && *range == nullptr) return EditStatus::kConditionFailed;
  return r;
}

EditStatus CCompositionState::StartComposition(EditContext& context) {
  std::unique_ptr<TextRange> range;
  EditStatus r = context.QueryInsertRange(&range);
  if (r != EditStatus::kOk) return r;
  if (range == nullptr) return EditStatus::kConditionFailed;
  std::unique_ptr<Composition> started;
  r = context.StartComposition(*range, &started);
  if (r != EditStatus::kOk) return r;
  if (started != nullptr) composition_ = std::move(started);
  context.SetSelection(*range);
  return EditStatus::kOk;
}

bool CCompositionState::IsSelectionInside(EditContext& context, const TextRange& range) const {
  std::unique_ptr<TextRange> own;
  if (GetRange(context, &own) != EditStatus::kOk) return false;
  int32_t startOrder = 0;
  int32_t endOrder = 0;
  if (own->CompareStart(range, Anchor::kStart, &startOrder) != EditStatus::kOk) return false;
  if (own->CompareEnd(range, Anchor::kEnd, &endOrder) != EditStatus::kOk) return false;
  return startOrder <= 0 && endOrder >= 0;
}

EditStatus CCompositionState::AddChar(EditContext& context, char16_t c) {
  std::unique_ptr<TextRange> selection;
  EditStatus r = context.GetSelection(&selection);
  if (r != EditStatus::kOk) return r;
  if (text_.size() >= kMaxTypedLength) return EditStatus::kConditionFailed;
  if (!IsSelectionInside(context, *selection)) return EditStatus::kConditionFailed;
  if ((r = selection->SetText(std::u16string_view(&c, 1))) != EditStatus::kOk) return r;
  if ((r = selection->Collapse(Anchor::kEnd)) != EditStatus::kOk) return r;
  if ((r = context.SetSelection(*selection)) != EditStatus::kOk) return r;

  caret_ = std::min(caret_, text_.size());
  text_.insert(caret_, 1, c);
  ++caret_;
  if (callback_ != nullptr) {
    if (caret_ == text_.size()) {
      callback_->OnCharAppended(context, c);
    } else {
      callback_->OnCompositionChanged(context, text_);
    }
  }
  return EditStatus::kOk;
}

EditStatus CCompositionState::RemoveChar(EditContext& context, bool backward) {
  caret_ = std::min(caret_, text_.size());
  if (backward ? caret_ == 0 : caret_ == text_.size()) return EditStatus::kOk;
  std::unique_ptr<TextRange> selection;
  EditStatus r = context.GetSelection(&selection);
  if (r != EditStatus::kOk) return r;
  std::unique_ptr<TextRange> own;
  if ((r = GetRange(context, &own)) != EditStatus::kOk) return r;

  // The document gets back everything on one side of the caret, so that it ends up as the private
  // text without the deleted character whatever the selection covered.
  EditStatus written;
  if (backward) {
    if ((r = selection->ShiftStartToRange(*own, Anchor::kStart)) != EditStatus::kOk) return r;
    --caret_;
    written = selection->SetText(std::u16string_view(text_).substr(0, caret_));
  } else {
    if ((r = selection->ShiftEndToRange(*own, Anchor::kEnd)) != EditStatus::kOk) return r;
    written = selection->SetText(std::u16string_view(text_).substr(caret_ + 1));
  }
  text_.erase(caret_, 1);
  if (written != EditStatus::kOk) return written;

  if ((r = selection->Collapse(backward ? Anchor::kEnd : Anchor::kStart)) != EditStatus::kOk) return r;
  if ((r = context.SetSelection(*selection)) != EditStatus::kOk) return r;
  if (callback_ != nullptr) callback_->OnCharDeleted(context, text_);
  if (text_.empty()) return EndComposition(context);
  return EditStatus::kOk;
}

EditStatus CCompositionState::ShiftCaret(EditContext& context, int direction) {
  if (text_.empty()) return EditStatus::kOk;
  caret_ = std::min(caret_, text_.size());
  std::unique_ptr<TextRange> selection;
  EditStatus r = context.GetSelection(&selection);
  if (r != EditStatus::kOk) return r;
  std::unique_ptr<TextRange> own;
  if ((r = GetRange(context, &own)) != EditStatus::kOk) return r;

  size_t caret;
  if (direction < 0) {
    if (caret_ == 0) {
      r = selection->ShiftStartToRange(*own, Anchor::kEnd);
      caret = text_.size();
    } else {
      r = selection->ShiftStart(-1);
      caret = caret_ - 1;
    }
    if (r == EditStatus::kOk) r = selection->Collapse(Anchor::kStart);
  } else {
    if (caret_ == text_.size()) {
      r = selection->ShiftEndToRange(*own, Anchor::kStart);
      caret = 0;
    } else {
      r = selection->ShiftEnd(1);
      caret = caret_ + 1;
    }
    if (r == EditStatus::kOk) r = selection->Collapse(Anchor::kEnd);
  }
  if (r != EditStatus::kOk) return r;
  if ((r = context.SetSelection(*selection)) != EditStatus::kOk) return r;
  caret_ = caret;
  return EditStatus::kOk;
}

EditStatus CCompositionState::ClearComposition(EditContext& context) {
  std::unique_ptr<TextRange> own;
  if (GetRange(context, &own) != EditStatus::kOk) return EditStatus::kConditionFailed;
  const EditStatus r = own->SetText(std::u16string_view());
  Clear();
  return r;
}

EditStatus CCompositionState::EndComposition(EditContext& context) {
  EditStatus r = EditStatus::kOk;
  if (composition_ != nullptr) {
    r = composition_->End(context);
    composition_.reset();
  }
  Clear();
  return r;
}

EditStatus CCompositionState::Replace(EditContext& context, CaseRule rule, std::u16string_view word) {
  std::unique_ptr<TextRange> selection;
  EditStatus r = context.GetSelection(&selection);
  if (r != EditStatus::kOk) return r;
  std::unique_ptr<TextRange> own;
  if ((r = GetRange(context, &own)) != EditStatus::kOk) return r;
  if ((r = selection->ShiftStartToRange(*own, Anchor::kStart)) != EditStatus::kOk) return r;
  if ((r = selection->ShiftEndToRange(*own, Anchor::kEnd)) != EditStatus::kOk) return r;

  text_ = AdaptCase(rule, text_, word);
  const EditStatus written = selection->SetText(text_);
  // The document keeps a longer word whole; the private text stays within what typing can reach.
  if (text_.size() > kMaxTextLength) text_.resize(kMaxTextLength);
  if (written != EditStatus::kOk) return written;
  if ((r = selection->Collapse(Anchor::kEnd)) != EditStatus::kOk) return r;
  return context.SetSelection(*selection);
}

EditStatus CCompositionState::ReplaceComposition(EditContext& context, CaseRule rule, std::u16string_view word) {
  const EditStatus r = Replace(context, rule, word);
  caret_ = text_.size();
  return r;
}

}  // namespace quillet
