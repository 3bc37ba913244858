#include "quillsvc/service/tsf_edit_context.h"

namespace quillet {
namespace {

int32_t Status(HRESULT hr) { return SUCCEEDED(hr) ? 0 : static_cast<int32_t>(hr); }

TfAnchor ToAnchor(Anchor a) { return a == Anchor::kStart ? TF_ANCHOR_START : TF_ANCHOR_END; }

// Every range the core hands back came from this module's EditContext.
ITfRange* Native(const TextRange& range) { return static_cast<const TsfRange&>(range).get(); }

int32_t Order(HRESULT hr, LONG order, int32_t* result) {
  *result = order;
  return Status(hr);
}

}  // namespace

int32_t TsfRange::SetText(std::u16string_view text) {
  return Status(
      range_.Get()->SetText(cookie_, 0, reinterpret_cast<const WCHAR*>(text.data()), static_cast<LONG>(text.size())));
}

int32_t TsfRange::Collapse(Anchor to) { return Status(range_.Get()->Collapse(cookie_, ToAnchor(to))); }

int32_t TsfRange::ShiftStartToRange(const TextRange& to, Anchor anchor) {
  return Status(range_.Get()->ShiftStartToRange(cookie_, Native(to), ToAnchor(anchor)));
}

int32_t TsfRange::ShiftEndToRange(const TextRange& to, Anchor anchor) {
  return Status(range_.Get()->ShiftEndToRange(cookie_, Native(to), ToAnchor(anchor)));
}

int32_t TsfRange::ShiftStart(int32_t count) {
  LONG shifted = 0;
  return Status(range_.Get()->ShiftStart(cookie_, count, &shifted, nullptr));
}

int32_t TsfRange::ShiftEnd(int32_t count) {
  LONG shifted = 0;
  return Status(range_.Get()->ShiftEnd(cookie_, count, &shifted, nullptr));
}

int32_t TsfRange::CompareStart(const TextRange& to, Anchor anchor, int32_t* result) const {
  LONG order = 0;
  const HRESULT hr = range_.Get()->CompareStart(cookie_, Native(to), ToAnchor(anchor), &order);
  return Order(hr, order, result);
}

int32_t TsfRange::CompareEnd(const TextRange& to, Anchor anchor, int32_t* result) const {
  LONG order = 0;
  const HRESULT hr = range_.Get()->CompareEnd(cookie_, Native(to), ToAnchor(anchor), &order);
  return Order(hr, order, result);
}

int32_t TsfComposition::GetRange(EditContext& context, std::unique_ptr<TextRange>* range) {
  ComPtr<ITfRange> r;
  const HRESULT hr = composition_.Get()->GetRange(r.Put());
  if (FAILED(hr)) return Status(hr);
  if (r.Get() == nullptr) return kEditConditionFailed;
  *range = std::make_unique<TsfRange>(std::move(r), static_cast<TsfEditContext&>(context).cookie());
  return 0;
}

int32_t TsfComposition::End(EditContext& context) {
  return Status(composition_.Get()->EndComposition(static_cast<TsfEditContext&>(context).cookie()));
}

int32_t TsfEditContext::GetSelection(std::unique_ptr<TextRange>* range) {
  TF_SELECTION selection = {};
  ULONG fetched = 0;
  const HRESULT hr = context_->GetSelection(cookie_, TF_DEFAULT_SELECTION, 1, &selection, &fetched);
  ComPtr<ITfRange> owned = ComPtr<ITfRange>::Adopt(selection.range);
  if (FAILED(hr)) return Status(hr);
  if (fetched != 1 || owned.Get() == nullptr) return kEditConditionFailed;
  *range = std::make_unique<TsfRange>(std::move(owned), cookie_);
  return 0;
}

int32_t TsfEditContext::SetSelection(const TextRange& range) {
  TF_SELECTION selection = {};
  selection.range = Native(range);
  selection.style.ase = TF_AE_NONE;
  selection.style.fInterimChar = FALSE;
  return Status(context_->SetSelection(cookie_, 1, &selection));
}

int32_t TsfEditContext::QueryInsertRange(std::unique_ptr<TextRange>* range) {
  ComPtr<ITfInsertAtSelection> insert;
  HRESULT hr = context_->QueryInterface(IID_ITfInsertAtSelection, insert.PutVoid());
  if (FAILED(hr)) return Status(hr);
  ComPtr<ITfRange> r;
  hr = insert.Get()->InsertTextAtSelection(cookie_, TF_IAS_QUERYONLY | TF_IAS_NO_DEFAULT_COMPOSITION, nullptr, 0,
                                           r.Put());
  if (FAILED(hr)) return Status(hr);
  if (r.Get() == nullptr) return kEditConditionFailed;
  *range = std::make_unique<TsfRange>(std::move(r), cookie_);
  return 0;
}

int32_t TsfEditContext::StartComposition(const TextRange& range, std::unique_ptr<Composition>* composition) {
  ComPtr<ITfContextComposition> compositions;
  HRESULT hr = context_->QueryInterface(IID_ITfContextComposition, compositions.PutVoid());
  if (FAILED(hr)) return Status(hr);
  ComPtr<ITfComposition> started;
  hr = compositions.Get()->StartComposition(cookie_, Native(range), sink_, started.Put());
  if (FAILED(hr)) return Status(hr);
  if (started.Get() != nullptr) *composition = std::make_unique<TsfComposition>(std::move(started));
  return 0;
}

int32_t TsfEditContext::GetScreenExtent(const TextRange& range, RectI* extent) {
  ComPtr<ITfContextView> view;
  HRESULT hr = context_->GetActiveView(view.Put());
  if (FAILED(hr)) return Status(hr);
  if (!view) return kEditConditionFailed;
  RECT r = {};
  BOOL clipped = FALSE;
  hr = view->GetTextExt(cookie_, Native(range), &r, &clipped);
  if (FAILED(hr)) return Status(hr);
  *extent = RectI{r.left, r.top, r.right, r.bottom};
  return 0;
}

}  // namespace quillet
