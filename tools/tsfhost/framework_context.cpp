// The context over the document: edit sessions and their locks, selection, compositions, ranges and
// the context view.
#include <algorithm>
#include <cwchar>

#include "tools/tsfhost/framework.h"
#include "tools/tsfhost/timing.h"

namespace quillet::tsfhost {
namespace {

// Asks a range the text service hands back for our implementation.
const IID kRangeImplIid = {0x6b1e7c52, 0x93d4, 0x4a0f, {0x8e, 0x21, 0x5c, 0x7a, 0x30, 0xd9, 0x14, 0x6e}};

class EditRecord final : public HostObject<ITfEditRecord> {
 public:
  explicit EditRecord(bool selectionChanged) : selectionChanged_(selectionChanged) {}
  HRESULT STDMETHODCALLTYPE GetSelectionStatus(BOOL* changed) override {
    if (!changed) return E_INVALIDARG;
    *changed = selectionChanged_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTextAndPropertyUpdates(DWORD, const GUID**, ULONG, IEnumTfRanges** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }

 private:
  bool selectionChanged_;
};

LONG Compare(int32_t a, int32_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

// The scopes of the whole document, as an application that marks a password field gives them.
class InputScopes final : public HostObject<ITfInputScope> {
 public:
  explicit InputScopes(std::vector<InputScope> scopes) : scopes_(std::move(scopes)) {}
  HRESULT STDMETHODCALLTYPE GetInputScopes(InputScope** scopes, UINT* count) override {
    TSFHOST_FRAMEWORK_CALL;
    if (!scopes || !count) return E_INVALIDARG;
    *scopes = static_cast<InputScope*>(CoTaskMemAlloc(sizeof(InputScope) * std::max<size_t>(scopes_.size(), 1)));
    if (!*scopes) return E_OUTOFMEMORY;
    std::copy(scopes_.begin(), scopes_.end(), *scopes);
    *count = static_cast<UINT>(scopes_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPhrase(BSTR** phrases, UINT* count) override { return Nothing(phrases, count); }
  HRESULT STDMETHODCALLTYPE GetRegularExpression(BSTR* text) override { return NoText(text); }
  HRESULT STDMETHODCALLTYPE GetSRGS(BSTR* text) override { return NoText(text); }
  HRESULT STDMETHODCALLTYPE GetXML(BSTR* text) override { return NoText(text); }

 private:
  static HRESULT Nothing(BSTR** phrases, UINT* count) {
    if (phrases) *phrases = nullptr;
    if (count) *count = 0;
    return E_NOTIMPL;
  }
  static HRESULT NoText(BSTR* text) {
    if (text) *text = nullptr;
    return E_NOTIMPL;
  }
  std::vector<InputScope> scopes_;
};

// GUID_PROP_INPUTSCOPE over the whole document: its value is the context's scopes anywhere.
class InputScopeProperty final : public HostObject<ITfProperty> {
 public:
  explicit InputScopeProperty(ComPtr<Context> context) : context_(std::move(context)) {}
  HRESULT STDMETHODCALLTYPE GetType(GUID* type) override {
    if (!type) return E_INVALIDARG;
    *type = kInputScopeProperty;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumRanges(TfEditCookie, IEnumTfRanges** out, ITfRange*) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetValue(TfEditCookie ec, ITfRange* range, VARIANT* value) override {
    TSFHOST_FRAMEWORK_CALL;
    if (!value) return E_INVALIDARG;
    VariantInit(value);
    if (!range) return E_INVALIDARG;
    if (!context_->CanRead(ec)) return TF_E_NOLOCK;
    if (context_->inputScopes().empty()) return S_FALSE;
    return ComBoundary([&] {
      value->vt = VT_UNKNOWN;
      value->punkVal = Make<InputScopes>(context_->inputScopes()).Detach()->Identity();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE GetContext(ITfContext** out) override {
    if (!out) return E_INVALIDARG;
    *out = context_.Get();
    (*out)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE FindRange(TfEditCookie, ITfRange*, ITfRange** out, TfAnchor) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetValueStore(TfEditCookie, ITfRange*, ITfPropertyStore*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetValue(TfEditCookie, ITfRange*, const VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clear(TfEditCookie, ITfRange*) override { return E_NOTIMPL; }

 private:
  ComPtr<Context> context_;
};

}  // namespace

// ---- Range ----

Range::Range(ComPtr<Context> context, int32_t start, int32_t end, Gravity startGravity, Gravity endGravity)
    : context_(std::move(context)) {
  TextStore& store = context_->Doc().Store();
  if (end < start) std::swap(start, end);
  start_ = store.NewAnchor(start, startGravity);
  end_ = store.NewAnchor(end, endGravity);
}

Range::~Range() {
  TextStore& store = context_->Doc().Store();
  store.FreeAnchor(start_);
  store.FreeAnchor(end_);
}

void* Range::FindOther(REFIID iid) {
  return IsEqualIID(iid, kRangeImplIid) ? static_cast<ITfRangeACP*>(this) : nullptr;
}

ComPtr<Range> Range::From(IUnknown* range) {
  ComPtr<ITfRangeACP> impl;
  if (!range || FAILED(range->QueryInterface(kRangeImplIid, impl.PutVoid()))) return {};
  return ComPtr<Range>(static_cast<Range*>(impl.Get()));
}

int32_t Range::Start() const { return context_->Doc().Store().Pos(start_); }
int32_t Range::End() const { return context_->Doc().Store().Pos(end_); }

void Range::SetStart(int32_t pos) {
  TextStore& store = context_->Doc().Store();
  store.SetPos(start_, pos);
  if (store.Pos(end_) < store.Pos(start_)) store.SetPos(end_, store.Pos(start_));
}

void Range::SetEnd(int32_t pos) {
  TextStore& store = context_->Doc().Store();
  store.SetPos(end_, pos);
  if (store.Pos(start_) > store.Pos(end_)) store.SetPos(start_, store.Pos(end_));
}

HRESULT Range::OtherAnchor(ITfRange* with, TfAnchor anchor, int32_t* pos) const {
  TSFHOST_FRAMEWORK_CALL;
  ComPtr<Range> other = From(with);
  if (!other || other->Owner() != Owner()) return E_INVALIDARG;
  *pos = anchor == TF_ANCHOR_START ? other->Start() : other->End();
  return S_OK;
}

HRESULT Range::GetText(TfEditCookie ec, DWORD flags, WCHAR* text, ULONG max, ULONG* copied) {
  TSFHOST_FRAMEWORK_CALL;
  if (!copied || (max > 0 && !text)) return E_INVALIDARG;
  *copied = 0;
  if (!context_->CanRead(ec)) return TF_E_NOLOCK;
  const std::u16string& all = context_->Doc().Text();
  const int32_t start = Start();
  const int32_t end = (flags & TF_TF_IGNOREEND) ? static_cast<int32_t>(all.size()) : End();
  const ULONG count = std::min<ULONG>(max, static_cast<ULONG>(end - start));
  std::copy_n(all.begin() + start, count, text);
  *copied = count;
  if (flags & TF_TF_MOVESTART) SetStart(start + static_cast<int32_t>(count));
  return S_OK;
}

HRESULT Range::SetText(TfEditCookie ec, DWORD, const WCHAR* text, LONG length) {
  TSFHOST_FRAMEWORK_CALL;
  return ComBoundary([&]() -> HRESULT {
    if (!text && length != 0) return E_INVALIDARG;
    if (!context_->CanWrite(ec)) return TF_E_NOLOCK;
    const size_t count = length < 0 ? std::wcslen(text) : static_cast<size_t>(length);
    const std::u16string_view replacement(reinterpret_cast<const char16_t*>(text), count);
    const int32_t start = Start();
    const int32_t newEnd = context_->Doc().Store().Replace(start, End(), replacement);
    // The range covers the new text, whatever its gravity.
    context_->Doc().Store().SetPos(start_, start);
    context_->Doc().Store().SetPos(end_, newEnd);
    context_->NoteTextChanged();
    return S_OK;
  });
}

HRESULT Range::GetFormattedText(TfEditCookie, IDataObject** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT Range::GetEmbedded(TfEditCookie, REFGUID, REFIID, IUnknown** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT Range::InsertEmbedded(TfEditCookie, DWORD, IDataObject*) {
  TSFHOST_FRAMEWORK_CALL;
  return E_NOTIMPL;
}

HRESULT Range::Shift(TfEditCookie ec, bool start, LONG count, LONG* shifted, const TF_HALTCOND* halt) {
  TSFHOST_FRAMEWORK_CALL;
  if (!shifted) return E_INVALIDARG;
  *shifted = 0;
  if (!context_->CanRead(ec)) return TF_E_NOLOCK;
  const int32_t from = start ? Start() : End();
  int64_t target = std::clamp<int64_t>(int64_t{from} + count, 0, context_->Doc().Store().Length());
  if (halt && halt->pHaltRange) {
    int32_t stop = 0;
    if (SUCCEEDED(OtherAnchor(halt->pHaltRange, halt->aHaltPos, &stop))) {
      if (count > 0 && stop >= from) target = std::min<int64_t>(target, stop);
      if (count < 0 && stop <= from) target = std::max<int64_t>(target, stop);
    }
  }
  *shifted = static_cast<LONG>(target - from);
  start ? SetStart(static_cast<int32_t>(target)) : SetEnd(static_cast<int32_t>(target));
  return S_OK;
}

HRESULT Range::ShiftStart(TfEditCookie ec, LONG count, LONG* shifted, const TF_HALTCOND* halt) {
  TSFHOST_FRAMEWORK_CALL;
  return Shift(ec, true, count, shifted, halt);
}

HRESULT Range::ShiftEnd(TfEditCookie ec, LONG count, LONG* shifted, const TF_HALTCOND* halt) {
  TSFHOST_FRAMEWORK_CALL;
  return Shift(ec, false, count, shifted, halt);
}

HRESULT Range::ShiftStartToRange(TfEditCookie ec, ITfRange* range, TfAnchor anchor) {
  TSFHOST_FRAMEWORK_CALL;
  if (!context_->CanRead(ec)) return TF_E_NOLOCK;
  int32_t pos = 0;
  if (HRESULT hr = OtherAnchor(range, anchor, &pos); FAILED(hr)) return hr;
  SetStart(pos);
  return S_OK;
}

HRESULT Range::ShiftEndToRange(TfEditCookie ec, ITfRange* range, TfAnchor anchor) {
  TSFHOST_FRAMEWORK_CALL;
  if (!context_->CanRead(ec)) return TF_E_NOLOCK;
  int32_t pos = 0;
  if (HRESULT hr = OtherAnchor(range, anchor, &pos); FAILED(hr)) return hr;
  SetEnd(pos);
  return S_OK;
}

// The document has no hidden text, so there are no regions to cross.
HRESULT Range::ShiftStartRegion(TfEditCookie ec, TfShiftDir, BOOL* noRegion) {
  TSFHOST_FRAMEWORK_CALL;
  if (!noRegion) return E_INVALIDARG;
  if (!context_->CanRead(ec)) return TF_E_NOLOCK;
  *noRegion = TRUE;
  return S_OK;
}

HRESULT Range::ShiftEndRegion(TfEditCookie ec, TfShiftDir dir, BOOL* noRegion) {
  TSFHOST_FRAMEWORK_CALL;
  return ShiftStartRegion(ec, dir, noRegion);
}

HRESULT Range::IsEmpty(TfEditCookie ec, BOOL* empty) {
  TSFHOST_FRAMEWORK_CALL;
  if (!empty) return E_INVALIDARG;
  if (!context_->CanRead(ec)) return TF_E_NOLOCK;
  *empty = Start() == End();
  return S_OK;
}

HRESULT Range::Collapse(TfEditCookie ec, TfAnchor anchor) {
  TSFHOST_FRAMEWORK_CALL;
  if (!context_->CanRead(ec)) return TF_E_NOLOCK;
  if (anchor == TF_ANCHOR_START) {
    SetEnd(Start());
  } else {
    SetStart(End());
  }
  return S_OK;
}

HRESULT Range::IsEqualStart(TfEditCookie ec, ITfRange* with, TfAnchor anchor, BOOL* equal) {
  TSFHOST_FRAMEWORK_CALL;
  LONG result = 0;
  if (!equal) return E_INVALIDARG;
  HRESULT hr = CompareStart(ec, with, anchor, &result);
  *equal = SUCCEEDED(hr) && result == 0;
  return hr;
}

HRESULT Range::IsEqualEnd(TfEditCookie ec, ITfRange* with, TfAnchor anchor, BOOL* equal) {
  TSFHOST_FRAMEWORK_CALL;
  LONG result = 0;
  if (!equal) return E_INVALIDARG;
  HRESULT hr = CompareEnd(ec, with, anchor, &result);
  *equal = SUCCEEDED(hr) && result == 0;
  return hr;
}

HRESULT Range::CompareStart(TfEditCookie ec, ITfRange* with, TfAnchor anchor, LONG* result) {
  TSFHOST_FRAMEWORK_CALL;
  if (!result) return E_INVALIDARG;
  *result = 0;
  if (!context_->CanRead(ec)) return TF_E_NOLOCK;
  int32_t pos = 0;
  if (HRESULT hr = OtherAnchor(with, anchor, &pos); FAILED(hr)) return hr;
  *result = Compare(Start(), pos);
  return S_OK;
}

HRESULT Range::CompareEnd(TfEditCookie ec, ITfRange* with, TfAnchor anchor, LONG* result) {
  TSFHOST_FRAMEWORK_CALL;
  if (!result) return E_INVALIDARG;
  *result = 0;
  if (!context_->CanRead(ec)) return TF_E_NOLOCK;
  int32_t pos = 0;
  if (HRESULT hr = OtherAnchor(with, anchor, &pos); FAILED(hr)) return hr;
  *result = Compare(End(), pos);
  return S_OK;
}

HRESULT Range::AdjustForInsert(TfEditCookie ec, ULONG, BOOL* insertOk) {
  TSFHOST_FRAMEWORK_CALL;
  if (!insertOk) return E_INVALIDARG;
  if (!context_->CanRead(ec)) return TF_E_NOLOCK;
  *insertOk = TRUE;
  return S_OK;
}

HRESULT Range::GetGravity(TfGravity* start, TfGravity* end) {
  TSFHOST_FRAMEWORK_CALL;
  if (!start || !end) return E_INVALIDARG;
  const TextStore& store = context_->Doc().Store();
  *start = store.GravityOf(start_) == Gravity::kForward ? TF_GRAVITY_FORWARD : TF_GRAVITY_BACKWARD;
  *end = store.GravityOf(end_) == Gravity::kForward ? TF_GRAVITY_FORWARD : TF_GRAVITY_BACKWARD;
  return S_OK;
}

HRESULT Range::SetGravity(TfEditCookie ec, TfGravity start, TfGravity end) {
  TSFHOST_FRAMEWORK_CALL;
  if (!context_->CanRead(ec)) return TF_E_NOLOCK;
  TextStore& store = context_->Doc().Store();
  store.SetGravity(start_, start == TF_GRAVITY_FORWARD ? Gravity::kForward : Gravity::kBackward);
  store.SetGravity(end_, end == TF_GRAVITY_FORWARD ? Gravity::kForward : Gravity::kBackward);
  return S_OK;
}

HRESULT Range::Clone(ITfRange** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  return ComBoundary([&]() -> HRESULT {
    const TextStore& store = context_->Doc().Store();
    *out = Make<Range>(context_, Start(), End(), store.GravityOf(start_), store.GravityOf(end_)).Detach();
    return S_OK;
  });
}

HRESULT Range::GetContext(ITfContext** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out) return E_INVALIDARG;
  *out = context_.Get();
  (*out)->AddRef();
  return S_OK;
}

HRESULT Range::GetExtent(LONG* start, LONG* count) {
  TSFHOST_FRAMEWORK_CALL;
  if (!start || !count) return E_INVALIDARG;
  *start = Start();
  *count = End() - Start();
  return S_OK;
}

HRESULT Range::SetExtent(LONG start, LONG count) {
  TSFHOST_FRAMEWORK_CALL;
  const int32_t length = context_->Doc().Store().Length();
  if (start < 0 || count < 0 || start > length || count > length - start) return E_INVALIDARG;
  context_->Doc().Store().SetPos(start_, start);
  context_->Doc().Store().SetPos(end_, start + count);
  return S_OK;
}

// ---- Composition ----

Composition::Composition(ComPtr<Context> context, int32_t start, int32_t end, ComPtr<ITfCompositionSink> sink,
                         TfClientId owner)
    : context_(std::move(context)), sink_(std::move(sink)), owner_(owner) {
  TextStore& store = context_->Doc().Store();
  start_ = store.NewAnchor(start, Gravity::kBackward);
  end_ = store.NewAnchor(end, Gravity::kForward);
}

Composition::~Composition() {
  TextStore& store = context_->Doc().Store();
  store.FreeAnchor(start_);
  store.FreeAnchor(end_);
}

std::pair<int32_t, int32_t> Composition::Span() const {
  const TextStore& store = context_->Doc().Store();
  return {store.Pos(start_), store.Pos(end_)};
}

HRESULT Composition::GetRange(ITfRange** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!active_) return E_UNEXPECTED;
  return ComBoundary([&]() -> HRESULT {
    const auto [start, end] = Span();
    *out = Make<Range>(context_, start, end).Detach();
    return S_OK;
  });
}

HRESULT Composition::ShiftStart(TfEditCookie ec, ITfRange* newStart) {
  TSFHOST_FRAMEWORK_CALL;
  if (!active_) return E_UNEXPECTED;
  if (!context_->CanWrite(ec)) return TF_E_NOLOCK;
  ComPtr<Range> range = Range::From(newStart);
  if (!range || range->Owner() != context_.Get()) return E_INVALIDARG;
  if (range->Start() > Span().second) return E_INVALIDARG;
  context_->Doc().Store().SetPos(start_, range->Start());
  return S_OK;
}

HRESULT Composition::ShiftEnd(TfEditCookie ec, ITfRange* newEnd) {
  TSFHOST_FRAMEWORK_CALL;
  if (!active_) return E_UNEXPECTED;
  if (!context_->CanWrite(ec)) return TF_E_NOLOCK;
  ComPtr<Range> range = Range::From(newEnd);
  if (!range || range->Owner() != context_.Get()) return E_INVALIDARG;
  if (range->End() < Span().first) return E_INVALIDARG;
  context_->Doc().Store().SetPos(end_, range->End());
  return S_OK;
}

HRESULT Composition::EndComposition(TfEditCookie ec) {
  TSFHOST_FRAMEWORK_CALL;
  if (!active_) return E_UNEXPECTED;
  if (!context_->CanWrite(ec)) return TF_E_NOLOCK;
  active_ = false;
  context_->Forget(this);
  return S_OK;
}

HRESULT Composition::GetOwnerClsid(CLSID* clsid) {
  TSFHOST_FRAMEWORK_CALL;
  if (!clsid) return E_INVALIDARG;
  *clsid = context_->ClsidOf(owner_);
  return S_OK;
}

// ---- ContextView ----

HRESULT ContextView::GetRangeFromPoint(TfEditCookie, const POINT*, DWORD, ITfRange** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT ContextView::GetTextExt(TfEditCookie ec, ITfRange* range, RECT* rect, BOOL* clipped) {
  TSFHOST_FRAMEWORK_CALL;
  if (!rect || !clipped) return E_INVALIDARG;
  *rect = RECT{};
  *clipped = FALSE;
  if (!context_->CanRead(ec)) return TF_E_NOLOCK;
  ComPtr<Range> impl = Range::From(range);
  if (!impl || impl->Owner() != context_.Get()) return E_INVALIDARG;
  View* view = context_->GetView();
  bool outside = false;
  if (!view || !view->TextRect(impl->Start(), impl->End(), rect, &outside)) return TF_E_NOLAYOUT;
  *clipped = outside;
  return S_OK;
}

HRESULT ContextView::GetScreenExt(RECT* rect) {
  TSFHOST_FRAMEWORK_CALL;
  if (!rect) return E_INVALIDARG;
  *rect = RECT{};
  View* view = context_->GetView();
  if (!view || !GetClientRect(view->Window(), rect)) return TF_E_NOLAYOUT;
  MapWindowPoints(view->Window(), nullptr, reinterpret_cast<POINT*>(rect), 2);
  return S_OK;
}

HRESULT ContextView::GetWnd(HWND* hwnd) {
  TSFHOST_FRAMEWORK_CALL;
  if (!hwnd) return E_INVALIDARG;
  View* view = context_->GetView();
  *hwnd = view ? view->Window() : nullptr;
  return S_OK;
}

// ---- Context ----

Context::~Context() { Shutdown(); }

ComPtr<Context> Context::From(IUnknown* context) {
  ComPtr<ITfContext> impl;
  if (!context || FAILED(context->QueryInterface(kContextImplIid, impl.PutVoid()))) return {};
  return ComPtr<Context>(static_cast<Context*>(impl.Get()));
}

void* Context::FindOther(REFIID iid) {
  return IsEqualIID(iid, kContextImplIid) ? static_cast<ITfContext*>(this) : nullptr;
}

void Context::Shutdown() {
  for (const ComPtr<Composition>& composition : compositions_) composition->Finish();
  compositions_.clear();
  queue_.clear();
  sinks_.Clear();
  compartments_.Shutdown();
  owner_.Reset();
}

const Context::Lock* Context::LockOf(TfEditCookie ec) const {
  for (const Lock& lock : locks_) {
    if (lock.cookie == ec) return &lock;
  }
  return nullptr;
}

bool Context::CanRead(TfEditCookie ec) const { return LockOf(ec) != nullptr; }

bool Context::CanWrite(TfEditCookie ec) const {
  const Lock* lock = LockOf(ec);
  return lock && lock->write;
}

template <class F>
HRESULT Context::WithLock(TfClientId tid, bool write, F&& body) {
  TSFHOST_FRAMEWORK_CALL;
  const bool outermost = locks_.empty();
  // Cookies are never reused: one kept from an earlier session stays invalid.
  const TfEditCookie cookie = nextCookie_++;
  locks_.push_back(Lock{cookie, write, tid});
  const HRESULT hr = body(cookie);
  locks_.pop_back();
  if (outermost) AfterOutermostLock();
  return hr;
}

void Context::AfterOutermostLock() {
  const bool text = std::exchange(textChanged_, false);
  const bool selection = std::exchange(selectionChanged_, false);
  if ((text || selection) && view_) view_->DocumentChanged();
  if (text || selection) {
    ComPtr<EditRecord> record = Make<EditRecord>(selection);
    locks_.push_back(Lock{nextCookie_++, false, 0});
    const TfEditCookie readOnly = locks_.back().cookie;
    sinks_.ForEach<ITfTextEditSink>(IID_ITfTextEditSink,
                                    [&](ITfTextEditSink* sink) { sink->OnEndEdit(this, readOnly, record.Get()); });
    locks_.pop_back();
  }
  RunQueuedSessions();
  if (text) LayoutChanged(TF_LC_CHANGE);
}

void Context::RunQueuedSessions() {
  drainPosted_ = false;
  while (locks_.empty() && !queue_.empty()) {
    Pending next = std::move(queue_.front());
    queue_.pop_front();
    WithLock(next.tid, next.write, [&](TfEditCookie ec) {
      const ZoneScope service(Zone::kService);
      return next.session->DoEditSession(ec);
    });
  }
}

void Context::AppChanged(bool text, bool selection) {
  if (!locks_.empty()) return;  // the application never edits inside a session
  textChanged_ = textChanged_ || text;
  selectionChanged_ = selectionChanged_ || selection;
  AfterOutermostLock();
}

void Context::LayoutChanged(TfLayoutCode code) {
  ComPtr<ITfContextView> view;
  if (FAILED(GetActiveView(view.Put()))) return;
  sinks_.ForEach<ITfTextLayoutSink>(IID_ITfTextLayoutSink,
                                    [&](ITfTextLayoutSink* sink) { sink->OnLayoutChange(this, code, view.Get()); });
}

std::optional<std::pair<int32_t, int32_t>> Context::CompositionSpan() const {
  for (const ComPtr<Composition>& composition : compositions_) {
    if (composition->Active()) return composition->Span();
  }
  return std::nullopt;
}

void Context::Forget(Composition* composition) {
  ComPtr<Composition> keep(composition);  // the erase below may drop the last reference
  compositions_.erase(std::remove(compositions_.begin(), compositions_.end(), keep), compositions_.end());
  if (view_) view_->DocumentChanged();
}

void Context::EndComposition(Composition* composition, TfEditCookie ec, bool tellOwner) {
  ComPtr<Composition> keep(composition);
  if (!composition->Active()) return;
  if (tellOwner && composition->Sink()) {
    const ZoneScope service(Zone::kService);
    composition->Sink()->OnCompositionTerminated(ec, composition);
  }
  composition->Finish();
  Forget(composition);
}

void Context::TerminateCompositions() {
  if (compositions_.empty() || !locks_.empty()) return;
  WithLock(kAppClientId, true, [&](TfEditCookie ec) {
    const std::vector<ComPtr<Composition>> all = compositions_;
    for (const ComPtr<Composition>& composition : all) EndComposition(composition.Get(), ec, true);
    return S_OK;
  });
}

HRESULT Context::RequestEditSession(TfClientId tid, ITfEditSession* session, DWORD flags, HRESULT* sessionResult) {
  TSFHOST_FRAMEWORK_CALL;
  if (!session || !sessionResult) return E_INVALIDARG;
  *sessionResult = E_FAIL;
  const bool sync = flags & TF_ES_SYNC;
  const bool async = flags & TF_ES_ASYNC;
  const bool write = (flags & TF_ES_READWRITE) == TF_ES_READWRITE;
  if ((flags & TF_ES_READ) == 0 || (sync && async)) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    ComPtr<ITfEditSession> keep(session);
    if (!locks_.empty()) {
      if (sync) {
        // A synchronous request inside a session runs only within a lock that already allows it.
        const Lock& current = locks_.back();
        if (current.tid != tid || (write && !current.write)) {
          *sessionResult = TF_E_SYNCHRONOUS;
          return S_OK;
        }
        *sessionResult = WithLock(tid, write, [&](TfEditCookie ec) {
          const ZoneScope service(Zone::kService);
          return session->DoEditSession(ec);
        });
        return S_OK;
      }
      queue_.push_back(Pending{tid, keep, write});
      *sessionResult = TF_S_ASYNC;
      return S_OK;
    }
    if (async) {
      queue_.push_back(Pending{tid, keep, write});
      if (!drainPosted_ && view_) drainPosted_ = PostMessageW(view_->Window(), kRunQueuedSessions, 0, 0);
      *sessionResult = TF_S_ASYNC;
      return S_OK;
    }
    *sessionResult = WithLock(tid, write, [&](TfEditCookie ec) {
      const ZoneScope service(Zone::kService);
      return session->DoEditSession(ec);
    });
    return S_OK;
  });
}

HRESULT Context::InWriteSession(TfClientId tid, BOOL* writing) {
  TSFHOST_FRAMEWORK_CALL;
  if (!writing) return E_INVALIDARG;
  *writing = !locks_.empty() && locks_.back().write && locks_.back().tid == tid;
  return S_OK;
}

HRESULT Context::GetSelection(TfEditCookie ec, ULONG index, ULONG count, TF_SELECTION* selection, ULONG* fetched) {
  TSFHOST_FRAMEWORK_CALL;
  if (!fetched || (count > 0 && !selection)) return E_INVALIDARG;
  *fetched = 0;
  if (!CanRead(ec)) return TF_E_NOLOCK;
  // The document has one selection: index 0, also reached as TF_DEFAULT_SELECTION.
  if (count == 0 || (index != 0 && index != static_cast<ULONG>(TF_DEFAULT_SELECTION))) return S_OK;
  return ComBoundary([&]() -> HRESULT {
    selection[0].range = Make<Range>(ComPtr<Context>(this), doc_.SelStart(), doc_.SelEnd()).Detach();
    selection[0].style.ase = doc_.ActiveAtStart() ? TF_AE_START : TF_AE_END;
    selection[0].style.fInterimChar = FALSE;
    *fetched = 1;
    return S_OK;
  });
}

HRESULT Context::SetSelection(TfEditCookie ec, ULONG count, const TF_SELECTION* selection) {
  TSFHOST_FRAMEWORK_CALL;
  if (count == 0 || !selection) return E_INVALIDARG;
  if (!CanWrite(ec)) return TF_E_NOLOCK;
  ComPtr<Range> range = Range::From(selection[0].range);
  if (!range || range->Owner() != this) return E_INVALIDARG;
  doc_.SetSelection(range->Start(), range->End(), selection[0].style.ase == TF_AE_START);
  NoteSelectionChanged();
  return S_OK;
}

HRESULT Context::GetStart(TfEditCookie ec, ITfRange** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!CanRead(ec)) return TF_E_NOLOCK;
  return ComBoundary([&]() -> HRESULT {
    *out = Make<Range>(ComPtr<Context>(this), 0, 0).Detach();
    return S_OK;
  });
}

HRESULT Context::GetEnd(TfEditCookie ec, ITfRange** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!CanRead(ec)) return TF_E_NOLOCK;
  return ComBoundary([&]() -> HRESULT {
    const int32_t end = doc_.Store().Length();
    *out = Make<Range>(ComPtr<Context>(this), end, end).Detach();
    return S_OK;
  });
}

HRESULT Context::GetActiveView(ITfContextView** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  return ComBoundary([&]() -> HRESULT {
    *out = Make<ContextView>(ComPtr<Context>(this)).Detach();
    return S_OK;
  });
}

HRESULT Context::EnumViews(IEnumTfContextViews** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT Context::GetStatus(TF_STATUS* status) {
  TSFHOST_FRAMEWORK_CALL;
  if (!status) return E_INVALIDARG;
  status->dwDynamicFlags = 0;
  status->dwStaticFlags = 0;
  return S_OK;
}

HRESULT Context::GetProperty(REFGUID guid, ITfProperty** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!IsEqualGUID(guid, kInputScopeProperty)) return E_NOTIMPL;
  return ComBoundary([&] {
    *out = Make<InputScopeProperty>(ComPtr<Context>(this)).Detach();
    return S_OK;
  });
}

HRESULT Context::GetAppProperty(REFGUID, ITfReadOnlyProperty** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT Context::TrackProperties(const GUID**, ULONG, const GUID**, ULONG, ITfReadOnlyProperty** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT Context::EnumProperties(IEnumTfProperties** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT Context::GetDocumentMgr(ITfDocumentMgr** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!owner_) return S_FALSE;
  *out = owner_.Get();
  (*out)->AddRef();
  return S_OK;
}

HRESULT Context::CreateRangeBackup(TfEditCookie, ITfRange*, ITfRangeBackup** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT Context::AdviseSink(REFIID iid, IUnknown* sink, DWORD* cookie) {
  TSFHOST_FRAMEWORK_CALL;
  if (!IsEqualIID(iid, IID_ITfTextEditSink) && !IsEqualIID(iid, IID_ITfTextLayoutSink)) {
    if (cookie) *cookie = TF_INVALID_COOKIE;
    return CONNECT_E_CANNOTCONNECT;
  }
  return ComBoundary([&] { return sinks_.Advise(iid, sink, cookie); });
}

HRESULT Context::UnadviseSink(DWORD cookie) {
  TSFHOST_FRAMEWORK_CALL;
  return sinks_.Unadvise(cookie);
}

HRESULT Context::StartComposition(TfEditCookie ec, ITfRange* range, ITfCompositionSink* sink, ITfComposition** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!CanWrite(ec)) return TF_E_NOLOCK;
  ComPtr<Range> impl = Range::From(range);
  if (!impl || impl->Owner() != this) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    auto composition = Make<Composition>(ComPtr<Context>(this), impl->Start(), impl->End(),
                                         ComPtr<ITfCompositionSink>(sink), locks_.back().tid);
    compositions_.push_back(composition);
    if (view_) view_->DocumentChanged();
    *out = composition.Detach();
    return S_OK;
  });
}

HRESULT Context::EnumCompositions(IEnumITfCompositionView** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT Context::FindComposition(TfEditCookie, ITfRange*, IEnumITfCompositionView** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT Context::TakeOwnership(TfEditCookie, ITfCompositionView*, ITfCompositionSink*, ITfComposition** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT Context::TerminateComposition(ITfCompositionView* view) {
  TSFHOST_FRAMEWORK_CALL;
  if (!locks_.empty()) return TF_E_LOCKED;
  if (!view) {
    TerminateCompositions();
    return S_OK;
  }
  for (const ComPtr<Composition>& composition : compositions_) {
    if (static_cast<ITfCompositionView*>(composition.Get()) == view) {
      ComPtr<Composition> keep = composition;
      return WithLock(kAppClientId, true, [&](TfEditCookie ec) {
        EndComposition(keep.Get(), ec, true);
        return S_OK;
      });
    }
  }
  return E_INVALIDARG;
}

HRESULT Context::InsertTextAtSelection(TfEditCookie ec, DWORD flags, const WCHAR* text, LONG length, ITfRange** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  const bool queryOnly = flags & TF_IAS_QUERYONLY;
  if (!out && !(flags & TF_IAS_NOQUERY)) return E_INVALIDARG;
  if (!(queryOnly ? CanRead(ec) : CanWrite(ec))) return TF_E_NOLOCK;
  return ComBoundary([&]() -> HRESULT {
    int32_t start = doc_.SelStart();
    int32_t end = doc_.SelEnd();
    if (!queryOnly) {
      if (!text && length != 0) return E_INVALIDARG;
      const size_t count = length < 0 ? std::wcslen(text) : static_cast<size_t>(length);
      end = doc_.Store().Replace(start, end, std::u16string_view(reinterpret_cast<const char16_t*>(text), count));
      doc_.SetSelection(end, end);
      NoteTextChanged();
      NoteSelectionChanged();
    }
    if (out && !(flags & TF_IAS_NOQUERY)) *out = Make<Range>(ComPtr<Context>(this), start, end).Detach();
    return S_OK;
  });
}

HRESULT Context::InsertEmbeddedAtSelection(TfEditCookie, DWORD, IDataObject*, ITfRange** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT Context::GetCompartment(REFGUID guid, ITfCompartment** out) {
  TSFHOST_FRAMEWORK_CALL;
  return ComBoundary([&] { return compartments_.Get(guid, out); });
}

HRESULT Context::ClearCompartment(TfClientId, REFGUID guid) {
  TSFHOST_FRAMEWORK_CALL;
  return compartments_.Clear(guid);
}

HRESULT Context::EnumCompartments(IEnumGUID** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

}  // namespace quillet::tsfhost
