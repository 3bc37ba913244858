// The framework side of the text services framework that a text service talks to, played by tsfhost
// over one plain-text document: thread manager (with its keystroke manager, sources, compartments,
// language-bar item manager and UI-element manager), document manager, context with compositions,
// ranges, edit sessions and a context view.
//
// Edit sessions work as the framework grants them: a synchronous request runs at once when the
// document is not locked; an asynchronous one (or any request made while a session runs) is queued
// and runs when the lock is released, a TF_ES_ASYNC request made outside a lock after a posted
// message. Every session gets a fresh cookie that is valid only while it runs; reading needs any
// valid cookie and writing a read-write one, else TF_E_NOLOCK. When a session (or the application)
// changed the text or the selection, the text-edit sinks get OnEndEdit inside a read-only lock, then
// queued sessions run, then the layout sinks hear TF_LC_CHANGE if the text changed.
#pragma once

#include <inputscope.h>

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "quillsvc/com/tsf_interfaces.h"
#include "tools/tsfhost/com_object.h"
#include "tools/tsfhost/text_store.h"

namespace quillet::tsfhost {

// The client ids the host hands out: its own (as the application) and the text service's.
inline constexpr TfClientId kAppClientId = 0x0A01;
inline constexpr TfClientId kTipClientId = 0x0A02;

// Posted to the application window to run the sessions queued by TF_ES_ASYNC requests.
inline constexpr UINT kRunQueuedSessions = WM_APP + 0x51;

// What the framework needs of the application's window.
class View {
 public:
  virtual HWND Window() const = 0;
  // Screen rectangle of the text in [start, end) (a caret-wide one when empty); `clipped` when part
  // of it lies outside the window's client area.
  virtual bool TextRect(int32_t start, int32_t end, RECT* rect, bool* clipped) const = 0;
  // The document changed: repaint, move the caret.
  virtual void DocumentChanged() = 0;

 protected:
  ~View() = default;
};

// Private IIDs through which the host finds its own objects behind the interface pointers a text
// service hands back (a foreign object simply does not answer them).
inline constexpr IID kContextImplIid = {0x3f0a6d11, 0x7c2e, 0x4b58, {0x9d, 0x44, 0x0e, 0x61, 0xa2, 0x7b, 0xc3, 0x15}};
inline constexpr IID kDocumentMgrImplIid = {
    0x3f0a6d12, 0x7c2e, 0x4b58, {0x9d, 0x44, 0x0e, 0x61, 0xa2, 0x7b, 0xc3, 0x15}};

class Compartment;
class Context;
class DocumentMgr;
class ThreadMgr;

class Compartment final : public HostObject<ITfCompartment, ITfSource> {
 public:
  explicit Compartment(const GUID& guid) : guid_(guid) { VariantInit(&value_); }
  ~Compartment() override { VariantClear(&value_); }

  // ITfCompartment: VT_I4, VT_BSTR, VT_UNKNOWN or VT_EMPTY; a change tells the event sinks.
  HRESULT STDMETHODCALLTYPE SetValue(TfClientId tid, const VARIANT* value) override;
  HRESULT STDMETHODCALLTYPE GetValue(VARIANT* value) override;
  // ITfSource: ITfCompartmentEventSink.
  HRESULT STDMETHODCALLTYPE AdviseSink(REFIID iid, IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE UnadviseSink(DWORD cookie) override;

  void DropSinks() { sinks_.Clear(); }

 private:
  GUID guid_;
  VARIANT value_;
  SinkList sinks_;
};

// The compartments of one owner (thread, context, or the global ones), made on first request.
class CompartmentStore {
 public:
  HRESULT Get(REFGUID guid, ITfCompartment** out);
  HRESULT Clear(REFGUID guid);
  void Shutdown();

 private:
  std::vector<std::pair<GUID, ComPtr<Compartment>>> entries_;
};

class GlobalCompartments final : public HostObject<ITfCompartmentMgr> {
 public:
  ~GlobalCompartments() override { store_.Shutdown(); }
  HRESULT STDMETHODCALLTYPE GetCompartment(REFGUID guid, ITfCompartment** out) override;
  HRESULT STDMETHODCALLTYPE ClearCompartment(TfClientId tid, REFGUID guid) override;
  HRESULT STDMETHODCALLTYPE EnumCompartments(IEnumGUID** out) override;

 private:
  CompartmentStore store_;
};

class Range final : public HostObject<ITfRangeACP> {
 public:
  Range(ComPtr<Context> context, int32_t start, int32_t end, Gravity startGravity = Gravity::kBackward,
        Gravity endGravity = Gravity::kForward);
  ~Range() override;

  // Our range behind an interface pointer the text service hands back; null for anything else.
  static ComPtr<Range> From(IUnknown* range);
  int32_t Start() const;
  int32_t End() const;
  Context* Owner() const { return context_.Get(); }

  // ITfRange
  HRESULT STDMETHODCALLTYPE GetText(TfEditCookie ec, DWORD flags, WCHAR* text, ULONG max, ULONG* copied) override;
  HRESULT STDMETHODCALLTYPE SetText(TfEditCookie ec, DWORD flags, const WCHAR* text, LONG length) override;
  HRESULT STDMETHODCALLTYPE GetFormattedText(TfEditCookie ec, IDataObject** out) override;
  HRESULT STDMETHODCALLTYPE GetEmbedded(TfEditCookie ec, REFGUID service, REFIID iid, IUnknown** out) override;
  HRESULT STDMETHODCALLTYPE InsertEmbedded(TfEditCookie ec, DWORD flags, IDataObject* data) override;
  HRESULT STDMETHODCALLTYPE ShiftStart(TfEditCookie ec, LONG count, LONG* shifted, const TF_HALTCOND* halt) override;
  HRESULT STDMETHODCALLTYPE ShiftEnd(TfEditCookie ec, LONG count, LONG* shifted, const TF_HALTCOND* halt) override;
  HRESULT STDMETHODCALLTYPE ShiftStartToRange(TfEditCookie ec, ITfRange* range, TfAnchor anchor) override;
  HRESULT STDMETHODCALLTYPE ShiftEndToRange(TfEditCookie ec, ITfRange* range, TfAnchor anchor) override;
  HRESULT STDMETHODCALLTYPE ShiftStartRegion(TfEditCookie ec, TfShiftDir dir, BOOL* noRegion) override;
  HRESULT STDMETHODCALLTYPE ShiftEndRegion(TfEditCookie ec, TfShiftDir dir, BOOL* noRegion) override;
  HRESULT STDMETHODCALLTYPE IsEmpty(TfEditCookie ec, BOOL* empty) override;
  HRESULT STDMETHODCALLTYPE Collapse(TfEditCookie ec, TfAnchor anchor) override;
  HRESULT STDMETHODCALLTYPE IsEqualStart(TfEditCookie ec, ITfRange* with, TfAnchor anchor, BOOL* equal) override;
  HRESULT STDMETHODCALLTYPE IsEqualEnd(TfEditCookie ec, ITfRange* with, TfAnchor anchor, BOOL* equal) override;
  HRESULT STDMETHODCALLTYPE CompareStart(TfEditCookie ec, ITfRange* with, TfAnchor anchor, LONG* result) override;
  HRESULT STDMETHODCALLTYPE CompareEnd(TfEditCookie ec, ITfRange* with, TfAnchor anchor, LONG* result) override;
  HRESULT STDMETHODCALLTYPE AdjustForInsert(TfEditCookie ec, ULONG count, BOOL* insertOk) override;
  HRESULT STDMETHODCALLTYPE GetGravity(TfGravity* start, TfGravity* end) override;
  HRESULT STDMETHODCALLTYPE SetGravity(TfEditCookie ec, TfGravity start, TfGravity end) override;
  HRESULT STDMETHODCALLTYPE Clone(ITfRange** out) override;
  HRESULT STDMETHODCALLTYPE GetContext(ITfContext** out) override;
  // ITfRangeACP
  HRESULT STDMETHODCALLTYPE GetExtent(LONG* start, LONG* count) override;
  HRESULT STDMETHODCALLTYPE SetExtent(LONG start, LONG count) override;

 private:
  // Our own object, behind a private IID.
  void* FindOther(REFIID iid) override;
  // The position of `anchor` of another range of this context, or an error.
  HRESULT OtherAnchor(ITfRange* with, TfAnchor anchor, int32_t* pos) const;
  HRESULT Shift(TfEditCookie ec, bool start, LONG count, LONG* shifted, const TF_HALTCOND* halt);
  void SetStart(int32_t pos);
  void SetEnd(int32_t pos);

  ComPtr<Context> context_;
  TextStore::Anchor start_;
  TextStore::Anchor end_;
};

class Composition final : public HostObject<ITfComposition, ITfCompositionView> {
 public:
  Composition(ComPtr<Context> context, int32_t start, int32_t end, ComPtr<ITfCompositionSink> sink, TfClientId owner);
  ~Composition() override;

  std::pair<int32_t, int32_t> Span() const;
  bool Active() const { return active_; }
  TfClientId OwnerId() const { return owner_; }
  ITfCompositionSink* Sink() const { return sink_.Get(); }
  // Ends it for good: later calls of the text service fail.
  void Finish() { active_ = false; }

  // ITfComposition (GetRange also serves ITfCompositionView)
  HRESULT STDMETHODCALLTYPE GetRange(ITfRange** out) override;
  HRESULT STDMETHODCALLTYPE ShiftStart(TfEditCookie ec, ITfRange* newStart) override;
  HRESULT STDMETHODCALLTYPE ShiftEnd(TfEditCookie ec, ITfRange* newEnd) override;
  HRESULT STDMETHODCALLTYPE EndComposition(TfEditCookie ec) override;
  // ITfCompositionView
  HRESULT STDMETHODCALLTYPE GetOwnerClsid(CLSID* clsid) override;

 private:
  ComPtr<Context> context_;
  TextStore::Anchor start_;
  TextStore::Anchor end_;
  ComPtr<ITfCompositionSink> sink_;
  TfClientId owner_;
  bool active_ = true;
};

class ContextView final : public HostObject<ITfContextView> {
 public:
  explicit ContextView(ComPtr<Context> context) : context_(std::move(context)) {}
  HRESULT STDMETHODCALLTYPE GetRangeFromPoint(TfEditCookie ec, const POINT* pt, DWORD flags, ITfRange** out) override;
  HRESULT STDMETHODCALLTYPE GetTextExt(TfEditCookie ec, ITfRange* range, RECT* rect, BOOL* clipped) override;
  HRESULT STDMETHODCALLTYPE GetScreenExt(RECT* rect) override;
  HRESULT STDMETHODCALLTYPE GetWnd(HWND* hwnd) override;

 private:
  ComPtr<Context> context_;
};

class Context final : public HostObject<ITfContext, ITfSource, ITfContextOwnerCompositionServices, ITfInsertAtSelection,
                                        ITfCompartmentMgr> {
 public:
  explicit Context(ComPtr<DocumentMgr> owner) : owner_(std::move(owner)) {}
  ~Context() override;
  static ComPtr<Context> From(IUnknown* context);

  // The application's side.
  Document& Doc() { return doc_; }
  const Document& Doc() const { return doc_; }
  void SetView(View* view) { view_ = view; }
  View* GetView() const { return view_; }
  // The input scopes the application gives its text (GUID_PROP_INPUTSCOPE); none by default.
  void SetInputScopes(std::vector<InputScope> scopes) { inputScopes_ = std::move(scopes); }
  const std::vector<InputScope>& inputScopes() const { return inputScopes_; }
  DocumentMgr* Owner() const { return owner_.Get(); }
  // The application changed the text or the selection by itself (keys it handled, a click).
  void AppChanged(bool text, bool selection);
  // The application ends every composition, telling each owner.
  void TerminateCompositions();
  void LayoutChanged(TfLayoutCode code);
  void RunQueuedSessions();
  std::optional<std::pair<int32_t, int32_t>> CompositionSpan() const;
  // Drops compositions, sinks and queued sessions, so no reference cycle outlives the run.
  void Shutdown();

  // For ranges and compositions.
  bool CanRead(TfEditCookie ec) const;
  bool CanWrite(TfEditCookie ec) const;
  void NoteTextChanged() { textChanged_ = true; }
  void NoteSelectionChanged() { selectionChanged_ = true; }
  void Forget(Composition* composition);
  CLSID ClsidOf(TfClientId tid) const;

  // ITfContext
  HRESULT STDMETHODCALLTYPE RequestEditSession(TfClientId tid, ITfEditSession* session, DWORD flags,
                                               HRESULT* sessionResult) override;
  HRESULT STDMETHODCALLTYPE InWriteSession(TfClientId tid, BOOL* writing) override;
  HRESULT STDMETHODCALLTYPE GetSelection(TfEditCookie ec, ULONG index, ULONG count, TF_SELECTION* selection,
                                         ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE SetSelection(TfEditCookie ec, ULONG count, const TF_SELECTION* selection) override;
  HRESULT STDMETHODCALLTYPE GetStart(TfEditCookie ec, ITfRange** out) override;
  HRESULT STDMETHODCALLTYPE GetEnd(TfEditCookie ec, ITfRange** out) override;
  HRESULT STDMETHODCALLTYPE GetActiveView(ITfContextView** out) override;
  HRESULT STDMETHODCALLTYPE EnumViews(IEnumTfContextViews** out) override;
  HRESULT STDMETHODCALLTYPE GetStatus(TF_STATUS* status) override;
  HRESULT STDMETHODCALLTYPE GetProperty(REFGUID guid, ITfProperty** out) override;
  HRESULT STDMETHODCALLTYPE GetAppProperty(REFGUID guid, ITfReadOnlyProperty** out) override;
  HRESULT STDMETHODCALLTYPE TrackProperties(const GUID** properties, ULONG count, const GUID** appProperties,
                                            ULONG appCount, ITfReadOnlyProperty** out) override;
  HRESULT STDMETHODCALLTYPE EnumProperties(IEnumTfProperties** out) override;
  HRESULT STDMETHODCALLTYPE GetDocumentMgr(ITfDocumentMgr** out) override;
  HRESULT STDMETHODCALLTYPE CreateRangeBackup(TfEditCookie ec, ITfRange* range, ITfRangeBackup** out) override;
  // ITfSource: ITfTextEditSink, ITfTextLayoutSink.
  HRESULT STDMETHODCALLTYPE AdviseSink(REFIID iid, IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE UnadviseSink(DWORD cookie) override;
  // ITfContextComposition, ITfContextOwnerCompositionServices
  HRESULT STDMETHODCALLTYPE StartComposition(TfEditCookie ec, ITfRange* range, ITfCompositionSink* sink,
                                             ITfComposition** out) override;
  HRESULT STDMETHODCALLTYPE EnumCompositions(IEnumITfCompositionView** out) override;
  HRESULT STDMETHODCALLTYPE FindComposition(TfEditCookie ec, ITfRange* range, IEnumITfCompositionView** out) override;
  HRESULT STDMETHODCALLTYPE TakeOwnership(TfEditCookie ec, ITfCompositionView* view, ITfCompositionSink* sink,
                                          ITfComposition** out) override;
  HRESULT STDMETHODCALLTYPE TerminateComposition(ITfCompositionView* view) override;
  // ITfInsertAtSelection
  HRESULT STDMETHODCALLTYPE InsertTextAtSelection(TfEditCookie ec, DWORD flags, const WCHAR* text, LONG length,
                                                  ITfRange** out) override;
  HRESULT STDMETHODCALLTYPE InsertEmbeddedAtSelection(TfEditCookie ec, DWORD flags, IDataObject* data,
                                                      ITfRange** out) override;
  // ITfCompartmentMgr: the context's own compartments (keyboard disabled, empty context).
  HRESULT STDMETHODCALLTYPE GetCompartment(REFGUID guid, ITfCompartment** out) override;
  HRESULT STDMETHODCALLTYPE ClearCompartment(TfClientId tid, REFGUID guid) override;
  HRESULT STDMETHODCALLTYPE EnumCompartments(IEnumGUID** out) override;

 private:
  struct Lock {
    TfEditCookie cookie;
    bool write;
    TfClientId tid;
  };
  struct Pending {
    TfClientId tid;
    ComPtr<ITfEditSession> session;
    bool write;
  };
  // Our own object, behind a private IID.
  void* FindOther(REFIID iid) override;
  const Lock* LockOf(TfEditCookie ec) const;
  // Runs `body(cookie)` inside a lock; the outermost lock's end tells the sinks what changed.
  template <class F>
  HRESULT WithLock(TfClientId tid, bool write, F&& body);
  void AfterOutermostLock();
  void EndComposition(Composition* composition, TfEditCookie ec, bool tellOwner);

  ComPtr<DocumentMgr> owner_;
  Document doc_;
  View* view_ = nullptr;
  std::vector<InputScope> inputScopes_;
  SinkList sinks_;
  CompartmentStore compartments_;
  std::vector<ComPtr<Composition>> compositions_;
  std::vector<Lock> locks_;
  std::deque<Pending> queue_;
  TfEditCookie nextCookie_ = 0x100;
  bool textChanged_ = false;
  bool selectionChanged_ = false;
  bool drainPosted_ = false;
};

class DocumentMgr final : public HostObject<ITfDocumentMgr> {
 public:
  explicit DocumentMgr(ComPtr<ThreadMgr> threads) : threads_(std::move(threads)) {}
  static ComPtr<DocumentMgr> From(IUnknown* manager);
  ThreadMgr* Threads() const { return threads_.Get(); }
  ComPtr<Context> Top() const;
  void Shutdown();

  HRESULT STDMETHODCALLTYPE CreateContext(TfClientId tid, DWORD flags, IUnknown* store, ITfContext** out,
                                          TfEditCookie* storeCookie) override;
  HRESULT STDMETHODCALLTYPE Push(ITfContext* context) override;
  HRESULT STDMETHODCALLTYPE Pop(DWORD flags) override;
  HRESULT STDMETHODCALLTYPE GetTop(ITfContext** out) override;
  HRESULT STDMETHODCALLTYPE GetBase(ITfContext** out) override;
  HRESULT STDMETHODCALLTYPE EnumContexts(IEnumTfContexts** out) override;

 private:
  // Our own object, behind a private IID.
  void* FindOther(REFIID iid) override;
  ComPtr<ThreadMgr> threads_;
  std::vector<ComPtr<Context>> stack_;
};

// The menu a language-bar menu button fills.
class Menu final : public HostObject<ITfMenu> {
 public:
  struct Entry {
    UINT id;
    DWORD flags;
    std::wstring text;
    ComPtr<Menu> submenu;
  };
  HRESULT STDMETHODCALLTYPE AddMenuItem(UINT id, DWORD flags, HBITMAP bitmap, HBITMAP mask, const WCHAR* text,
                                        ULONG length, ITfMenu** submenu) override;
  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;
};

// Hears one language-bar item's updates.
class ItemSink final : public HostObject<ITfLangBarItemSink> {
 public:
  HRESULT STDMETHODCALLTYPE OnUpdate(DWORD flags) override;
  int Updates() const { return updates_; }

 private:
  int updates_ = 0;
};

class ThreadMgr final : public HostObject<ITfThreadMgr, ITfSource, ITfKeystrokeMgr, ITfSourceSingle, ITfCompartmentMgr,
                                          ITfLangBarItemMgr, ITfUIElementMgr> {
 public:
  struct Item {
    ComPtr<ITfLangBarItem> item;
    TF_LANGBARITEMINFO info;
    ComPtr<ItemSink> sink;
    DWORD cookie;  // of our sink on the item's ITfSource; 0 when it refused it
  };

  ThreadMgr() = default;

  // The application's side.
  void RegisterTip(TfClientId tid, REFCLSID clsid);
  CLSID ClsidOf(TfClientId tid) const;
  // The thread gains or loses the focus: the thread-focus sinks and the key sink hear of it.
  void SetThreadFocus(bool focus);
  bool HasThreadFocus() const { return threadFocus_; }
  ComPtr<DocumentMgr> Focus() const { return focus_; }
  const std::vector<Item>& Items() const { return items_; }
  // The candidate list of the most recent UI element begun and not ended, if any.
  ComPtr<ITfCandidateListUIElement> CandidateList() const;
  // Whether the application draws the candidate lists itself (BeginUIElement then answers that the
  // text service shows nothing), and who hears that an element began, changed or ended.
  void SetDrawsCandidates(bool draws) { drawsCandidates_ = draws; }
  bool DrawsCandidates() const { return drawsCandidates_; }
  void SetElementsChanged(View* view) { elementsView_ = view; }
  // Called by document managers.
  void ContextPushed(ITfContext* context);
  void ContextPopped(ITfContext* context);
  void Shutdown();

  // ITfThreadMgr
  HRESULT STDMETHODCALLTYPE Activate(TfClientId* tid) override;
  HRESULT STDMETHODCALLTYPE Deactivate() override;
  HRESULT STDMETHODCALLTYPE CreateDocumentMgr(ITfDocumentMgr** out) override;
  HRESULT STDMETHODCALLTYPE EnumDocumentMgrs(IEnumTfDocumentMgrs** out) override;
  HRESULT STDMETHODCALLTYPE GetFocus(ITfDocumentMgr** out) override;
  HRESULT STDMETHODCALLTYPE SetFocus(ITfDocumentMgr* focus) override;
  HRESULT STDMETHODCALLTYPE AssociateFocus(HWND hwnd, ITfDocumentMgr* newManager, ITfDocumentMgr** previous) override;
  HRESULT STDMETHODCALLTYPE IsThreadFocus(BOOL* focus) override;
  HRESULT STDMETHODCALLTYPE GetFunctionProvider(REFCLSID clsid, ITfFunctionProvider** out) override;
  HRESULT STDMETHODCALLTYPE EnumFunctionProviders(IEnumTfFunctionProviders** out) override;
  HRESULT STDMETHODCALLTYPE GetGlobalCompartment(ITfCompartmentMgr** out) override;
  // ITfSource: ITfThreadMgrEventSink, ITfThreadFocusSink.
  HRESULT STDMETHODCALLTYPE AdviseSink(REFIID iid, IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE UnadviseSink(DWORD cookie) override;
  // ITfKeystrokeMgr
  HRESULT STDMETHODCALLTYPE AdviseKeyEventSink(TfClientId tid, ITfKeyEventSink* sink, BOOL foreground) override;
  HRESULT STDMETHODCALLTYPE UnadviseKeyEventSink(TfClientId tid) override;
  HRESULT STDMETHODCALLTYPE GetForeground(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE TestKeyDown(WPARAM wParam, LPARAM lParam, BOOL* eaten) override;
  HRESULT STDMETHODCALLTYPE TestKeyUp(WPARAM wParam, LPARAM lParam, BOOL* eaten) override;
  HRESULT STDMETHODCALLTYPE KeyDown(WPARAM wParam, LPARAM lParam, BOOL* eaten) override;
  HRESULT STDMETHODCALLTYPE KeyUp(WPARAM wParam, LPARAM lParam, BOOL* eaten) override;
  HRESULT STDMETHODCALLTYPE GetPreservedKey(ITfContext* context, const TF_PRESERVEDKEY* key, GUID* guid) override;
  HRESULT STDMETHODCALLTYPE IsPreservedKey(REFGUID guid, const TF_PRESERVEDKEY* key, BOOL* registered) override;
  HRESULT STDMETHODCALLTYPE PreserveKey(TfClientId tid, REFGUID guid, const TF_PRESERVEDKEY* key,
                                        const WCHAR* description, ULONG length) override;
  HRESULT STDMETHODCALLTYPE UnpreserveKey(REFGUID guid, const TF_PRESERVEDKEY* key) override;
  HRESULT STDMETHODCALLTYPE SetPreservedKeyDescription(REFGUID guid, const WCHAR* description, ULONG length) override;
  HRESULT STDMETHODCALLTYPE GetPreservedKeyDescription(REFGUID guid, BSTR* description) override;
  HRESULT STDMETHODCALLTYPE SimulatePreservedKey(ITfContext* context, REFGUID guid, BOOL* eaten) override;
  // ITfSourceSingle: ITfFunctionProvider (one per client).
  HRESULT STDMETHODCALLTYPE AdviseSingleSink(TfClientId tid, REFIID iid, IUnknown* sink) override;
  HRESULT STDMETHODCALLTYPE UnadviseSingleSink(TfClientId tid, REFIID iid) override;
  // ITfCompartmentMgr: the thread's compartments (keyboard open/close and the like).
  HRESULT STDMETHODCALLTYPE GetCompartment(REFGUID guid, ITfCompartment** out) override;
  HRESULT STDMETHODCALLTYPE ClearCompartment(TfClientId tid, REFGUID guid) override;
  HRESULT STDMETHODCALLTYPE EnumCompartments(IEnumGUID** out) override;
  // ITfLangBarItemMgr: items are kept, and our sink is advised on each, as the language bar does.
  HRESULT STDMETHODCALLTYPE EnumItems(IEnumTfLangBarItems** out) override;
  HRESULT STDMETHODCALLTYPE GetItem(REFGUID guid, ITfLangBarItem** out) override;
  HRESULT STDMETHODCALLTYPE AddItem(ITfLangBarItem* item) override;
  HRESULT STDMETHODCALLTYPE RemoveItem(ITfLangBarItem* item) override;
  HRESULT STDMETHODCALLTYPE AdviseItemSink(ITfLangBarItemSink* sink, DWORD* cookie, REFGUID item) override;
  HRESULT STDMETHODCALLTYPE UnadviseItemSink(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE GetItemFloatingRect(DWORD thread, REFGUID item, RECT* rect) override;
  HRESULT STDMETHODCALLTYPE GetItemsStatus(ULONG count, const GUID* items, DWORD* status) override;
  HRESULT STDMETHODCALLTYPE GetItemNum(ULONG* count) override;
  HRESULT STDMETHODCALLTYPE GetItems(ULONG count, ITfLangBarItem** items, TF_LANGBARITEMINFO* info, DWORD* status,
                                     ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE AdviseItemsSink(ULONG count, ITfLangBarItemSink** sinks, const GUID* items,
                                            DWORD* cookies) override;
  HRESULT STDMETHODCALLTYPE UnadviseItemsSink(ULONG count, DWORD* cookies) override;
  // ITfUIElementMgr: elements are shown by the text service itself, unless the application draws
  // candidate lists.
  HRESULT STDMETHODCALLTYPE BeginUIElement(ITfUIElement* element, BOOL* show, DWORD* id) override;
  HRESULT STDMETHODCALLTYPE UpdateUIElement(DWORD id) override;
  HRESULT STDMETHODCALLTYPE EndUIElement(DWORD id) override;
  HRESULT STDMETHODCALLTYPE GetUIElement(DWORD id, ITfUIElement** out) override;
  HRESULT STDMETHODCALLTYPE EnumUIElements(IEnumTfUIElements** out) override;

 private:
  struct KeySink {
    TfClientId tid;
    ComPtr<ITfKeyEventSink> sink;
    bool foreground;
  };
  struct SingleSink {
    TfClientId tid;
    IID iid;
    ComPtr<IUnknown> sink;
  };
  struct Preserved {
    TfClientId tid;
    GUID guid;
    TF_PRESERVEDKEY key;
    std::wstring description;
  };
  ComPtr<Context> FocusedContext() const;
  const KeySink* Foreground() const;
  const Preserved* PreservedFor(WPARAM key, bool up) const;
  // One of the four key calls: test or not, down or up.
  HRESULT Key(bool test, bool up, WPARAM wParam, LPARAM lParam, BOOL* eaten);

  SinkList sinks_;
  std::vector<KeySink> keySinks_;
  std::vector<SingleSink> singleSinks_;
  std::vector<Preserved> preserved_;
  std::vector<std::pair<TfClientId, CLSID>> clients_;
  CompartmentStore compartments_;
  ComPtr<GlobalCompartments> global_;
  ComPtr<DocumentMgr> focus_;
  std::vector<Item> items_;
  std::vector<std::pair<DWORD, ComPtr<ITfUIElement>>> elements_;
  DWORD nextElement_ = 1;
  bool drawsCandidates_ = false;
  View* elementsView_ = nullptr;
  bool threadFocus_ = true;
  bool activated_ = false;
};

}  // namespace quillet::tsfhost
