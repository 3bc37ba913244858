// The thread's side of the framework: thread manager with its keystroke manager, sources,
// compartments, language-bar item manager and UI elements; document managers.
#include <algorithm>

#include "tools/tsfhost/framework.h"
#include "tools/tsfhost/timing.h"

namespace quillet::tsfhost {
namespace {

long g_liveObjects = 0;

bool SameObject(IUnknown* a, IUnknown* b) { return QueryAs<IUnknown>(a).Get() == QueryAs<IUnknown>(b).Get(); }

bool SameVariant(const VARIANT& a, const VARIANT& b) {
  if (a.vt != b.vt) return false;
  switch (a.vt) {
    case VT_EMPTY:
      return true;
    case VT_I4:
      return a.lVal == b.lVal;
    case VT_BSTR:
      return SysStringLen(a.bstrVal) == SysStringLen(b.bstrVal) &&
             std::equal(a.bstrVal, a.bstrVal + SysStringLen(a.bstrVal), b.bstrVal);
    default:
      return a.punkVal == b.punkVal;
  }
}

}  // namespace

long LiveObjects() { return g_liveObjects; }
void HostCount::Add() { ++g_liveObjects; }
void HostCount::Remove() { --g_liveObjects; }

// ---- SinkList ----

HRESULT SinkList::Advise(REFIID iid, IUnknown* unknown, DWORD* cookie) {
  TSFHOST_FRAMEWORK_CALL;
  if (!cookie) return E_INVALIDARG;
  *cookie = TF_INVALID_COOKIE;
  if (!unknown) return E_INVALIDARG;
  ComPtr<IUnknown> sink;
  if (FAILED(unknown->QueryInterface(iid, sink.PutVoid())) || !sink) return CONNECT_E_CANNOTCONNECT;
  entries_.push_back(Entry{next_, iid, sink});
  *cookie = next_++;
  return S_OK;
}

HRESULT SinkList::Unadvise(DWORD cookie) {
  TSFHOST_FRAMEWORK_CALL;
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->cookie == cookie) {
      entries_.erase(it);
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

// ---- Compartments ----

HRESULT Compartment::SetValue(TfClientId, const VARIANT* value) {
  TSFHOST_FRAMEWORK_CALL;
  if (!value) return E_INVALIDARG;
  if (value->vt != VT_I4 && value->vt != VT_BSTR && value->vt != VT_UNKNOWN && value->vt != VT_EMPTY) {
    return E_INVALIDARG;
  }
  if (SameVariant(*value, value_)) return S_OK;
  VARIANT copy;
  VariantInit(&copy);
  if (HRESULT hr = VariantCopy(&copy, const_cast<VARIANT*>(value)); FAILED(hr)) return hr;
  VariantClear(&value_);
  value_ = copy;
  sinks_.ForEach<ITfCompartmentEventSink>(IID_ITfCompartmentEventSink,
                                          [&](ITfCompartmentEventSink* sink) { sink->OnChange(guid_); });
  return S_OK;
}

HRESULT Compartment::GetValue(VARIANT* value) {
  TSFHOST_FRAMEWORK_CALL;
  if (!value) return E_INVALIDARG;
  VariantInit(value);
  if (value_.vt == VT_EMPTY) return S_FALSE;
  return VariantCopy(value, &value_);
}

HRESULT Compartment::AdviseSink(REFIID iid, IUnknown* sink, DWORD* cookie) {
  TSFHOST_FRAMEWORK_CALL;
  if (!IsEqualIID(iid, IID_ITfCompartmentEventSink)) {
    if (cookie) *cookie = TF_INVALID_COOKIE;
    return CONNECT_E_CANNOTCONNECT;
  }
  return ComBoundary([&] { return sinks_.Advise(iid, sink, cookie); });
}

HRESULT Compartment::UnadviseSink(DWORD cookie) {
  TSFHOST_FRAMEWORK_CALL;
  return sinks_.Unadvise(cookie);
}

HRESULT CompartmentStore::Get(REFGUID guid, ITfCompartment** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  for (const auto& [key, compartment] : entries_) {
    if (IsEqualGUID(key, guid)) {
      *out = compartment.Get();
      (*out)->AddRef();
      return S_OK;
    }
  }
  entries_.emplace_back(guid, Make<Compartment>(guid));
  *out = entries_.back().second.Get();
  (*out)->AddRef();
  return S_OK;
}

HRESULT CompartmentStore::Clear(REFGUID guid) {
  TSFHOST_FRAMEWORK_CALL;
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (IsEqualGUID(it->first, guid)) {
      it->second->DropSinks();
      entries_.erase(it);
      return S_OK;
    }
  }
  return S_FALSE;
}

void CompartmentStore::Shutdown() {
  for (auto& entry : entries_) entry.second->DropSinks();
  entries_.clear();
}

HRESULT GlobalCompartments::GetCompartment(REFGUID guid, ITfCompartment** out) {
  TSFHOST_FRAMEWORK_CALL;
  return ComBoundary([&] { return store_.Get(guid, out); });
}

HRESULT GlobalCompartments::ClearCompartment(TfClientId, REFGUID guid) {
  TSFHOST_FRAMEWORK_CALL;
  return store_.Clear(guid);
}

HRESULT GlobalCompartments::EnumCompartments(IEnumGUID** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

// ---- Language-bar helpers ----

HRESULT Menu::AddMenuItem(UINT id, DWORD flags, HBITMAP, HBITMAP, const WCHAR* text, ULONG length, ITfMenu** submenu) {
  TSFHOST_FRAMEWORK_CALL;
  if (submenu) *submenu = nullptr;
  if (!text && length > 0) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    Entry entry{id, flags, std::wstring(text ? text : L"", text ? length : 0), {}};
    if (flags & TF_LBMENUF_SUBMENU) {
      if (!submenu) return E_INVALIDARG;
      entry.submenu = Make<Menu>();
      *submenu = entry.submenu.Get();
      (*submenu)->AddRef();
    }
    entries_.push_back(std::move(entry));
    return S_OK;
  });
}

HRESULT ItemSink::OnUpdate(DWORD) {
  TSFHOST_FRAMEWORK_CALL;
  ++updates_;
  return S_OK;
}

// ---- DocumentMgr ----

ComPtr<DocumentMgr> DocumentMgr::From(IUnknown* manager) {
  ComPtr<ITfDocumentMgr> impl;
  if (!manager || FAILED(manager->QueryInterface(kDocumentMgrImplIid, impl.PutVoid()))) return {};
  return ComPtr<DocumentMgr>(static_cast<DocumentMgr*>(impl.Get()));
}

void* DocumentMgr::FindOther(REFIID iid) {
  return IsEqualIID(iid, kDocumentMgrImplIid) ? static_cast<ITfDocumentMgr*>(this) : nullptr;
}

ComPtr<Context> DocumentMgr::Top() const { return stack_.empty() ? ComPtr<Context>() : stack_.back(); }

void DocumentMgr::Shutdown() {
  while (!stack_.empty()) Pop(0);
  threads_.Reset();
}

HRESULT DocumentMgr::CreateContext(TfClientId, DWORD, IUnknown*, ITfContext** out, TfEditCookie* storeCookie) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out || !storeCookie) return E_INVALIDARG;
  *out = nullptr;
  return ComBoundary([&]() -> HRESULT {
    *out = Make<Context>(ComPtr<DocumentMgr>(this)).Detach();
    *storeCookie = 1;
    return S_OK;
  });
}

HRESULT DocumentMgr::Push(ITfContext* context) {
  TSFHOST_FRAMEWORK_CALL;
  ComPtr<Context> impl = Context::From(context);
  if (!impl || impl->Owner() != this) return E_INVALIDARG;
  if (stack_.size() >= 2) return TF_E_STACKFULL;
  return ComBoundary([&]() -> HRESULT {
    stack_.push_back(impl);
    if (threads_) threads_->ContextPushed(context);
    return S_OK;
  });
}

HRESULT DocumentMgr::Pop(DWORD flags) {
  TSFHOST_FRAMEWORK_CALL;
  if (stack_.empty()) return E_FAIL;
  do {
    ComPtr<Context> top = stack_.back();
    stack_.pop_back();
    if (threads_) threads_->ContextPopped(top.Get());
    top->Shutdown();
  } while ((flags & TF_POPF_ALL) && !stack_.empty());
  return S_OK;
}

HRESULT DocumentMgr::GetTop(ITfContext** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out) return E_INVALIDARG;
  *out = stack_.empty() ? nullptr : static_cast<ITfContext*>(stack_.back().Get());
  if (*out) (*out)->AddRef();
  return S_OK;
}

HRESULT DocumentMgr::GetBase(ITfContext** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out) return E_INVALIDARG;
  *out = stack_.empty() ? nullptr : static_cast<ITfContext*>(stack_.front().Get());
  if (*out) (*out)->AddRef();
  return S_OK;
}

HRESULT DocumentMgr::EnumContexts(IEnumTfContexts** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

CLSID Context::ClsidOf(TfClientId tid) const {
  return owner_ && owner_->Threads() ? owner_->Threads()->ClsidOf(tid) : CLSID_NULL;
}

// ---- ThreadMgr ----

void ThreadMgr::RegisterTip(TfClientId tid, REFCLSID clsid) { clients_.emplace_back(tid, clsid); }

CLSID ThreadMgr::ClsidOf(TfClientId tid) const {
  for (const auto& [id, clsid] : clients_) {
    if (id == tid) return clsid;
  }
  return CLSID_NULL;
}

ComPtr<Context> ThreadMgr::FocusedContext() const { return focus_ ? focus_->Top() : ComPtr<Context>(); }

const ThreadMgr::KeySink* ThreadMgr::Foreground() const {
  for (const KeySink& sink : keySinks_) {
    if (sink.foreground) return &sink;
  }
  return nullptr;
}

void ThreadMgr::SetThreadFocus(bool focus) {
  if (focus == threadFocus_) return;
  threadFocus_ = focus;
  sinks_.ForEach<ITfThreadFocusSink>(IID_ITfThreadFocusSink, [&](ITfThreadFocusSink* sink) {
    focus ? sink->OnSetThreadFocus() : sink->OnKillThreadFocus();
  });
}

ComPtr<ITfCandidateListUIElement> ThreadMgr::CandidateList() const {
  for (auto it = elements_.rbegin(); it != elements_.rend(); ++it) {
    if (auto list = QueryAs<ITfCandidateListUIElement>(it->second.Get())) return list;
  }
  return {};
}

void ThreadMgr::ContextPushed(ITfContext* context) {
  sinks_.ForEach<ITfThreadMgrEventSink>(IID_ITfThreadMgrEventSink,
                                        [&](ITfThreadMgrEventSink* sink) { sink->OnPushContext(context); });
}

void ThreadMgr::ContextPopped(ITfContext* context) {
  sinks_.ForEach<ITfThreadMgrEventSink>(IID_ITfThreadMgrEventSink,
                                        [&](ITfThreadMgrEventSink* sink) { sink->OnPopContext(context); });
}

void ThreadMgr::Shutdown() {
  for (const Item& item : std::vector<Item>(items_)) RemoveItem(item.item.Get());
  focus_.Reset();
  sinks_.Clear();
  keySinks_.clear();
  singleSinks_.clear();
  preserved_.clear();
  elements_.clear();
  compartments_.Shutdown();
  global_.Reset();
}

HRESULT ThreadMgr::Activate(TfClientId* tid) {
  TSFHOST_FRAMEWORK_CALL;
  if (!tid) return E_INVALIDARG;
  *tid = kAppClientId;
  activated_ = true;
  return S_OK;
}

HRESULT ThreadMgr::Deactivate() {
  TSFHOST_FRAMEWORK_CALL;
  activated_ = false;
  return S_OK;
}

HRESULT ThreadMgr::CreateDocumentMgr(ITfDocumentMgr** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  return ComBoundary([&]() -> HRESULT {
    auto manager = Make<DocumentMgr>(ComPtr<ThreadMgr>(this));
    sinks_.ForEach<ITfThreadMgrEventSink>(IID_ITfThreadMgrEventSink,
                                          [&](ITfThreadMgrEventSink* sink) { sink->OnInitDocumentMgr(manager.Get()); });
    *out = manager.Detach();
    return S_OK;
  });
}

HRESULT ThreadMgr::EnumDocumentMgrs(IEnumTfDocumentMgrs** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT ThreadMgr::GetFocus(ITfDocumentMgr** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out) return E_INVALIDARG;
  *out = focus_.Get();
  if (*out) (*out)->AddRef();
  return S_OK;
}

HRESULT ThreadMgr::SetFocus(ITfDocumentMgr* focus) {
  TSFHOST_FRAMEWORK_CALL;
  ComPtr<DocumentMgr> next = DocumentMgr::From(focus);
  if (focus && !next) return E_INVALIDARG;
  if (next == focus_) return S_OK;
  ComPtr<DocumentMgr> previous = std::exchange(focus_, next);
  sinks_.ForEach<ITfThreadMgrEventSink>(
      IID_ITfThreadMgrEventSink, [&](ITfThreadMgrEventSink* sink) { sink->OnSetFocus(next.Get(), previous.Get()); });
  return S_OK;
}

HRESULT ThreadMgr::AssociateFocus(HWND, ITfDocumentMgr*, ITfDocumentMgr** previous) {
  TSFHOST_FRAMEWORK_CALL;
  if (previous) *previous = nullptr;
  return E_NOTIMPL;
}

HRESULT ThreadMgr::IsThreadFocus(BOOL* focus) {
  TSFHOST_FRAMEWORK_CALL;
  if (!focus) return E_INVALIDARG;
  *focus = threadFocus_;
  return S_OK;
}

HRESULT ThreadMgr::GetFunctionProvider(REFCLSID clsid, ITfFunctionProvider** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  for (const SingleSink& single : singleSinks_) {
    if (IsEqualIID(single.iid, IID_ITfFunctionProvider) && IsEqualCLSID(ClsidOf(single.tid), clsid)) {
      return single.sink->QueryInterface(IID_ITfFunctionProvider, reinterpret_cast<void**>(out));
    }
  }
  return TF_E_NOPROVIDER;
}

HRESULT ThreadMgr::EnumFunctionProviders(IEnumTfFunctionProviders** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT ThreadMgr::GetGlobalCompartment(ITfCompartmentMgr** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    if (!global_) global_ = Make<GlobalCompartments>();
    *out = global_.Get();
    (*out)->AddRef();
    return S_OK;
  });
}

HRESULT ThreadMgr::AdviseSink(REFIID iid, IUnknown* sink, DWORD* cookie) {
  TSFHOST_FRAMEWORK_CALL;
  if (!IsEqualIID(iid, IID_ITfThreadMgrEventSink) && !IsEqualIID(iid, IID_ITfThreadFocusSink)) {
    if (cookie) *cookie = TF_INVALID_COOKIE;
    return CONNECT_E_CANNOTCONNECT;
  }
  return ComBoundary([&] { return sinks_.Advise(iid, sink, cookie); });
}

HRESULT ThreadMgr::UnadviseSink(DWORD cookie) {
  TSFHOST_FRAMEWORK_CALL;
  return sinks_.Unadvise(cookie);
}

HRESULT ThreadMgr::AdviseKeyEventSink(TfClientId tid, ITfKeyEventSink* sink, BOOL foreground) {
  TSFHOST_FRAMEWORK_CALL;
  if (!sink || (tid != kTipClientId && tid != kAppClientId)) return E_INVALIDARG;
  for (const KeySink& existing : keySinks_) {
    if (existing.tid == tid) return CONNECT_E_ADVISELIMIT;
  }
  return ComBoundary([&]() -> HRESULT {
    if (foreground) {
      for (KeySink& other : keySinks_) other.foreground = false;
    }
    keySinks_.push_back(KeySink{tid, ComPtr<ITfKeyEventSink>(sink), foreground != FALSE});
    if (foreground && threadFocus_) sink->OnSetFocus(TRUE);
    return S_OK;
  });
}

HRESULT ThreadMgr::UnadviseKeyEventSink(TfClientId tid) {
  TSFHOST_FRAMEWORK_CALL;
  for (auto it = keySinks_.begin(); it != keySinks_.end(); ++it) {
    if (it->tid == tid) {
      keySinks_.erase(it);
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

HRESULT ThreadMgr::GetForeground(CLSID* clsid) {
  TSFHOST_FRAMEWORK_CALL;
  if (!clsid) return E_INVALIDARG;
  const KeySink* sink = Foreground();
  *clsid = sink ? ClsidOf(sink->tid) : CLSID_NULL;
  return sink ? S_OK : S_FALSE;
}

const ThreadMgr::Preserved* ThreadMgr::PreservedFor(WPARAM key, bool up) const {
  const bool alt = GetKeyState(VK_MENU) < 0;
  const bool control = GetKeyState(VK_CONTROL) < 0;
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  for (const Preserved& p : preserved_) {
    if (p.key.uVKey != key || ((p.key.uModifiers & TF_MOD_ON_KEYUP) != 0) != up) continue;
    if (p.key.uModifiers & TF_MOD_IGNORE_ALL_MODIFIER) return &p;
    const bool wantAlt = p.key.uModifiers & (TF_MOD_ALT | TF_MOD_LALT | TF_MOD_RALT);
    const bool wantControl = p.key.uModifiers & (TF_MOD_CONTROL | TF_MOD_LCONTROL | TF_MOD_RCONTROL);
    const bool wantShift = p.key.uModifiers & (TF_MOD_SHIFT | TF_MOD_LSHIFT | TF_MOD_RSHIFT);
    if (alt == wantAlt && control == wantControl && shift == wantShift) return &p;
  }
  return nullptr;
}

HRESULT ThreadMgr::Key(bool test, bool up, WPARAM wParam, LPARAM lParam, BOOL* eaten) {
  TSFHOST_FRAMEWORK_CALL;
  if (!eaten) return E_INVALIDARG;
  *eaten = FALSE;
  ComPtr<Context> context = FocusedContext();
  if (const Preserved* preserved = PreservedFor(wParam, up)) {
    *eaten = TRUE;
    if (test) return S_OK;
    for (const KeySink& sink : keySinks_) {
      if (sink.tid == preserved->tid) {
        const GUID guid = preserved->guid;
        ComPtr<ITfKeyEventSink> keep = sink.sink;
        return keep->OnPreservedKey(context.Get(), guid, eaten);
      }
    }
    return S_OK;
  }
  const KeySink* foreground = Foreground();
  if (!foreground) return S_OK;
  ComPtr<ITfKeyEventSink> sink = foreground->sink;  // it may unadvise while handling the key
  ITfContext* current = context.Get();
  const ZoneScope service(Zone::kService);
  if (test) {
    return up ? sink->OnTestKeyUp(current, wParam, lParam, eaten) : sink->OnTestKeyDown(current, wParam, lParam, eaten);
  }
  return up ? sink->OnKeyUp(current, wParam, lParam, eaten) : sink->OnKeyDown(current, wParam, lParam, eaten);
}

HRESULT ThreadMgr::TestKeyDown(WPARAM wParam, LPARAM lParam, BOOL* eaten) {
  TSFHOST_FRAMEWORK_CALL;
  return Key(true, false, wParam, lParam, eaten);
}
HRESULT ThreadMgr::TestKeyUp(WPARAM wParam, LPARAM lParam, BOOL* eaten) {
  TSFHOST_FRAMEWORK_CALL;
  return Key(true, true, wParam, lParam, eaten);
}
HRESULT ThreadMgr::KeyDown(WPARAM wParam, LPARAM lParam, BOOL* eaten) {
  TSFHOST_FRAMEWORK_CALL;
  return Key(false, false, wParam, lParam, eaten);
}
HRESULT ThreadMgr::KeyUp(WPARAM wParam, LPARAM lParam, BOOL* eaten) {
  TSFHOST_FRAMEWORK_CALL;
  return Key(false, true, wParam, lParam, eaten);
}

HRESULT ThreadMgr::GetPreservedKey(ITfContext*, const TF_PRESERVEDKEY* key, GUID* guid) {
  TSFHOST_FRAMEWORK_CALL;
  if (!key || !guid) return E_INVALIDARG;
  *guid = GUID_NULL;
  for (const Preserved& p : preserved_) {
    if (p.key.uVKey == key->uVKey && p.key.uModifiers == key->uModifiers) {
      *guid = p.guid;
      return S_OK;
    }
  }
  return S_FALSE;
}

HRESULT ThreadMgr::IsPreservedKey(REFGUID guid, const TF_PRESERVEDKEY* key, BOOL* registered) {
  TSFHOST_FRAMEWORK_CALL;
  if (!key || !registered) return E_INVALIDARG;
  *registered = FALSE;
  for (const Preserved& p : preserved_) {
    if (IsEqualGUID(p.guid, guid) && p.key.uVKey == key->uVKey && p.key.uModifiers == key->uModifiers) {
      *registered = TRUE;
    }
  }
  return S_OK;
}

HRESULT ThreadMgr::PreserveKey(TfClientId tid, REFGUID guid, const TF_PRESERVEDKEY* key, const WCHAR* description,
                               ULONG length) {
  TSFHOST_FRAMEWORK_CALL;
  if (!key || (!description && length > 0)) return E_INVALIDARG;
  for (const Preserved& p : preserved_) {
    if (p.key.uVKey == key->uVKey && p.key.uModifiers == key->uModifiers) return TF_E_ALREADY_EXISTS;
  }
  return ComBoundary([&]() -> HRESULT {
    preserved_.push_back(Preserved{tid, guid, *key, std::wstring(description ? description : L"", length)});
    return S_OK;
  });
}

HRESULT ThreadMgr::UnpreserveKey(REFGUID guid, const TF_PRESERVEDKEY* key) {
  TSFHOST_FRAMEWORK_CALL;
  if (!key) return E_INVALIDARG;
  for (auto it = preserved_.begin(); it != preserved_.end(); ++it) {
    if (IsEqualGUID(it->guid, guid) && it->key.uVKey == key->uVKey && it->key.uModifiers == key->uModifiers) {
      preserved_.erase(it);
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

HRESULT ThreadMgr::SetPreservedKeyDescription(REFGUID guid, const WCHAR* description, ULONG length) {
  TSFHOST_FRAMEWORK_CALL;
  if (!description && length > 0) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    for (Preserved& p : preserved_) {
      if (IsEqualGUID(p.guid, guid)) {
        p.description.assign(description ? description : L"", length);
        return S_OK;
      }
    }
    return E_INVALIDARG;
  });
}

HRESULT ThreadMgr::GetPreservedKeyDescription(REFGUID guid, BSTR* description) {
  TSFHOST_FRAMEWORK_CALL;
  if (!description) return E_INVALIDARG;
  *description = nullptr;
  for (const Preserved& p : preserved_) {
    if (IsEqualGUID(p.guid, guid)) {
      *description = SysAllocStringLen(p.description.data(), static_cast<UINT>(p.description.size()));
      return *description ? S_OK : E_OUTOFMEMORY;
    }
  }
  return E_INVALIDARG;
}

HRESULT ThreadMgr::SimulatePreservedKey(ITfContext* context, REFGUID guid, BOOL* eaten) {
  TSFHOST_FRAMEWORK_CALL;
  if (!eaten) return E_INVALIDARG;
  *eaten = FALSE;
  for (const Preserved& p : preserved_) {
    if (!IsEqualGUID(p.guid, guid)) continue;
    for (const KeySink& sink : keySinks_) {
      if (sink.tid == p.tid) {
        ComPtr<ITfKeyEventSink> keep = sink.sink;
        return keep->OnPreservedKey(context, guid, eaten);
      }
    }
  }
  return S_OK;
}

HRESULT ThreadMgr::AdviseSingleSink(TfClientId tid, REFIID iid, IUnknown* sink) {
  TSFHOST_FRAMEWORK_CALL;
  if (!sink) return E_INVALIDARG;
  if (!IsEqualIID(iid, IID_ITfFunctionProvider)) return CONNECT_E_CANNOTCONNECT;
  for (const SingleSink& single : singleSinks_) {
    if (single.tid == tid && IsEqualIID(single.iid, iid)) return CONNECT_E_ADVISELIMIT;
  }
  ComPtr<IUnknown> queried;
  if (FAILED(sink->QueryInterface(iid, queried.PutVoid()))) return E_NOINTERFACE;
  return ComBoundary([&]() -> HRESULT {
    singleSinks_.push_back(SingleSink{tid, iid, queried});
    return S_OK;
  });
}

HRESULT ThreadMgr::UnadviseSingleSink(TfClientId tid, REFIID iid) {
  TSFHOST_FRAMEWORK_CALL;
  for (auto it = singleSinks_.begin(); it != singleSinks_.end(); ++it) {
    if (it->tid == tid && IsEqualIID(it->iid, iid)) {
      singleSinks_.erase(it);
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

HRESULT ThreadMgr::GetCompartment(REFGUID guid, ITfCompartment** out) {
  TSFHOST_FRAMEWORK_CALL;
  return ComBoundary([&] { return compartments_.Get(guid, out); });
}

HRESULT ThreadMgr::ClearCompartment(TfClientId, REFGUID guid) {
  TSFHOST_FRAMEWORK_CALL;
  return compartments_.Clear(guid);
}

HRESULT ThreadMgr::EnumCompartments(IEnumGUID** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT ThreadMgr::EnumItems(IEnumTfLangBarItems** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT ThreadMgr::GetItem(REFGUID guid, ITfLangBarItem** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  for (const Item& item : items_) {
    if (IsEqualGUID(item.info.guidItem, guid)) {
      item.item.CopyTo(out);
      return S_OK;
    }
  }
  return E_FAIL;
}

HRESULT ThreadMgr::AddItem(ITfLangBarItem* item) {
  TSFHOST_FRAMEWORK_CALL;
  if (!item) return E_INVALIDARG;
  for (const Item& existing : items_) {
    if (SameObject(existing.item.Get(), item)) return E_INVALIDARG;
  }
  return ComBoundary([&]() -> HRESULT {
    Item entry{ComPtr<ITfLangBarItem>(item), {}, Make<ItemSink>(), 0};
    if (HRESULT hr = item->GetInfo(&entry.info); FAILED(hr)) return hr;
    // The language bar advises its sink on the item, so the item's ITfSource is exercised.
    if (auto source = QueryAs<ITfSource>(item)) {
      DWORD cookie = 0;
      if (SUCCEEDED(source->AdviseSink(IID_ITfLangBarItemSink, static_cast<ITfLangBarItemSink*>(entry.sink.Get()),
                                       &cookie))) {
        entry.cookie = cookie;
      }
    }
    items_.push_back(std::move(entry));
    return S_OK;
  });
}

HRESULT ThreadMgr::RemoveItem(ITfLangBarItem* item) {
  TSFHOST_FRAMEWORK_CALL;
  if (!item) return E_INVALIDARG;
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (!SameObject(it->item.Get(), item)) continue;
    Item removed = std::move(*it);
    items_.erase(it);
    if (removed.cookie != 0) {
      if (auto source = QueryAs<ITfSource>(removed.item.Get())) source->UnadviseSink(removed.cookie);
    }
    return S_OK;
  }
  return E_INVALIDARG;
}

HRESULT ThreadMgr::AdviseItemSink(ITfLangBarItemSink*, DWORD* cookie, REFGUID) {
  TSFHOST_FRAMEWORK_CALL;
  if (cookie) *cookie = 0;
  return E_NOTIMPL;
}
HRESULT ThreadMgr::UnadviseItemSink(DWORD) {
  TSFHOST_FRAMEWORK_CALL;
  return E_NOTIMPL;
}
HRESULT ThreadMgr::GetItemFloatingRect(DWORD, REFGUID, RECT* rect) {
  TSFHOST_FRAMEWORK_CALL;
  if (rect) *rect = RECT{};
  return E_NOTIMPL;
}
HRESULT ThreadMgr::GetItemsStatus(ULONG, const GUID*, DWORD*) {
  TSFHOST_FRAMEWORK_CALL;
  return E_NOTIMPL;
}
HRESULT ThreadMgr::GetItemNum(ULONG* count) {
  TSFHOST_FRAMEWORK_CALL;
  if (!count) return E_INVALIDARG;
  *count = static_cast<ULONG>(items_.size());
  return S_OK;
}
HRESULT ThreadMgr::GetItems(ULONG, ITfLangBarItem**, TF_LANGBARITEMINFO*, DWORD*, ULONG* fetched) {
  TSFHOST_FRAMEWORK_CALL;
  if (fetched) *fetched = 0;
  return E_NOTIMPL;
}
HRESULT ThreadMgr::AdviseItemsSink(ULONG, ITfLangBarItemSink**, const GUID*, DWORD*) {
  TSFHOST_FRAMEWORK_CALL;
  return E_NOTIMPL;
}
HRESULT ThreadMgr::UnadviseItemsSink(ULONG, DWORD*) {
  TSFHOST_FRAMEWORK_CALL;
  return E_NOTIMPL;
}

HRESULT ThreadMgr::BeginUIElement(ITfUIElement* element, BOOL* show, DWORD* id) {
  TSFHOST_FRAMEWORK_CALL;
  if (!element || !show || !id) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    elements_.emplace_back(nextElement_, ComPtr<ITfUIElement>(element));
    *id = nextElement_++;
    *show = drawsCandidates_ && QueryAs<ITfCandidateListUIElement>(element) ? FALSE : TRUE;
    if (elementsView_ != nullptr) elementsView_->DocumentChanged();
    return S_OK;
  });
}

HRESULT ThreadMgr::UpdateUIElement(DWORD id) {
  TSFHOST_FRAMEWORK_CALL;
  for (const auto& element : elements_) {
    if (element.first != id) continue;
    if (elementsView_ != nullptr) elementsView_->DocumentChanged();
    return S_OK;
  }
  return E_INVALIDARG;
}

HRESULT ThreadMgr::EndUIElement(DWORD id) {
  TSFHOST_FRAMEWORK_CALL;
  for (auto it = elements_.begin(); it != elements_.end(); ++it) {
    if (it->first == id) {
      elements_.erase(it);
      if (elementsView_ != nullptr) elementsView_->DocumentChanged();
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

HRESULT ThreadMgr::GetUIElement(DWORD id, ITfUIElement** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  for (const auto& element : elements_) {
    if (element.first == id) {
      element.second.CopyTo(out);
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

HRESULT ThreadMgr::EnumUIElements(IEnumTfUIElements** out) {
  TSFHOST_FRAMEWORK_CALL;
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

}  // namespace quillet::tsfhost
