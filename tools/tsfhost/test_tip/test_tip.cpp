// A small text service for testing tsfhost (never shipped). It uses the framework the way an input
// method does: a composition started on a letter, text written through synchronous edit sessions,
// the composition ended on Enter, a candidate window placed by GetTextExt and exposed as a candidate
// list UI element, language-bar items, the open/close compartment toggled by a Shift tap. A '!'
// during a composition runs probes of the framework's rules. Everything it hears is appended to the
// file named by TSFHOST_TIP_LOG, one line per event, for the tests to read.
//
// TSFHOST_TIP_FAIL=1 makes Activate fail after advising its sinks, leaving one item whose tooltip
// says so, as a text service that cannot reach its data does. TSFHOST_TIP_NO_ELEMENT=1 makes it
// begin no UI element; its window then answers tsfhost's row-text message instead.
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "quillsvc/com/com_ptr.h"
#include "quillsvc/com/tsf_interfaces.h"
#include "quillsvc/candwin/accessible_candidates.h"
#include "tools/tsfhost/com_unknown.h"

namespace {

using quillet::ComPtr;
using quillet::QueryAs;

constexpr CLSID kClsid = {0x3fc30ab6, 0x4440, 0x4409, {0xba, 0xe4, 0xf2, 0xde, 0x8e, 0x79, 0x97, 0x15}};
constexpr GUID kItemGuids[2] = {{0x3fc30ab7, 0x4440, 0x4409, {0xba, 0xe4, 0xf2, 0xde, 0x8e, 0x79, 0x97, 0x15}},
                                {0x3fc30ab8, 0x4440, 0x4409, {0xba, 0xe4, 0xf2, 0xde, 0x8e, 0x79, 0x97, 0x15}}};
constexpr int kRowHeight = 20;

HINSTANCE g_module = nullptr;
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

bool EnvironmentSays(const char* name) {
  char value[8] = {};
  return GetEnvironmentVariableA(name, value, sizeof(value)) && value[0] == '1';
}

// Reference counting for every object of this DLL.
class Object {
 public:
  Object() { InterlockedIncrement(&g_objects); }
  virtual ~Object() { InterlockedDecrement(&g_objects); }
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

 protected:
  ULONG refs_ = 1;
};

#define TEST_TIP_IUNKNOWN TSFHOST_COM_IUNKNOWN((void)0)

BSTR Text(const std::wstring& text) { return SysAllocStringLen(text.data(), static_cast<UINT>(text.size())); }

class TestTip;

// What an edit session of the text service does.
enum class Work { kKey, kEnd, kPlace, kReadProbe, kAsyncProbe, kNestedWrite };

// The rows on show, for the framework (and tsfhost) to read.
class CandidateList final : public Object, public ITfCandidateListUIElement {
 public:
  TEST_TIP_IUNKNOWN
  std::vector<std::wstring> rows;

  HRESULT STDMETHODCALLTYPE GetDescription(BSTR* out) override {
    *out = Text(L"Candidates");
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE GetGUID(GUID* out) override {
    *out = kClsid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Show(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsShown(BOOL* shown) override {
    *shown = TRUE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetUpdatedFlags(DWORD* flags) override {
    *flags = TF_CLUIE_COUNT | TF_CLUIE_STRING;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDocumentMgr(ITfDocumentMgr** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetCount(UINT* count) override {
    *count = static_cast<UINT>(rows.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSelection(UINT* index) override {
    *index = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetString(UINT index, BSTR* out) override {
    *out = index < rows.size() ? Text(rows[index]) : nullptr;
    return *out ? S_OK : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE GetPageIndex(UINT* index, UINT size, UINT* pages) override {
    *pages = 1;
    if (index && size >= 1) index[0] = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetPageIndex(UINT*, UINT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCurrentPage(UINT* page) override {
    *page = 0;
    return S_OK;
  }

 private:
  void* Find(REFIID iid) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ITfUIElement) ||
        IsEqualIID(iid, IID_ITfCandidateListUIElement)) {
      return static_cast<ITfCandidateListUIElement*>(this);
    }
    return nullptr;
  }
};

// A language-bar button: plain (an open/close toggle) or with a two-entry menu.
class Item final : public Object, public ITfLangBarItemButton, public ITfSource {
 public:
  Item(TestTip* tip, int index, bool failed);
  ~Item() override;
  TEST_TIP_IUNKNOWN

  HRESULT STDMETHODCALLTYPE GetInfo(TF_LANGBARITEMINFO* info) override {
    *info = info_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetStatus(DWORD* status) override {
    *status = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Show(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetTooltipString(BSTR* out) override;
  HRESULT STDMETHODCALLTYPE OnClick(TfLBIClick, POINT, const RECT*) override;
  HRESULT STDMETHODCALLTYPE InitMenu(ITfMenu* menu) override {
    if (index_ != 1) return S_OK;
    menu->AddMenuItem(10, TF_LBMENUF_CHECKED, nullptr, nullptr, L"First", 5, nullptr);
    menu->AddMenuItem(11, 0, nullptr, nullptr, L"Second", 6, nullptr);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnMenuSelect(UINT id) override {
    Log("menu %u", id);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIcon(HICON* icon) override {
    *icon = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetText(BSTR* out) override {
    *out = Text(index_ == 0 ? L"Toggle" : L"Menu");
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE AdviseSink(REFIID iid, IUnknown* sink, DWORD* cookie) override {
    if (!IsEqualIID(iid, IID_ITfLangBarItemSink)) return CONNECT_E_CANNOTCONNECT;
    if (sink_) return CONNECT_E_ADVISELIMIT;
    if (FAILED(sink->QueryInterface(IID_ITfLangBarItemSink, sink_.PutVoid()))) return E_NOINTERFACE;
    *cookie = 0x51 + index_;
    Log("item %d sink advised", index_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UnadviseSink(DWORD cookie) override {
    if (!sink_ || cookie != static_cast<DWORD>(0x51 + index_)) return CONNECT_E_NOCONNECTION;
    sink_.Reset();
    Log("item %d sink unadvised", index_);
    return S_OK;
  }
  void Refresh() {
    if (sink_) sink_->OnUpdate(TF_LBI_TOOLTIP);
  }

 private:
  void* Find(REFIID iid) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ITfLangBarItem) ||
        IsEqualIID(iid, IID_ITfLangBarItemButton)) {
      return static_cast<ITfLangBarItemButton*>(this);
    }
    if (IsEqualIID(iid, IID_ITfSource)) return static_cast<ITfSource*>(this);
    return nullptr;
  }
  TestTip* tip_;
  int index_;
  bool failed_;
  TF_LANGBARITEMINFO info_ = {};
  ComPtr<ITfLangBarItemSink> sink_;
};

class Configure final : public Object, public ITfFnConfigure {
 public:
  TEST_TIP_IUNKNOWN
  HRESULT STDMETHODCALLTYPE GetDisplayName(BSTR* out) override {
    *out = Text(L"Test settings");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Show(HWND parent, LANGID language, REFGUID) override {
    Log("configure shown parent=%d language=%04x", IsWindow(parent) ? 1 : 0, language);
    return S_OK;
  }

 private:
  void* Find(REFIID iid) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ITfFunction) || IsEqualIID(iid, IID_ITfFnConfigure)) {
      return static_cast<ITfFnConfigure*>(this);
    }
    return nullptr;
  }
};

// The window's rows as screen readers read them, through the same accessibility code as the real
// candidate window: tsfhost reads the rows and finds where to click through it.
class RowsAccess final : public quillet::AccessibleList {
 public:
  RowsAccess(HWND window, const std::vector<std::wstring>& rows) : window_(window), rows_(rows) {}
  HWND ListWindow() override { return window_; }
  bool ListShown() override { return IsWindowVisible(window_) != FALSE; }
  size_t ItemCount() override { return rows_.size(); }
  bool IsRow(size_t) override { return true; }
  std::u16string ItemName(size_t item) override {
    return item < rows_.size() ? std::u16string(rows_[item].begin(), rows_[item].end()) : u"";
  }
  bool ItemSelected(size_t item) override { return item == 0; }
  bool ItemScreenRect(size_t item, quillet::RectI* rect) override {
    if (item >= rows_.size()) return false;
    POINT origin{0, 0};
    ClientToScreen(window_, &origin);
    const int top = origin.y + 2 + static_cast<int>(item) * kRowHeight;
    *rect = quillet::RectI{origin.x, top, origin.x + 140, top + kRowHeight};
    return true;
  }
  int ItemAtScreenPoint(int x, int y) override {
    POINT p{x, y};
    RECT client;
    if (!ScreenToClient(window_, &p) || !GetClientRect(window_, &client) || !PtInRect(&client, p)) return -2;
    const int row = (p.y - 2) / kRowHeight;
    return row >= 0 && static_cast<size_t>(row) < rows_.size() ? row : -1;
  }
  int SelectedRow() override { return rows_.empty() ? -1 : 0; }

 private:
  HWND window_;
  const std::vector<std::wstring>& rows_;
};

class TestTip final : public Object,
                      public ITfTextInputProcessor,
                      public ITfThreadMgrEventSink,
                      public ITfTextEditSink,
                      public ITfTextLayoutSink,
                      public ITfKeyEventSink,
                      public ITfCompositionSink,
                      public ITfThreadFocusSink,
                      public ITfFunctionProvider,
                      public ITfCompartmentEventSink {
 public:
  TEST_TIP_IUNKNOWN

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
    *eaten = !failed_ && key == VK_SHIFT && lastKey_ == VK_SHIFT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnKeyUp(ITfContext*, WPARAM key, LPARAM, BOOL* eaten) override {
    *eaten = !failed_ && key == VK_SHIFT && lastKey_ == VK_SHIFT;
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
    text_.clear();
    DestroyCandidates();
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
  // ITfFunctionProvider
  HRESULT STDMETHODCALLTYPE GetType(GUID* type) override {
    *type = kClsid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDescription(BSTR* out) override {
    *out = Text(L"Test text service");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetFunction(REFGUID, REFIID, IUnknown** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // ITfCompartmentEventSink
  HRESULT STDMETHODCALLTYPE OnChange(REFGUID guid) override {
    if (IsEqualGUID(guid, GUID_COMPARTMENT_KEYBOARD_OPENCLOSE)) Log("open %d", IsOpen() ? 1 : 0);
    for (const ComPtr<Item>& item : items_) item->Refresh();
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
  bool Failed() const { return failed_; }
  void ClickRow(int row);
  const std::vector<std::wstring>& Rows() const { return rows_; }
  quillet::Accessibility* Access() const { return access_.get(); }

 private:
  void* Find(REFIID iid);
  bool Eats(WPARAM key) const;
  void Attach(ITfDocumentMgr* focus);
  void EndAsync();
  void ShowCandidates(ITfContext* context);
  void DestroyCandidates();
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
  std::wstring text_;
  std::vector<std::wstring> rows_;
  HWND window_ = nullptr;
  std::unique_ptr<RowsAccess> rowsAccess_;
  std::unique_ptr<quillet::Accessibility> access_;
  ComPtr<CandidateList> list_;
  DWORD listId_ = 0;
  std::vector<ComPtr<Item>> items_;
  WPARAM lastKey_ = 0;
  bool failed_ = false;
  // For the stale-cookie probe: a range and the cookie of a session that has ended.
  ComPtr<ITfRange> staleRange_;
  TfEditCookie staleCookie_ = 0;
};

// An edit session that calls back into the text service.
class Session final : public Object, public ITfEditSession {
 public:
  Session(TestTip* tip, ComPtr<ITfContext> context, Work work, WPARAM key)
      : tip_(tip), context_(std::move(context)), work_(work), key_(key) {
    tip_->AddRef();
  }
  ~Session() override;
  TEST_TIP_IUNKNOWN
  HRESULT STDMETHODCALLTYPE DoEditSession(TfEditCookie ec) override;

 private:
  void* Find(REFIID iid) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ITfEditSession)) {
      return static_cast<ITfEditSession*>(this);
    }
    return nullptr;
  }
  TestTip* tip_;
  ComPtr<ITfContext> context_;
  Work work_;
  WPARAM key_;
};

// ---- Candidate window ----

const wchar_t kWindowClass[] = L"TsfhostTestCandidates";

LRESULT CALLBACK CandidateProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* tip = reinterpret_cast<TestTip*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_GETOBJECT && tip && tip->Access()) {
    LRESULT result = 0;
    if (tip->Access()->OnGetObject(wParam, lParam, &result)) return result;
  }
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT client;
      GetClientRect(hwnd, &client);
      FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
      FrameRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      SetBkMode(dc, TRANSPARENT);
      if (tip) {
        for (size_t i = 0; i < tip->Rows().size(); ++i) {
          const std::wstring line = std::to_wstring(i + 1) + L". " + tip->Rows()[i];
          TextOutW(dc, 6, static_cast<int>(i) * kRowHeight + 3, line.c_str(), static_cast<int>(line.size()));
        }
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_SETCURSOR:
      // A disabled window gets no button messages, only this; the press is in the high word.
      if (HIWORD(lParam) == WM_LBUTTONDOWN && tip) {
        POINT point;
        GetCursorPos(&point);
        ScreenToClient(hwnd, &point);
        tip->ClickRow((point.y - 2) / kRowHeight);
      }
      SetCursor(LoadCursorW(nullptr, IDC_ARROW));
      return TRUE;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// ---- Item ----

Item::Item(TestTip* tip, int index, bool failed) : tip_(tip), index_(index), failed_(failed) {
  tip_->AddRef();
  info_.clsidService = kClsid;
  info_.guidItem = kItemGuids[index];
  info_.dwStyle = index == 0 ? TF_LBI_STYLE_BTN_BUTTON : TF_LBI_STYLE_BTN_MENU;
  lstrcpynW(info_.szDescription, index == 0 ? L"Toggle" : L"Menu", TF_LBI_DESC_MAXLEN);
}

Item::~Item() { tip_->Release(); }

HRESULT Item::GetTooltipString(BSTR* out) {
  std::wstring text = L"Menu";
  if (index_ == 0) text = failed_ ? L"Failed, Error Code=7" : (tip_->IsOpen() ? L"Open" : L"Closed");
  *out = Text(text);
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT Item::OnClick(TfLBIClick, POINT, const RECT*) {
  Log("item %d clicked", index_);
  if (index_ == 0 && !tip_->Failed()) tip_->SetOpen(!tip_->IsOpen());
  return S_OK;
}

// ---- TestTip ----

void* TestTip::Find(REFIID iid) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ITfTextInputProcessor)) {
    return static_cast<ITfTextInputProcessor*>(this);
  }
  if (IsEqualIID(iid, IID_ITfThreadMgrEventSink)) return static_cast<ITfThreadMgrEventSink*>(this);
  if (IsEqualIID(iid, IID_ITfTextEditSink)) return static_cast<ITfTextEditSink*>(this);
  if (IsEqualIID(iid, IID_ITfTextLayoutSink)) return static_cast<ITfTextLayoutSink*>(this);
  if (IsEqualIID(iid, IID_ITfKeyEventSink)) return static_cast<ITfKeyEventSink*>(this);
  if (IsEqualIID(iid, IID_ITfCompositionSink)) return static_cast<ITfCompositionSink*>(this);
  if (IsEqualIID(iid, IID_ITfThreadFocusSink)) return static_cast<ITfThreadFocusSink*>(this);
  if (IsEqualIID(iid, IID_ITfFunctionProvider)) return static_cast<ITfFunctionProvider*>(this);
  if (IsEqualIID(iid, IID_ITfCompartmentEventSink)) return static_cast<ITfCompartmentEventSink*>(this);
  return nullptr;
}

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
  if (auto single = QueryAs<ITfSourceSingle>(threads)) {
    single->AdviseSingleSink(tid, IID_ITfFunctionProvider, static_cast<ITfFunctionProvider*>(this));
  }
  if (auto compartmentSource = QueryAs<ITfSource>(OpenClose(threads).Get())) {
    compartmentSource->AdviseSink(IID_ITfCompartmentEventSink, static_cast<ITfCompartmentEventSink*>(this),
                                  &openSinkCookie_);
  }
  failed_ = EnvironmentSays("TSFHOST_TIP_FAIL");
  auto items = QueryAs<ITfLangBarItemMgr>(threads);
  for (int i = 0; i < (failed_ ? 1 : 2) && items; ++i) {
    items_.push_back(ComPtr<Item>::Adopt(new Item(this, i, failed_)));
    items->AddItem(items_.back().Get());
  }
  return failed_ ? E_FAIL : S_OK;
}

HRESULT TestTip::Deactivate() {
  Log("Deactivate");
  DestroyCandidates();
  auto source = QueryAs<ITfSource>(threads_.Get());
  if (source && threadSinkCookie_ != TF_INVALID_COOKIE) source->UnadviseSink(threadSinkCookie_);
  if (source && focusSinkCookie_ != TF_INVALID_COOKIE) source->UnadviseSink(focusSinkCookie_);
  threadSinkCookie_ = focusSinkCookie_ = TF_INVALID_COOKIE;
  if (auto compartmentSource = QueryAs<ITfSource>(OpenClose(threads_.Get()).Get())) {
    compartmentSource->UnadviseSink(openSinkCookie_);
  }
  Attach(nullptr);
  if (auto items = QueryAs<ITfLangBarItemMgr>(threads_.Get())) {
    for (const ComPtr<Item>& item : items_) items->RemoveItem(item.Get());
  }
  items_.clear();
  if (auto keys = QueryAs<ITfKeystrokeMgr>(threads_.Get())) keys->UnadviseKeyEventSink(tid_);
  if (auto single = QueryAs<ITfSourceSingle>(threads_.Get())) single->UnadviseSingleSink(tid_, IID_ITfFunctionProvider);
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

// The focused context's keyboard-disabled compartment.
bool Disabled(ITfContext* context) {
  ComPtr<ITfCompartment> compartment;
  auto manager = QueryAs<ITfCompartmentMgr>(context);
  if (!manager || FAILED(manager->GetCompartment(GUID_COMPARTMENT_KEYBOARD_DISABLED, compartment.Put()))) {
    return false;
  }
  VARIANT value;
  VariantInit(&value);
  const bool disabled = compartment->GetValue(&value) == S_OK && value.vt == VT_I4 && value.lVal != 0;
  VariantClear(&value);
  return disabled;
}

bool TestTip::Eats(WPARAM key) const {
  if (failed_ || !IsOpen() || GetKeyState(VK_CONTROL) < 0 || Disabled(context_.Get())) return false;
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
  DestroyCandidates();
}

HRESULT TestTip::EndComposition(TfEditCookie ec) {
  HRESULT hr = S_OK;
  if (composition_) {
    hr = composition_->EndComposition(ec);
    Log("EndComposition 0x%08lX", static_cast<unsigned long>(hr));
    composition_.Reset();
  }
  text_.clear();
  DestroyCandidates();
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
    text_ += c;
    ShowCandidates(context);
    return PlaceCandidates(ec, context);
  }
  if (!composition_) return S_OK;
  if (key == VK_RETURN) return EndComposition(ec);
  if (key == VK_ESCAPE) {
    ComPtr<ITfRange> range;
    if (SUCCEEDED(composition_->GetRange(range.Put()))) range->SetText(ec, 0, L"", 0);
    return EndComposition(ec);
  }
  if (key == VK_BACK) {
    ComPtr<ITfRange> range = Selection(ec, context);
    LONG moved = 0;
    if (!range || FAILED(range->ShiftStart(ec, -1, &moved, nullptr)) || moved != -1) return S_OK;
    range->SetText(ec, 0, L"", 0);
    SetSelection(ec, context, range.Get());
    text_.pop_back();
    if (text_.empty()) return EndComposition(ec);
    ShowCandidates(context);
    return S_OK;
  }
  if (key >= '1' && key <= '3' && window_) {
    const size_t row = key - '1';
    ComPtr<ITfRange> range;
    if (row >= rows_.size() || FAILED(composition_->GetRange(range.Put()))) return S_OK;
    const std::wstring word = rows_[row];
    range->SetText(ec, 0, word.data(), static_cast<LONG>(word.size()));
    range->Collapse(ec, TF_ANCHOR_END);
    SetSelection(ec, context, range.Get());
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
  if (code == TF_LC_CHANGE && window_ && composition_) {
    HRESULT result = E_FAIL;
    Request(context, TF_ES_READ, Work::kPlace, 0, &result);
  }
  return S_OK;
}

void TestTip::ShowCandidates(ITfContext* context) {
  rows_ = {text_ + L"s", text_ + L"ing", text_ + L"ed"};
  if (!window_) {
    window_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kWindowClass, L"", WS_POPUP | WS_DISABLED, 0, 0, 140,
                              static_cast<int>(rows_.size()) * kRowHeight + 6, nullptr, nullptr, g_module, nullptr);
    if (!window_) return;
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    rowsAccess_ = std::make_unique<RowsAccess>(window_, rows_);
    access_ = std::make_unique<quillet::Accessibility>(*rowsAccess_);
    list_ = ComPtr<CandidateList>::Adopt(new CandidateList());
    list_->rows = rows_;
    BOOL show = TRUE;
    auto elements = QueryAs<ITfUIElementMgr>(threads_.Get());
    if (elements && !EnvironmentSays("TSFHOST_TIP_NO_ELEMENT")) {
      elements->BeginUIElement(list_.Get(), &show, &listId_);
    }
  } else {
    list_->rows = rows_;
    if (auto elements = QueryAs<ITfUIElementMgr>(threads_.Get())) elements->UpdateUIElement(listId_);
  }
  (void)context;
  InvalidateRect(window_, nullptr, TRUE);
  ShowWindow(window_, SW_SHOWNA);
}

HRESULT TestTip::PlaceCandidates(TfEditCookie ec, ITfContext* context) {
  ComPtr<ITfContextView> view;
  ComPtr<ITfRange> range;
  RECT rect = {};
  BOOL clipped = FALSE;
  if (!window_ || !composition_ || FAILED(context->GetActiveView(view.Put())) ||
      FAILED(composition_->GetRange(range.Put()))) {
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
  if (SUCCEEDED(hr))
    SetWindowPos(window_, nullptr, rect.left, rect.bottom + 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return S_OK;
}

void TestTip::DestroyCandidates() {
  if (window_) {
    DestroyWindow(window_);
    window_ = nullptr;
    access_.reset();
    rowsAccess_.reset();
  }
  if (list_) {
    if (auto elements = QueryAs<ITfUIElementMgr>(threads_.Get()); elements && listId_) {
      elements->EndUIElement(listId_);
    }
    listId_ = 0;
    list_.Reset();
  }
  rows_.clear();
}

void TestTip::ClickRow(int row) {
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
  Log("row %d clicked", row);
  // The key comes back through the keystroke manager, so the word goes in inside a key session.
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = static_cast<WORD>('1' + row);
  SendInput(1, &input, sizeof(INPUT));
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
    IUnknown* object = nullptr;
    if (IsEqualIID(iid, IID_ITfFnConfigure)) {
      object = static_cast<ITfFnConfigure*>(new (std::nothrow) Configure());
    } else {
      object = static_cast<ITfTextInputProcessor*>(new (std::nothrow) TestTip());
    }
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

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = CandidateProc;
    wc.hInstance = instance;
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);
  } else if (reason == DLL_PROCESS_DETACH) {
    UnregisterClassW(kWindowClass, instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, kClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }
