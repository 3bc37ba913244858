// A small text service for testing tsfhost (never shipped). It uses the framework the way an input
// method does: a composition started on a letter, text written through synchronous edit sessions,
// the composition ended on Enter, its extent read through the context view after every edit, the
// open/close compartment toggled by a Shift tap. A '!' during a composition runs probes of the
// framework's rules. Everything it hears is appended to the file named by TSFHOST_TIP_LOG, one line
// per event, for the tests to read.
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "quillsvc/com/com_object.h"
#include "quillsvc/com/com_ptr.h"
#include "quillsvc/com/tsf_interfaces.h"

namespace {

using quillet::ComObject;
using quillet::ComPtr;
using quillet::QueryAs;

constexpr CLSID kClsid = {0x3fc30ab6, 0x4440, 0x4409, {0xba, 0xe4, 0xf2, 0xde, 0x8e, 0x79, 0x97, 0x15}};

LONG g_objects = 0;

void Log(const char* format, ...) {
  char path[MAX_PATH] = {};
  if (!GetEnvironmentVariableA("TSFHOST_TIP_LOG", path, MAX_PATH)) return;
  FILE* file = std::fopen(path, "a");
  if (!file) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(file, format, args);
  va_end(args);
  std::fputc('\n', file);
  std::fclose(file);
}

// Every object of this DLL counts, for DllCanUnloadNow.
struct TipCount {
  static void Add() { InterlockedIncrement(&g_objects); }
  static void Remove() { InterlockedDecrement(&g_objects); }
};

class TestTip;

// What an edit session of the text service does.
enum class Work { kKey, kEnd, kPlace, kReadProbe, kAsyncProbe, kNestedWrite };

class TestTip final
    : public ComObject<TipCount, ITfTextInputProcessor, ITfThreadMgrEventSink, ITfTextEditSink, ITfTextLayoutSink,
                       ITfKeyEventSink, ITfCompositionSink, ITfThreadFocusSink, ITfCompartmentEventSink> {
 public:
  // ITfTextInputProcessor
  HRESULT STDMETHODCALLTYPE Activate(ITfThreadMgr* threads, TfClientId tid) override;
  HRESULT STDMETHODCALLTYPE Deactivate() override;
  // ITfThreadMgrEventSink
  HRESULT STDMETHODCALLTYPE OnInitDocumentMgr(ITfDocumentMgr*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUninitDocumentMgr(ITfDocumentMgr*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnSetFocus(ITfDocumentMgr* focus, ITfDocumentMgr*) override {
    Log("OnSetFocus %d", focus ? 1 : 0);
    Attach(focus);
    EndAsync();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnPushContext(ITfContext*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPopContext(ITfContext*) override { return S_OK; }
  // ITfTextEditSink
  HRESULT STDMETHODCALLTYPE OnEndEdit(ITfContext* context, TfEditCookie ec, ITfEditRecord* record) override;
  // ITfTextLayoutSink
  HRESULT STDMETHODCALLTYPE OnLayoutChange(ITfContext* context, TfLayoutCode code, ITfContextView* view) override;
  // ITfKeyEventSink
  HRESULT STDMETHODCALLTYPE OnSetFocus(BOOL foreground) override {
    Log("key focus %d", foreground);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnTestKeyDown(ITfContext*, WPARAM key, LPARAM, BOOL* eaten) override {
    *eaten = Eats(key);
    lastKey_ = key;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnKeyDown(ITfContext* context, WPARAM key, LPARAM, BOOL* eaten) override;
  HRESULT STDMETHODCALLTYPE OnTestKeyUp(ITfContext*, WPARAM key, LPARAM, BOOL* eaten) override {
    *eaten = key == VK_SHIFT && lastKey_ == VK_SHIFT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnKeyUp(ITfContext*, WPARAM key, LPARAM, BOOL* eaten) override {
    *eaten = key == VK_SHIFT && lastKey_ == VK_SHIFT;
    if (*eaten) SetOpen(!IsOpen());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnPreservedKey(ITfContext*, REFGUID, BOOL* eaten) override {
    *eaten = FALSE;
    return S_OK;
  }
  // ITfCompositionSink
  HRESULT STDMETHODCALLTYPE OnCompositionTerminated(TfEditCookie, ITfComposition*) override {
    Log("OnCompositionTerminated");
    composition_.Reset();
    return S_OK;
  }
  // ITfThreadFocusSink
  HRESULT STDMETHODCALLTYPE OnSetThreadFocus() override {
    Log("OnSetThreadFocus");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnKillThreadFocus() override {
    Log("OnKillThreadFocus");
    EndAsync();
    return S_OK;
  }
  // ITfCompartmentEventSink
  HRESULT STDMETHODCALLTYPE OnChange(REFGUID guid) override {
    if (IsEqualGUID(guid, GUID_COMPARTMENT_KEYBOARD_OPENCLOSE)) Log("open %d", IsOpen() ? 1 : 0);
    return S_OK;
  }

  // Run inside edit sessions.
  HRESULT HandleKey(TfEditCookie ec, ITfContext* context, WPARAM key);
  HRESULT EndComposition(TfEditCookie ec);
  HRESULT PlaceCandidates(TfEditCookie ec, ITfContext* context);
  HRESULT ReadProbe(TfEditCookie ec, ITfContext* context);
  HRESULT AsyncProbe(TfEditCookie ec, ITfContext* context);
  HRESULT NestedWrite(TfEditCookie ec, ITfContext* context);

  bool IsOpen() const;
  void SetOpen(bool open);

 private:
  bool Eats(WPARAM key) const;
  void Attach(ITfDocumentMgr* focus);
  void EndAsync();
  HRESULT Request(ITfContext* context, DWORD flags, Work work, WPARAM key, HRESULT* result);

  ComPtr<ITfThreadMgr> threads_;
  TfClientId tid_ = TF_CLIENTID_NULL;
  DWORD threadSinkCookie_ = TF_INVALID_COOKIE;
  DWORD focusSinkCookie_ = TF_INVALID_COOKIE;
  DWORD openSinkCookie_ = TF_INVALID_COOKIE;
  DWORD editSinkCookie_ = TF_INVALID_COOKIE;
  DWORD layoutSinkCookie_ = TF_INVALID_COOKIE;
  ComPtr<ITfContext> context_;
  ComPtr<ITfComposition> composition_;
  WPARAM lastKey_ = 0;
  // For the stale-cookie probe: a range and the cookie of a session that has ended.
  ComPtr<ITfRange> staleRange_;
  TfEditCookie staleCookie_ = 0;
};

// An edit session that calls back into the text service.
class Session final : public ComObject<TipCount, ITfEditSession> {
 public:
  Session(TestTip* tip, ComPtr<ITfContext> context, Work work, WPARAM key)
      : tip_(tip), context_(std::move(context)), work_(work), key_(key) {
    tip_->AddRef();
  }
  ~Session() override;
  HRESULT STDMETHODCALLTYPE DoEditSession(TfEditCookie ec) override;

 private:
  TestTip* tip_;
  ComPtr<ITfContext> context_;
  Work work_;
  WPARAM key_;
};

// ---- TestTip ----

ComPtr<ITfCompartment> OpenClose(ITfThreadMgr* threads) {
  ComPtr<ITfCompartment> compartment;
  if (auto manager = QueryAs<ITfCompartmentMgr>(threads)) {
    manager->GetCompartment(GUID_COMPARTMENT_KEYBOARD_OPENCLOSE, compartment.Put());
  }
  return compartment;
}

bool TestTip::IsOpen() const {
  ComPtr<ITfCompartment> compartment = OpenClose(threads_.Get());
  VARIANT value;
  VariantInit(&value);
  const bool open = compartment && compartment->GetValue(&value) == S_OK && value.vt == VT_I4 && value.lVal != 0;
  VariantClear(&value);
  return open;
}

void TestTip::SetOpen(bool open) {
  ComPtr<ITfCompartment> compartment = OpenClose(threads_.Get());
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_I4;
  value.lVal = open ? 1 : 0;
  if (compartment) compartment->SetValue(tid_, &value);
  if (!open) EndAsync();
}

HRESULT TestTip::Activate(ITfThreadMgr* threads, TfClientId tid) {
  Log("Activate tid=%lu", tid);
  threads_ = ComPtr<ITfThreadMgr>(threads);
  tid_ = tid;
  auto source = QueryAs<ITfSource>(threads);
  if (!source || FAILED(source->AdviseSink(IID_ITfThreadMgrEventSink, static_cast<ITfThreadMgrEventSink*>(this),
                                           &threadSinkCookie_))) {
    return E_FAIL;
  }
  ComPtr<ITfDocumentMgr> focus;
  if (threads->GetFocus(focus.Put()) == S_OK && focus) Attach(focus.Get());
  auto keys = QueryAs<ITfKeystrokeMgr>(threads);
  if (!keys || keys->AdviseKeyEventSink(tid, static_cast<ITfKeyEventSink*>(this), TRUE) != S_OK) return E_FAIL;
  source->AdviseSink(IID_ITfThreadFocusSink, static_cast<ITfThreadFocusSink*>(this), &focusSinkCookie_);
  if (auto compartmentSource = QueryAs<ITfSource>(OpenClose(threads).Get())) {
    compartmentSource->AdviseSink(IID_ITfCompartmentEventSink, static_cast<ITfCompartmentEventSink*>(this),
                                  &openSinkCookie_);
  }
  return S_OK;
}

HRESULT TestTip::Deactivate() {
  Log("Deactivate");
  auto source = QueryAs<ITfSource>(threads_.Get());
  if (source && threadSinkCookie_ != TF_INVALID_COOKIE) source->UnadviseSink(threadSinkCookie_);
  if (source && focusSinkCookie_ != TF_INVALID_COOKIE) source->UnadviseSink(focusSinkCookie_);
  threadSinkCookie_ = focusSinkCookie_ = TF_INVALID_COOKIE;
  if (auto compartmentSource = QueryAs<ITfSource>(OpenClose(threads_.Get()).Get())) {
    compartmentSource->UnadviseSink(openSinkCookie_);
  }
  Attach(nullptr);
  if (auto keys = QueryAs<ITfKeystrokeMgr>(threads_.Get())) keys->UnadviseKeyEventSink(tid_);
  composition_.Reset();
  staleRange_.Reset();
  threads_.Reset();
  return S_OK;
}

void TestTip::Attach(ITfDocumentMgr* focus) {
  if (context_) {
    if (auto source = QueryAs<ITfSource>(context_.Get())) {
      source->UnadviseSink(editSinkCookie_);
      source->UnadviseSink(layoutSinkCookie_);
    }
    context_.Reset();
  }
  if (!focus || FAILED(focus->GetTop(context_.Put())) || !context_) return;
  if (auto source = QueryAs<ITfSource>(context_.Get())) {
    source->AdviseSink(IID_ITfTextEditSink, static_cast<ITfTextEditSink*>(this), &editSinkCookie_);
    source->AdviseSink(IID_ITfTextLayoutSink, static_cast<ITfTextLayoutSink*>(this), &layoutSinkCookie_);
  }
}

bool TestTip::Eats(WPARAM key) const {
  if (!IsOpen() || GetKeyState(VK_CONTROL) < 0) return false;
  if (key >= 'A' && key <= 'Z') return true;
  return composition_ && key != VK_SHIFT;
}

HRESULT TestTip::Request(ITfContext* context, DWORD flags, Work work, WPARAM key, HRESULT* result) {
  *result = E_FAIL;
  if (!context) return E_FAIL;
  auto session = ComPtr<Session>::Adopt(new Session(this, ComPtr<ITfContext>(context), work, key));
  return context->RequestEditSession(tid_, session.Get(), flags, result);
}

Session::~Session() { tip_->Release(); }

HRESULT Session::DoEditSession(TfEditCookie ec) {
  switch (work_) {
    case Work::kKey:
      return tip_->HandleKey(ec, context_.Get(), key_);
    case Work::kEnd:
      return tip_->EndComposition(ec);
    case Work::kPlace:
      return tip_->PlaceCandidates(ec, context_.Get());
    case Work::kReadProbe:
      return tip_->ReadProbe(ec, context_.Get());
    case Work::kAsyncProbe:
      return tip_->AsyncProbe(ec, context_.Get());
    case Work::kNestedWrite:
      return tip_->NestedWrite(ec, context_.Get());
  }
  return E_UNEXPECTED;
}

HRESULT TestTip::OnKeyDown(ITfContext* context, WPARAM key, LPARAM, BOOL* eaten) {
  *eaten = Eats(key);
  lastKey_ = key;
  if (!*eaten) return S_OK;
  HRESULT result = E_FAIL;
  Request(context, TF_ES_SYNC | TF_ES_READWRITE, Work::kKey, key, &result);
  return S_OK;
}

void TestTip::EndAsync() {
  if (composition_) {
    HRESULT result = E_FAIL;
    Request(context_.Get(), TF_ES_ASYNCDONTCARE | TF_ES_READWRITE, Work::kEnd, 0, &result);
  }
}

HRESULT TestTip::EndComposition(TfEditCookie ec) {
  HRESULT hr = S_OK;
  if (composition_) {
    hr = composition_->EndComposition(ec);
    Log("EndComposition 0x%08lX", static_cast<unsigned long>(hr));
    composition_.Reset();
  }
  return hr;
}

// The one-entry selection, as text services read it.
ComPtr<ITfRange> Selection(TfEditCookie ec, ITfContext* context) {
  TF_SELECTION selection = {};
  ULONG fetched = 0;
  if (FAILED(context->GetSelection(ec, TF_DEFAULT_SELECTION, 1, &selection, &fetched)) || fetched != 1) return {};
  return ComPtr<ITfRange>::Adopt(selection.range);
}

HRESULT SetSelection(TfEditCookie ec, ITfContext* context, ITfRange* range) {
  TF_SELECTION selection = {};
  selection.range = range;
  selection.style.ase = TF_AE_NONE;
  return context->SetSelection(ec, 1, &selection);
}

HRESULT TestTip::HandleKey(TfEditCookie ec, ITfContext* context, WPARAM key) {
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  if (key == '1' && shift) {
    // '!': the probes.
    HRESULT result = E_FAIL;
    Request(context, TF_ES_SYNC | TF_ES_READ, Work::kReadProbe, 0, &result);
    Log("probe nested-read 0x%08lX", static_cast<unsigned long>(result));
    const HRESULT hr = Request(context, TF_ES_ASYNC | TF_ES_READWRITE, Work::kAsyncProbe, 0, &result);
    Log("probe async-request 0x%08lX 0x%08lX", static_cast<unsigned long>(hr), static_cast<unsigned long>(result));
    if (ComPtr<ITfRange> range = Selection(ec, context)) {
      staleRange_ = range;
      staleCookie_ = ec;
    }
    return S_OK;
  }
  if (key >= 'A' && key <= 'Z') {
    const wchar_t c = static_cast<wchar_t>(shift ? key : key + 32);
    if (!composition_) {
      auto compose = QueryAs<ITfContextComposition>(context);
      auto insert = QueryAs<ITfInsertAtSelection>(context);
      ComPtr<ITfRange> at;
      if (!compose || !insert ||
          FAILED(insert->InsertTextAtSelection(ec, TF_IAS_QUERYONLY | TF_IAS_NO_DEFAULT_COMPOSITION, nullptr, 0,
                                               at.Put())) ||
          FAILED(compose->StartComposition(ec, at.Get(), static_cast<ITfCompositionSink*>(this), composition_.Put())) ||
          !composition_) {
        Log("StartComposition failed");
        return S_OK;
      }
      SetSelection(ec, context, at.Get());
      Log("StartComposition");
    }
    ComPtr<ITfRange> range = Selection(ec, context);
    if (!range || FAILED(range->SetText(ec, 0, &c, 1))) return S_OK;
    range->Collapse(ec, TF_ANCHOR_END);
    SetSelection(ec, context, range.Get());
    return PlaceCandidates(ec, context);
  }
  if (!composition_) return S_OK;
  if (key == VK_RETURN) return EndComposition(ec);
  if (key == VK_ESCAPE) {
    ComPtr<ITfRange> range;
    if (SUCCEEDED(composition_->GetRange(range.Put()))) range->SetText(ec, 0, L"", 0);
    return EndComposition(ec);
  }
  return S_OK;
}

HRESULT TestTip::ReadProbe(TfEditCookie ec, ITfContext* context) {
  ComPtr<ITfRange> range = Selection(ec, context);
  const HRESULT hr = range ? range->SetText(ec, 0, L"x", 1) : E_FAIL;
  Log("probe read-only-write 0x%08lX", static_cast<unsigned long>(hr));
  BOOL writing = TRUE;
  context->InWriteSession(tid_, &writing);
  Log("probe in-write-session %d", writing);
  return S_OK;
}

HRESULT TestTip::AsyncProbe(TfEditCookie ec, ITfContext* context) {
  BOOL writing = FALSE;
  context->InWriteSession(tid_, &writing);
  ComPtr<ITfRange> range = Selection(ec, context);
  LONG moved = 0;
  const HRESULT hr = range ? range->ShiftStart(ec, -1, &moved, nullptr) : E_FAIL;
  Log("async ran write=%d read=0x%08lX", writing, static_cast<unsigned long>(hr));
  return S_OK;
}

HRESULT TestTip::NestedWrite(TfEditCookie, ITfContext*) {
  Log("nested write ran");
  return S_OK;
}

HRESULT TestTip::OnEndEdit(ITfContext* context, TfEditCookie ec, ITfEditRecord* record) {
  BOOL selectionChanged = FALSE;
  record->GetSelectionStatus(&selectionChanged);
  Log("OnEndEdit selection=%d", selectionChanged);
  if (staleRange_) {
    // The cookie of a session that has ended, and the read-only one of this call, write nothing.
    Log("probe stale-write 0x%08lX", static_cast<unsigned long>(staleRange_->SetText(staleCookie_, 0, L"x", 1)));
    Log("probe end-edit-write 0x%08lX", static_cast<unsigned long>(staleRange_->SetText(ec, 0, L"x", 1)));
    HRESULT result = E_FAIL;
    Request(context, TF_ES_SYNC | TF_ES_READWRITE, Work::kNestedWrite, 0, &result);
    Log("probe sync-write-in-read 0x%08lX", static_cast<unsigned long>(result));
    staleRange_.Reset();
  }
  if (!selectionChanged || !composition_) return S_OK;
  ComPtr<ITfRange> selection = Selection(ec, context);
  ComPtr<ITfRange> range;
  LONG startOrder = 0;
  LONG endOrder = 0;
  if (!selection || FAILED(composition_->GetRange(range.Put())) ||
      FAILED(range->CompareStart(ec, selection.Get(), TF_ANCHOR_START, &startOrder)) ||
      FAILED(range->CompareEnd(ec, selection.Get(), TF_ANCHOR_END, &endOrder))) {
    return S_OK;
  }
  if (startOrder > 0 || endOrder < 0) {
    Log("selection left the composition");
    EndAsync();
  }
  return S_OK;
}

HRESULT TestTip::OnLayoutChange(ITfContext* context, TfLayoutCode code, ITfContextView*) {
  Log("OnLayoutChange %d", static_cast<int>(code));
  if (code == TF_LC_CHANGE && composition_) {
    HRESULT result = E_FAIL;
    Request(context, TF_ES_READ, Work::kPlace, 0, &result);
  }
  return S_OK;
}

// Where a candidate window would go: below the composition, inside the document window.
HRESULT TestTip::PlaceCandidates(TfEditCookie ec, ITfContext* context) {
  ComPtr<ITfContextView> view;
  ComPtr<ITfRange> range;
  RECT rect = {};
  BOOL clipped = FALSE;
  if (!composition_ || FAILED(context->GetActiveView(view.Put())) || FAILED(composition_->GetRange(range.Put()))) {
    return S_OK;
  }
  const HRESULT hr = view->GetTextExt(ec, range.Get(), &rect, &clipped);
  HWND document = nullptr;
  view->GetWnd(&document);
  RECT frame = {};
  GetWindowRect(document, &frame);
  const bool inside = rect.left >= frame.left && rect.right <= frame.right && rect.top >= frame.top &&
                      rect.bottom <= frame.bottom && rect.right > rect.left && rect.bottom > rect.top;
  Log("GetTextExt 0x%08lX inside=%d clipped=%d", static_cast<unsigned long>(hr), inside ? 1 : 0, clipped);
  return S_OK;
}

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&g_objects); }
  ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&g_objects); }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    IUnknown* object = static_cast<ITfTextInputProcessor*>(new (std::nothrow) TestTip());
    if (!object) return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? InterlockedIncrement(&g_objects) : InterlockedDecrement(&g_objects);
    return S_OK;
  }
};

Factory g_factory;

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, kClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }
