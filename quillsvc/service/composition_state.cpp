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

int32_t CCompositionState::GetRange(EditContext& context, std::unique_ptr<TextRange>* range) const {
  range->reset();
  if (composition_ == nullptr) return kEditConditionFailed;
  const int32_t r = composition_->GetRange(context, range);
  if (r == 0 && *range == nullptr) return kEditConditionFailed;
  return r;
}

int32_t CCompositionState::StartComposition(EditContext& context) {
  std::unique_ptr<TextRange> range;
  int32_t r = context.QueryInsertRange(&range);
  if (r != 0) return r;
  if (range == nullptr) return kEditConditionFailed;
  std::unique_ptr<Composition> started;
  r = context.StartComposition(*range, &started);
  if (r != 0) return r;
  if (started != nullptr) composition_ = std::move(started);
  context.SetSelection(*range);
  return 0;
}

bool CCompositionState::IsSelectionInside(EditContext& context, const TextRange& range) const {
  std::unique_ptr<TextRange> own;
  if (GetRange(context, &own) != 0) return false;
  int32_t startOrder = 0;
  int32_t endOrder = 0;
  if (own->CompareStart(range, Anchor::kStart, &startOrder) != 0) return false;
  if (own->CompareEnd(range, Anchor::kEnd, &endOrder) != 0) return false;
  return startOrder <= 0 && endOrder >= 0;
}

int32_t CCompositionState::AddChar(EditContext& context, char16_t c) {
  std::unique_ptr<TextRange> selection;
  int32_t r = context.GetSelection(&selection);
  if (r != 0) return r;
  if (text_.size() >= kMaxTypedLength) return kEditConditionFailed;
  if (!IsSelectionInside(context, *selection)) return kEditConditionFailed;
  if ((r = selection->SetText(std::u16string_view(&c, 1))) != 0) return r;
  if ((r = selection->Collapse(Anchor::kEnd)) != 0) return r;
  if ((r = context.SetSelection(*selection)) != 0) return r;

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
  return 0;
}

int32_t CCompositionState::RemoveChar(EditContext& context, bool backward) {
  caret_ = std::min(caret_, text_.size());
  if (backward ? caret_ == 0 : caret_ == text_.size()) return 0;
  std::unique_ptr<TextRange> selection;
  int32_t r = context.GetSelection(&selection);
  if (r != 0) return r;
  std::unique_ptr<TextRange> own;
  if ((r = GetRange(context, &own)) != 0) return r;

  // The document gets back everything on one side of the caret, so that it ends up as the private
  // text without the deleted character whatever the selection covered.
  int32_t written;
  if (backward) {
    if ((r = selection->ShiftStartToRange(*own, Anchor::kStart)) != 0) return r;
    --caret_;
    written = selection->SetText(std::u16string_view(text_).substr(0, caret_));
  } else {
    if ((r = selection->ShiftEndToRange(*own, Anchor::kEnd)) != 0) return r;
    written = selection->SetText(std::u16string_view(text_).substr(caret_ + 1));
  }
  text_.erase(caret_, 1);
  if (written != 0) return written;

  if ((r = selection->Collapse(backward ? Anchor::kEnd : Anchor::kStart)) != 0) return r;
  if ((r = context.SetSelection(*selection)) != 0) return r;
  if (callback_ != nullptr) callback_->OnCharDeleted(context, text_);
  if (text_.empty()) return EndComposition(context);
  return 0;
}

int32_t CCompositionState::ShiftCaret(EditContext& context, int direction) {
  if (text_.empty()) return 0;
  caret_ = std::min(caret_, text_.size());
  std::unique_ptr<TextRange> selection;
  int32_t r = context.GetSelection(&selection);
  if (r != 0) return r;
  std::unique_ptr<TextRange> own;
  if ((r = GetRange(context, &own)) != 0) return r;

  size_t caret;
  if (direction < 0) {
    if (caret_ == 0) {
      r = selection->ShiftStartToRange(*own, Anchor::kEnd);
      caret = text_.size();
    } else {
      r = selection->ShiftStart(-1);
      caret = caret_ - 1;
    }
    if (r == 0) r = selection->Collapse(Anchor::kStart);
  } else {
    if (caret_ == text_.size()) {
      r = selection->ShiftEndToRange(*own, Anchor::kStart);
      caret = 0;
    } else {
      r = selection->ShiftEnd(1);
      caret = caret_ + 1;
    }
    if (r == 0) r = selection->Collapse(Anchor::kEnd);
  }
  if (r != 0) return r;
  if ((r = context.SetSelection(*selection)) != 0) return r;
  caret_ = caret;
  return 0;
}

int32_t CCompositionState::ClearComposition(EditContext& context) {
  std::unique_ptr<TextRange> own;
  if (GetRange(context, &own) != 0) return kEditConditionFailed;
  const int32_t r = own->SetText(std::u16string_view());
  Clear();
  return r;
}

int32_t CCompositionState::EndComposition(EditContext& context) {
  int32_t r = 0;
  if (composition_ != nullptr) {
    r = composition_->End(context);
    composition_.reset();
  }
  Clear();
  return r;
}

int32_t CCompositionState::Replace(EditContext& context, CaseRule rule, std::u16string_view word) {
  std::unique_ptr<TextRange> selection;
  int32_t r = context.GetSelection(&selection);
  if (r != 0) return r;
  std::unique_ptr<TextRange> own;
  if ((r = GetRange(context, &own)) != 0) return r;
  if ((r = selection->ShiftStartToRange(*own, Anchor::kStart)) != 0) return r;
  if ((r = selection->ShiftEndToRange(*own, Anchor::kEnd)) != 0) return r;

  text_ = AdaptCase(rule, text_, word);
  const int32_t written = selection->SetText(text_);
  // The document keeps a longer word whole; the private text stays within what typing can reach.
  if (text_.size() > kMaxTextLength) text_.resize(kMaxTextLength);
  if (written != 0) return written;
  if ((r = selection->Collapse(Anchor::kEnd)) != 0) return r;
  return context.SetSelection(*selection);
}

int32_t CCompositionState::ReplaceComposition(EditContext& context, CaseRule rule, std::u16string_view word) {
  const int32_t r = Replace(context, rule, word);
  caret_ = text_.size();
  return r;
}

}  // namespace quillet
