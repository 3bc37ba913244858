#include "quillsvc/service/tsf_edit_context.h"

#include <algorithm>

namespace quillet {
namespace {

EditStatus Status(HRESULT hr) { return SUCCEEDED(hr) ? EditStatus::kOk : EditStatus::kFailed; }

TfAnchor ToAnchor(Anchor a) { return a == Anchor::kStart ? TF_ANCHOR_START : TF_ANCHOR_END; }

// Every range the core hands back came from this module's EditContext.
ITfRange* Native(const TextRange& range) { return static_cast<const TsfRange&>(range).get(); }

EditStatus Order(HRESULT hr, LONG order, int32_t* result) {
  *result = order;
  return Status(hr);
}

}  // namespace

EditStatus TsfRange::SetText(std::u16string_view text) {
  return Status(
      range_.Get()->SetText(cookie_, 0, reinterpret_cast<const WCHAR*>(text.data()), static_cast<LONG>(text.size())));
}

EditStatus TsfRange::Collapse(Anchor to) { return Status(range_.Get()->Collapse(cookie_, ToAnchor(to))); }

EditStatus TsfRange::ShiftStartToRange(const TextRange& to, Anchor anchor) {
  return Status(range_.Get()->ShiftStartToRange(cookie_, Native(to), ToAnchor(anchor)));
}

EditStatus TsfRange::ShiftEndToRange(const TextRange& to, Anchor anchor) {
  return Status(range_.Get()->ShiftEndToRange(cookie_, Native(to), ToAnchor(anchor)));
}

EditStatus TsfRange::ShiftStart(int32_t count) {
  LONG shifted = 0;
  return Status(range_.Get()->ShiftStart(cookie_, count, &shifted, nullptr));
}

EditStatus TsfRange::ShiftEnd(int32_t count) {
  LONG shifted = 0;
  return Status(range_.Get()->ShiftEnd(cookie_, count, &shifted, nullptr));
}

EditStatus TsfRange::CompareStart(const TextRange& to, Anchor anchor, int32_t* result) const {
  LONG order = 0;
  const HRESULT hr = range_.Get()->CompareStart(cookie_, Native(to), ToAnchor(anchor), &order);
  return Order(hr, order, result);
}

EditStatus TsfRange::CompareEnd(const TextRange& to, Anchor anchor, int32_t* result) const {
  LONG order = 0;
  const HRESULT hr = range_.Get()->CompareEnd(cookie_, Native(to), ToAnchor(anchor), &order);
  return Order(hr, order, result);
}

EditStatus TsfComposition::GetRange(EditContext& context, std::unique_ptr<TextRange>* range) {
  ComPtr<ITfRange> r;
  const HRESULT hr = composition_.Get()->GetRange(r.Put());
  if (FAILED(hr)) return Status(hr);
  if (r.Get() == nullptr) return EditStatus::kConditionFailed;
  *range = std::make_unique<TsfRange>(std::move(r), static_cast<TsfEditContext&>(context).cookie());
  return EditStatus::kOk;
}

EditStatus TsfComposition::End(EditContext& context) {
  return Status(composition_.Get()->EndComposition(static_cast<TsfEditContext&>(context).cookie()));
}

EditStatus TsfEditContext::GetSelection(std::unique_ptr<TextRange>* range) {
  TF_SELECTION selection = {};
  ULONG fetched = 0;
  const HRESULT hr = context_->GetSelection(cookie_, TF_DEFAULT_SELECTION, 1, &selection, &fetched);
  ComPtr<ITfRange> owned = ComPtr<ITfRange>::Adopt(selection.range);
  if (FAILED(hr)) return Status(hr);
  if (fetched != 1 || owned.Get() == nullptr) return EditStatus::kConditionFailed;
  *range = std::make_unique<TsfRange>(std::move(owned), cookie_);
  return EditStatus::kOk;
}

EditStatus TsfEditContext::SetSelection(const TextRange& range) {
  TF_SELECTION selection = {};
  selection.range = Native(range);
  selection.style.ase = TF_AE_NONE;
  selection.style.fInterimChar = FALSE;
  return Status(context_->SetSelection(cookie_, 1, &selection));
}

EditStatus TsfEditContext::QueryInsertRange(std::unique_ptr<TextRange>* range) {
  ComPtr<ITfInsertAtSelection> insert;
  HRESULT hr = context_->QueryInterface(IID_ITfInsertAtSelection, insert.PutVoid());
  if (FAILED(hr)) return Status(hr);
  ComPtr<ITfRange> r;
  hr = insert.Get()->InsertTextAtSelection(cookie_, TF_IAS_QUERYONLY | TF_IAS_NO_DEFAULT_COMPOSITION, nullptr, 0,
                                           r.Put());
  if (FAILED(hr)) return Status(hr);
  if (r.Get() == nullptr) return EditStatus::kConditionFailed;
  *range = std::make_unique<TsfRange>(std::move(r), cookie_);
  return EditStatus::kOk;
}

EditStatus TsfEditContext::StartComposition(const TextRange& range, std::unique_ptr<Composition>* composition) {
  ComPtr<ITfContextComposition> compositions;
  HRESULT hr = context_->QueryInterface(IID_ITfContextComposition, compositions.PutVoid());
  if (FAILED(hr)) return Status(hr);
  ComPtr<ITfComposition> started;
  hr = compositions.Get()->StartComposition(cookie_, Native(range), sink_, started.Put());
  if (FAILED(hr)) return Status(hr);
  if (started.Get() != nullptr) *composition = std::make_unique<TsfComposition>(std::move(started));
  return EditStatus::kOk;
}

EditStatus TsfEditContext::GetScreenExtent(const TextRange& range, RectI* extent) {
  ComPtr<ITfContextView> view;
  HRESULT hr = context_->GetActiveView(view.Put());
  if (FAILED(hr)) return Status(hr);
  if (!view) return EditStatus::kConditionFailed;
  RECT r = {};
  BOOL clipped = FALSE;
  hr = view->GetTextExt(cookie_, Native(range), &r, &clipped);
  if (FAILED(hr)) return Status(hr);
  *extent = RectI{r.left, r.top, r.right, r.bottom};
  return EditStatus::kOk;
}

EditStatus TsfEditContext::GetTextBefore(const TextRange& range, int32_t max, std::u16string* text, bool* atStart) {
  text->clear();
  *atStart = false;
  if (max <= 0) return EditStatus::kConditionFailed;
  ComPtr<ITfRange> before;
  HRESULT hr = Native(range)->Clone(before.Put());
  if (FAILED(hr)) return Status(hr);
  if (!before) return EditStatus::kConditionFailed;
  hr = before->Collapse(cookie_, TF_ANCHOR_START);
  LONG moved = 0;
  if (SUCCEEDED(hr)) hr = before->ShiftStart(cookie_, -max, &moved, nullptr);
  if (FAILED(hr)) return Status(hr);
  text->resize(static_cast<size_t>(max));
  ULONG copied = 0;
  hr = before->GetText(cookie_, 0, reinterpret_cast<WCHAR*>(text->data()), static_cast<ULONG>(max), &copied);
  if (FAILED(hr)) {
    text->clear();
    return Status(hr);
  }
  text->resize(std::min<size_t>(copied, static_cast<size_t>(max)));
  *atStart = -moved < max;
  return EditStatus::kOk;
}

}  // namespace quillet
