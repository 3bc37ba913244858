// tsfhost.exe: loads a text service DLL by path (no registration), plays the framework for it over a
// small plain-text editor, and either lets a person type or runs a key script and prints what the
// document and the candidate window show.
//
//   tsfhost.exe [--dll PATH] [--clsid {GUID}] [--closed] [--keys KEYS] [--trace] [--png FILE]
//               [--langbar] [--release-check] [--configure] [--disabled] [--empty-context] [--timing]
//               [--uiless] [--owner]
#include <windows.h>
// After windows.h, which they need.
#include <fcntl.h>
#include <io.h>
#include <oleacc.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/utf16.h"
#include "lookup/published_data.h"
#include "platform/win32/wide.h"
#include "quillsvc/com/guids.h"
#include "tools/picture/screen_capture.h"
#include "tools/tsfhost/editor.h"
#include "tools/tsfhost/framework.h"
#include "tools/tsfhost/key_script.h"
#include "tools/tsfhost/lookup_replay.h"
#include "tools/tsfhost/report.h"
#include "tools/tsfhost/timing.h"
#include "tools/tsfhost/window_calls.h"
#include "winui/gdi.h"

namespace quillet::tsfhost {
namespace {

// The class id asked of the DLL when --clsid is not given: the text service of quillsvc.dll.
constexpr CLSID kDefaultClsid = kClsidTextService;

constexpr DWORD kSettleMs = 15;

enum Exit { kOk = 0, kBadArguments = 1, kDllFailed = 2, kActivationFailed = 3, kHostFailed = 4 };

struct Options {
  std::wstring dll;
  CLSID clsid = kDefaultClsid;
  bool closed = false;
  std::optional<std::u16string> keys;
  bool trace = false;
  std::wstring png;
  bool langbar = false;
  bool owner = false;
  bool releaseCheck = false;
  bool configure = false;
  bool disabled = false;                // the context's keyboard-disabled compartment set to 1
  std::vector<InputScope> inputScopes;  // the document's input scopes (numbers, as inputscope.h has them)
  bool emptyContext = false;            // the context's empty-context compartment set to 1
  bool timing = false;                  // where each key's time goes, printed at the end
  bool uiless = false;                  // the application draws the candidate lists itself
};

std::u16string FromWideString(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void Complain(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

std::string SystemText(HRESULT hr) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer ? buffer : L"", length);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  return ToUtf8(FromWideString(text));
}

std::string Bstr(BSTR text) {
  if (!text) return {};
  std::u16string value(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
  SysFreeString(text);
  return EscapeText(value);
}

const char kUsage[] =
    "usage: tsfhost.exe [--dll PATH] [--clsid {GUID}] [--closed] [--keys KEYS] [--trace]\n"
    "                   [--png FILE] [--langbar] [--release-check] [--configure] [--disabled]\n"
    "                   [--empty-context] [--timing] [--uiless] [--owner] [--input-scope N[,N...]]\n"
    "Without --keys: an editor to type in with the text service. With --keys: types KEYS and prints\n"
    "the document, caret, composition and candidate window.";

std::optional<Options> ParseArguments(int argc, wchar_t** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    auto value = [&]() -> const wchar_t* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (arg == L"--dll") {
      const wchar_t* v = value();
      if (!v) return std::nullopt;
      options.dll = v;
    } else if (arg == L"--clsid") {
      const wchar_t* v = value();
      if (!v || FAILED(CLSIDFromString(v, &options.clsid))) return std::nullopt;
    } else if (arg == L"--keys") {
      const wchar_t* v = value();
      if (!v) return std::nullopt;
      options.keys = FromWideString(v);
    } else if (arg == L"--png") {
      const wchar_t* v = value();
      if (!v) return std::nullopt;
      options.png = v;
    } else if (arg == L"--closed") {
      options.closed = true;
    } else if (arg == L"--trace") {
      options.trace = true;
    } else if (arg == L"--langbar") {
      options.langbar = true;
    } else if (arg == L"--owner") {
      options.owner = true;
    } else if (arg == L"--release-check") {
      options.releaseCheck = true;
    } else if (arg == L"--configure") {
      options.configure = true;
    } else if (arg == L"--disabled") {
      options.disabled = true;
    } else if (arg == L"--input-scope") {
      // Comma-separated numbers: 31 a password, 61 a private field.
      const wchar_t* v = value();
      if (!v) return std::nullopt;
      const std::wstring list = v;
      for (size_t at = 0; at <= list.size();) {
        const size_t comma = std::min(list.find(L',', at), list.size());
        const std::wstring number = list.substr(at, comma - at);
        wchar_t* end = nullptr;
        const long scope = std::wcstol(number.c_str(), &end, 10);
        if (number.empty() || *end != 0 || scope < -32 || scope > 1000) return std::nullopt;
        options.inputScopes.push_back(static_cast<InputScope>(scope));
        at = comma + 1;
      }
    } else if (arg == L"--empty-context") {
      options.emptyContext = true;
    } else if (arg == L"--timing") {
      options.timing = true;
    } else if (arg == L"--uiless") {
      options.uiless = true;
    } else {
      return std::nullopt;
    }
  }
  if (options.dll.empty()) {
    // quillsvc.dll next to tsfhost.exe.
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring self(path, length);
    options.dll = self.substr(0, self.find_last_of(L"\\/") + 1) + L"quillsvc.dll";
  }
  return options;
}

// The top-level windows of this thread that the DLL made (their class or instance is the DLL's).
struct WindowSearch {
  HMODULE dll;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectDllWindow(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<WindowSearch*>(lParam);
  const auto classModule = reinterpret_cast<HMODULE>(GetClassLongPtrW(hwnd, GCLP_HMODULE));
  const auto instance = reinterpret_cast<HMODULE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));
  if (classModule == search->dll || instance == search->dll) search->found.push_back(hwnd);
  return TRUE;
}

std::vector<HWND> DllWindows(HMODULE dll) {
  WindowSearch search{dll, {}};
  EnumThreadWindows(GetCurrentThreadId(), CollectDllWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool IsDllWindow(HWND hwnd, HMODULE dll) {
  return reinterpret_cast<HMODULE>(GetClassLongPtrW(hwnd, GCLP_HMODULE)) == dll ||
         reinterpret_cast<HMODULE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE)) == dll;
}

// The screen point of the n-th child of `list` with `role`, where the list's hit test finds that child.
std::optional<POINT> AccessiblePoint(IAccessible* list, LONG role, int32_t which) {
  LONG count = 0;
  if (FAILED(list->get_accChildCount(&count))) return std::nullopt;
  int32_t seen = 0;
  for (LONG id = 1; id <= count; ++id) {
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    VARIANT kind;
    VariantInit(&kind);
    if (FAILED(list->get_accRole(child, &kind)) || kind.vt != VT_I4 || kind.lVal != role || seen++ != which) continue;
    LONG left = 0, top = 0, width = 0, height = 0;
    if (list->accLocation(&left, &top, &width, &height, child) != S_OK) return std::nullopt;
    // The middle of the points inside the rectangle that hit the child.
    long sumX = 0, sumY = 0, hits = 0;
    for (LONG y = top; y < top + height; y += 2) {
      for (LONG x = left; x < left + width; x += 2) {
        VARIANT hit;
        VariantInit(&hit);
        if (list->accHitTest(x, y, &hit) == S_OK && hit.vt == VT_I4 && hit.lVal == id) {
          sumX += x;
          sumY += y;
          ++hits;
        }
      }
    }
    if (hits == 0) return std::nullopt;
    return POINT{static_cast<LONG>(sumX / hits), static_cast<LONG>(sumY / hits)};
  }
  return std::nullopt;
}

// The names of the accessible list's rows.
std::vector<std::u16string> AccessibleRows(HWND window) {
  std::vector<std::u16string> rows;
  ComPtr<IAccessible> list;
  LONG count = 0;
  if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                        list.PutVoid())) ||
      FAILED(list->get_accChildCount(&count))) {
    return rows;
  }
  for (LONG id = 1; id <= count; ++id) {
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    VARIANT role;
    VariantInit(&role);
    BSTR name = nullptr;
    if (FAILED(list->get_accRole(child, &role)) || role.vt != VT_I4 || role.lVal != ROLE_SYSTEM_LISTITEM ||
        FAILED(list->get_accName(child, &name))) {
      continue;
    }
    rows.emplace_back(reinterpret_cast<const char16_t*>(name), name ? SysStringLen(name) : 0);
    SysFreeString(name);
  }
  return rows;
}

HWND VisibleDllWindow(HMODULE dll) {
  for (HWND hwnd : DllWindows(dll)) {
    if (IsWindowVisible(hwnd)) return hwnd;
  }
  return nullptr;
}

// The objects of one run: the framework, the document's window and the text service.
class Host {
 public:
  Host(const Options& options, HMODULE dll) : options_(options), dll_(dll) {}

  int Run(IClassFactory* factory);

 private:
  bool SetUp();
  // With --configure: the text service's settings instead of a run.
  int ShowConfigure(IClassFactory* factory);
  HRESULT ActivateTip(IClassFactory* factory);
  // Without --keys: a person types until the window closes.
  void Interact();
  // With --keys: each token in turn (traced and timed when asked), then the messages they left.
  void Replay(const std::vector<KeyToken>& tokens);
  // Ends the key's timing: the lookup it made and whether it opened a window of the DLL; `label`
  // names the key (the composition after it is added).
  void TimeKey(size_t windowsBefore, const std::string& label);
  // With --keys, at the end: the snapshot, the reports asked for and the picture.
  void Report();
  void Pump();
  bool RouteKey(const MSG& msg);
  void RunToken(const KeyToken& token);
  void SendKeys(const KeyToken& token);
  // Clicks the n-th item of the candidate window's accessible list that has `role` (a row or a tab).
  void Click(LONG role, int32_t which);
  void LangBarAction(const KeyToken& token);
  // Answers messages until the named event is set, for two minutes at most.
  void WaitForEvent(const std::u16string& name);
  void BeBusy(const std::u16string& name);
  Snapshot Take() const;
  std::string LangBarReport() const;
  std::string OwnerReport() const;
  std::string ItemTooltips() const;
  bool SavePicture(const std::wstring& path) const;
  void ShutDown();

  const Options& options_;
  HMODULE dll_;
  std::unique_ptr<Editor> editor_;
  ComPtr<ThreadMgr> threads_;
  ComPtr<DocumentMgr> documents_;
  ComPtr<Context> context_;
  ComPtr<ITfTextInputProcessor> tip_;
  int eaten_ = 0;
  bool quit_ = false;
  PublishedData published_;  // for the replay
  std::unique_ptr<LookupReplay> replay_;
  mutable bool ownWindowShown_ = false;  // with --uiless: the text service's window was seen
  TfClientId app_ = 0;
};

bool Host::SetUp() {
  editor_ = Editor::Create(L"tsfhost");
  if (!editor_) {
    Complain("tsfhost: the window could not be created");
    return false;
  }
  threads_ = Make<ThreadMgr>();
  threads_->Activate(&app_);
  const TfClientId app = app_;
  threads_->RegisterTip(kTipClientId, options_.clsid);
  ComPtr<ITfDocumentMgr> documents;
  ComPtr<ITfContext> context;
  TfEditCookie storeCookie = 0;
  if (FAILED(threads_->CreateDocumentMgr(documents.Put())) ||
      FAILED(documents->CreateContext(app, 0, nullptr, context.Put(), &storeCookie)) ||
      FAILED(documents->Push(context.Get()))) {
    Complain("tsfhost: the document could not be set up");
    return false;
  }
  documents_ = DocumentMgr::From(documents.Get());
  context_ = Context::From(context.Get());
  context_->SetView(editor_.get());
  threads_->SetDrawsCandidates(options_.uiless);
  threads_->SetElementsChanged(editor_.get());
  editor_->Attach(context_.Get(), threads_.Get());
  auto set = [&](ITfCompartmentMgr* manager, REFGUID guid, LONG number) {
    ComPtr<ITfCompartment> compartment;
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = number;
    if (SUCCEEDED(manager->GetCompartment(guid, compartment.Put()))) compartment->SetValue(app, &value);
  };
  // Open unless asked otherwise, as a person who switched the input method on.
  set(threads_.Get(), GUID_COMPARTMENT_KEYBOARD_OPENCLOSE, options_.closed ? 0 : 1);
  if (options_.disabled) set(context_.Get(), GUID_COMPARTMENT_KEYBOARD_DISABLED, 1);
  context_->SetInputScopes(options_.inputScopes);
  if (options_.emptyContext) set(context_.Get(), GUID_COMPARTMENT_EMPTYCONTEXT, 1);
  return true;
}

HRESULT Host::ActivateTip(IClassFactory* factory) {
  HRESULT hr = factory->CreateInstance(nullptr, IID_ITfTextInputProcessor, tip_.PutVoid());
  if (FAILED(hr) || !tip_) {
    Complain("tsfhost: the text service could not be created: " + Hex(hr) + " " + SystemText(hr));
    return FAILED(hr) ? hr : E_NOINTERFACE;
  }
  hr = tip_->Activate(threads_.Get(), kTipClientId);
  // The document gets the focus after activation, as when a person clicks into it.
  threads_->SetFocus(documents_.Get());
  return hr;
}

bool Host::RouteKey(const MSG& msg) {
  if ((msg.message != WM_KEYDOWN && msg.message != WM_KEYUP) || msg.hwnd != editor_->Window()) return false;
  const bool up = msg.message == WM_KEYUP;
  if (!up) Timing::Get().StartKey();
  BOOL eaten = FALSE;
  up ? threads_->TestKeyUp(msg.wParam, msg.lParam, &eaten) : threads_->TestKeyDown(msg.wParam, msg.lParam, &eaten);
  if (!eaten) return false;
  eaten = FALSE;
  up ? threads_->KeyUp(msg.wParam, msg.lParam, &eaten) : threads_->KeyDown(msg.wParam, msg.lParam, &eaten);
  if (eaten) ++eaten_;
  return eaten != FALSE;
}

void Host::Pump() {
  // A window that never validates would keep WM_PAINT coming; the cap keeps the run going.
  for (int rounds = 0; rounds < 200 && !quit_; ++rounds) {
    MSG msg;
    for (int count = 0; count < 10000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++count) {
      if (msg.message == WM_QUIT) {
        quit_ = true;
        return;
      }
      if (RouteKey(msg)) continue;
      TranslateMessage(&msg);
      const bool paint = msg.message == WM_PAINT && Timing::Get().enabled() && IsDllWindow(msg.hwnd, dll_);
      const ZoneScope zone(paint ? Zone::kPaint : Zone::kHost);
      DispatchMessageW(&msg);
    }
    if (MsgWaitForMultipleObjectsEx(0, nullptr, kSettleMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_TIMEOUT) {
      return;
    }
  }
}

bool ExtendedKey(uint8_t key) {
  switch (key) {
    case VK_PRIOR:
    case VK_NEXT:
    case VK_END:
    case VK_HOME:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
    case VK_INSERT:
    case VK_DELETE:
    case VK_DIVIDE:
      return true;
    default:
      return false;
  }
}

void Host::SendKeys(const KeyToken& token) {
  std::vector<INPUT> inputs;
  auto key = [&](uint8_t vk, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (ExtendedKey(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
    inputs.push_back(input);
  };
  if (token.ctrl) key(VK_CONTROL, false);
  if (token.shift) key(VK_SHIFT, false);
  key(token.key, false);
  key(token.key, true);
  if (token.shift) key(VK_SHIFT, true);
  if (token.ctrl) key(VK_CONTROL, true);
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void Host::Click(LONG role, int32_t which) {
  // An application that draws the list itself chooses through the element, as its own list's click.
  if (options_.uiless && role == ROLE_SYSTEM_LISTITEM) {
    if (auto behavior = QueryAs<ITfCandidateListUIElementBehavior>(threads_->CandidateList().Get())) {
      if (FAILED(behavior->SetSelection(static_cast<UINT>(which))) || FAILED(behavior->Finalize())) {
        Complain("tsfhost: the candidate list refused row " + std::to_string(which));
      }
      return;
    }
  }
  // Found as a screen reader finds it: the window's accessible object, the item's location, and a
  // point in it that the object's own hit test gives back for the item (tabs overlap their neighbours).
  const HWND window = VisibleDllWindow(dll_);
  ComPtr<IAccessible> list;
  std::optional<POINT> point;
  if (window && SUCCEEDED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                     list.PutVoid()))) {
    point = AccessiblePoint(list.Get(), role, which);
  }
  if (!point) {
    Complain("tsfhost: nothing to click for " + std::to_string(which));
    return;
  }
  SetCursorPos(point->x, point->y);
  Pump();
  INPUT inputs[2] = {};
  inputs[0].type = inputs[1].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, inputs, sizeof(INPUT));
}

void Host::LangBarAction(const KeyToken& token) {
  const auto& items = threads_->Items();
  if (token.number < 0 || static_cast<size_t>(token.number) >= items.size()) {
    Complain("tsfhost: no language-bar item " + std::to_string(token.number));
    return;
  }
  ComPtr<ITfLangBarItem> item = items[token.number].item;
  const RECT area = {0, 0, 24, 24};
  if (token.kind == KeyToken::Kind::kItem) {
    if (auto button = QueryAs<ITfLangBarItemButton>(item.Get())) {
      button->OnClick(TF_LBI_CLK_LEFT, POINT{0, 0}, &area);
    } else if (auto balloon = QueryAs<ITfLangBarItemBalloon>(item.Get())) {
      balloon->OnClick(TF_LBI_CLK_LEFT, POINT{0, 0}, &area);
    }
    return;
  }
  auto button = QueryAs<ITfLangBarItemButton>(item.Get());
  ComPtr<Menu> menu = Make<Menu>();
  if (!button || FAILED(button->InitMenu(menu.Get())) || token.second < 0 ||
      static_cast<size_t>(token.second) >= menu->Entries().size()) {
    Complain("tsfhost: no menu entry " + std::to_string(token.second) + " on item " + std::to_string(token.number));
    return;
  }
  button->OnMenuSelect(menu->Entries()[token.second].id);
}

void Host::WaitForEvent(const std::u16string& name) {
  const HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, platform::win32::ToWide(name).c_str());
  if (event == nullptr) {
    Complain("tsfhost: no event " + ToUtf8(name));
    return;
  }
  const DWORD until = GetTickCount() + 120000;
  for (LONG left; (left = static_cast<LONG>(until - GetTickCount())) > 0 && !quit_;) {
    // Input already in the queue counts too: a message seen but not taken (a screen reader's request
    // among them) must not wait for the event.
    const DWORD woke =
        MsgWaitForMultipleObjectsEx(1, &event, static_cast<DWORD>(left), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke != WAIT_OBJECT_0 + 1) break;
    Pump();
  }
  CloseHandle(event);
}

void Host::BeBusy(const std::u16string& name) {
  const HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, platform::win32::ToWide(name).c_str());
  if (event == nullptr) {
    Complain("tsfhost: no event " + ToUtf8(name));
    return;
  }
  // Set while no message is taken: whatever another program is answered meanwhile came from another
  // thread.
  SetEvent(event);
  Sleep(500);
  ResetEvent(event);
  CloseHandle(event);
}

void Host::RunToken(const KeyToken& token) {
  switch (token.kind) {
    case KeyToken::Kind::kKey:
      SendKeys(token);
      break;
    case KeyToken::Kind::kShiftTap: {
      INPUT inputs[2] = {};
      inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
      inputs[0].ki.wVk = inputs[1].ki.wVk = VK_SHIFT;
      inputs[0].ki.wScan = inputs[1].ki.wScan = static_cast<WORD>(MapVirtualKeyW(VK_SHIFT, MAPVK_VK_TO_VSC));
      inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
      SendInput(2, inputs, sizeof(INPUT));
      break;
    }
    case KeyToken::Kind::kClick:
      Click(ROLE_SYSTEM_LISTITEM, token.number);
      break;
    case KeyToken::Kind::kClickTab:
      Click(ROLE_SYSTEM_PAGETAB, token.number);
      break;
    case KeyToken::Kind::kBlur:
      threads_->SetThreadFocus(false);
      break;
    case KeyToken::Kind::kFocus:
      threads_->SetThreadFocus(true);
      break;
    case KeyToken::Kind::kCaret:
      context_->Doc().SetSelection(token.number, token.number);
      editor_->DocumentChanged();
      context_->AppChanged(false, true);
      break;
    case KeyToken::Kind::kTerminate:
      context_->TerminateCompositions();
      break;
    case KeyToken::Kind::kItem:
    case KeyToken::Kind::kMenu:
      LangBarAction(token);
      break;
    case KeyToken::Kind::kWait:
      WaitForEvent(token.name);
      break;
    case KeyToken::Kind::kBusy:
      BeBusy(token.name);
      break;
    case KeyToken::Kind::kOpenClose: {
      // As an application or the touch keyboard does: the text service hears it through the sink.
      ComPtr<ITfCompartment> compartment;
      VARIANT value;
      VariantInit(&value);
      value.vt = VT_I4;
      value.lVal = token.number;
      if (SUCCEEDED(threads_->GetCompartment(GUID_COMPARTMENT_KEYBOARD_OPENCLOSE, compartment.Put())))
        compartment->SetValue(app_, &value);
      break;
    }
  }
  Pump();
}

Snapshot Host::Take() const {
  Snapshot snapshot;
  const Document& doc = context_->Doc();
  snapshot.document = doc.Text();
  snapshot.caret = doc.Caret();
  snapshot.composition = context_->CompositionSpan();
  const std::vector<HWND> windows = DllWindows(dll_);
  snapshot.candidates = windows.empty() || !snapshot.composition ? CandidateState::kNone : CandidateState::kHidden;
  for (HWND hwnd : windows) {
    if (IsWindowVisible(hwnd)) snapshot.candidates = CandidateState::kVisible;
  }
  ComPtr<ITfCandidateListUIElement> list = threads_->CandidateList();
  if (options_.uiless && snapshot.candidates == CandidateState::kVisible) ownWindowShown_ = true;
  // An application that draws the list itself shows it while the element lives.
  if (options_.uiless && list) snapshot.candidates = CandidateState::kVisible;
  if (snapshot.candidates != CandidateState::kVisible) return snapshot;
  if (!list) {
    // A text service that offers no element is read as a screen reader reads its window.
    snapshot.rows = AccessibleRows(VisibleDllWindow(dll_));
    return snapshot;
  }
  UINT count = 0;
  if (FAILED(list->GetCount(&count))) return snapshot;
  UINT first = 0;
  UINT last = count;
  UINT page = 0;
  UINT pages = 0;
  if (SUCCEEDED(list->GetCurrentPage(&page)) && SUCCEEDED(list->GetPageIndex(nullptr, 0, &pages)) && pages > 0) {
    std::vector<UINT> starts(pages);
    if (SUCCEEDED(list->GetPageIndex(starts.data(), pages, &pages)) && page < pages) {
      first = starts[page];
      last = page + 1 < pages ? starts[page + 1] : count;
    }
  }
  for (UINT i = first; i < last && i < count; ++i) {
    BSTR text = nullptr;
    list->GetString(i, &text);
    std::u16string row = text ? std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text)) : u"";
    if (text) SysFreeString(text);
    snapshot.rows.push_back(std::move(row));
  }
  return snapshot;
}

// For --owner: the window that owns the text service's windows, as Windows tells any program.
std::string Host::OwnerReport() const {
  std::string out;
  const HWND editor = GetAncestor(editor_->Window(), GA_ROOT);
  for (HWND hwnd : DllWindows(dll_)) {
    const HWND owner = GetWindow(hwnd, GW_OWNER);
    out += std::string("owner ") + (owner == nullptr ? "none" : owner == editor ? "editor" : "other") + "\n";
  }
  return out;
}

std::string Host::LangBarReport() const {
  std::string out;
  const auto& items = threads_->Items();
  for (size_t i = 0; i < items.size(); ++i) {
    const std::string prefix = "item " + std::to_string(i) + " ";
    ITfLangBarItem* item = items[i].item.Get();
    out += prefix + "desc " + EscapeText(FromWideString(items[i].info.szDescription)) + "\n";
    BSTR tooltip = nullptr;
    if (SUCCEEDED(item->GetTooltipString(&tooltip))) out += prefix + "tooltip " + Bstr(tooltip) + "\n";
    if (auto button = QueryAs<ITfLangBarItemButton>(item)) {
      BSTR text = nullptr;
      if (SUCCEEDED(button->GetText(&text))) out += prefix + "text " + Bstr(text) + "\n";
      if (items[i].info.dwStyle & TF_LBI_STYLE_BTN_MENU) {
        ComPtr<Menu> menu = Make<Menu>();
        if (SUCCEEDED(button->InitMenu(menu.Get()))) {
          for (const Menu::Entry& entry : menu->Entries()) {
            out += prefix + "menu " + std::to_string(entry.id) + " " + EscapeText(FromWideString(entry.text)) +
                   ((entry.flags & TF_LBMENUF_CHECKED) ? " checked" : "") + "\n";
          }
        }
      }
    }
    if (auto balloon = QueryAs<ITfLangBarItemBalloon>(item)) {
      TF_LBBALLOONINFO info = {};
      if (SUCCEEDED(balloon->GetBalloonInfo(&info))) out += prefix + "balloon " + Bstr(info.bstrText) + "\n";
    }
  }
  return out;
}

std::string Host::ItemTooltips() const {
  std::string out;
  for (const auto& item : threads_->Items()) {
    BSTR tooltip = nullptr;
    if (SUCCEEDED(item.item->GetTooltipString(&tooltip))) out += (out.empty() ? "" : "; ") + Bstr(tooltip);
  }
  return out;
}

bool Host::SavePicture(const std::wstring& path) const {
  // The editor's client area (its frame is the window manager's) and every popup of the DLL.
  RECT area = {};
  GetClientRect(editor_->Window(), &area);
  MapWindowPoints(editor_->Window(), nullptr, reinterpret_cast<POINT*>(&area), 2);
  for (HWND hwnd : DllWindows(dll_)) {
    RECT rect = {};
    if (IsWindowVisible(hwnd) && GetWindowRect(hwnd, &rect)) UnionRect(&area, &area, &rect);
  }
  const RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  IntersectRect(&area, &area, &screen);
  picture::ScreenPixels pixels;
  return picture::CaptureScreen(area, &pixels) && picture::SavePng(path, pixels);
}

void Host::ShutDown() {
  if (tip_) {
    tip_->Deactivate();
    tip_.Reset();
  }
  Pump();
  if (threads_) threads_->SetFocus(nullptr);
  if (documents_) documents_->Shutdown();
  context_.Reset();
  documents_.Reset();
  if (threads_) threads_->Shutdown();
  threads_.Reset();
  editor_.reset();
}

int Host::Run(IClassFactory* factory) {
  if (!SetUp()) {
    ShutDown();
    return kHostFailed;
  }
  if (options_.configure) {
    const int result = ShowConfigure(factory);
    ShutDown();
    return result;
  }

  std::vector<KeyToken> tokens;
  if (options_.keys) {
    std::string error;
    auto parsed = ParseKeyScript(*options_.keys, &error);
    if (!parsed) {
      Complain("tsfhost: bad --keys: " + error);
      ShutDown();
      return kBadArguments;
    }
    tokens = std::move(*parsed);
  }

  const HRESULT activated = ActivateTip(factory);
  if (!tip_) {
    ShutDown();
    return kDllFailed;
  }
  Pump();
  if (FAILED(activated)) {
    // The text service stays active in its error state, as the framework keeps it; the run goes on
    // so that what it shows can be checked.
    std::string text = ItemTooltips();
    Complain("tsfhost: activation failed: " + Hex(activated) + " " + SystemText(activated) +
             (text.empty() ? "" : "; the text service says: " + text));
  }

  if (!options_.keys) {
    Interact();
  } else {
    Replay(tokens);
    Report();
  }
  ShutDown();
  return FAILED(activated) ? kActivationFailed : kOk;
}

int Host::ShowConfigure(IClassFactory* factory) {
  ComPtr<ITfFnConfigure> configure;
  const HRESULT hr = factory->CreateInstance(nullptr, IID_ITfFnConfigure, configure.PutVoid());
  if (FAILED(hr) || !configure) {
    Complain("tsfhost: the DLL offers no configure function: " + Hex(hr) + " " + SystemText(hr));
    return kDllFailed;
  }
  configure->Show(editor_->Window(), MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), GUID_NULL);
  return kOk;
}

void Host::Interact() {
  MSG msg;
  while (!quit_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (RouteKey(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void Host::Replay(const std::vector<KeyToken>& tokens) {
  if (options_.timing) {
    Timing::Get().Enable();
    if (!TimeWindowCalls(dll_)) Complain("tsfhost: --timing finds no window calls of the text service to time");
    if (published_.Open() != Result::kSuccess) {
      Complain("tsfhost: --timing finds no dictionary blocks; lookups are not timed");
    }
    replay_ = std::make_unique<LookupReplay>(published_);
  }
  for (const KeyToken& token : tokens) {
    eaten_ = 0;
    const size_t windows = options_.timing ? DllWindows(dll_).size() : 0;
    RunToken(token);
    if (options_.timing) TimeKey(windows, ToUtf8(token.label));
    if (options_.trace) {
      Print("key " + ToUtf8(token.label) + (eaten_ > 0 ? " eaten\n" : " passed\n") + FormatSnapshot(Take()));
    }
    if (quit_) break;
  }
  Pump();
}

void Host::TimeKey(size_t windowsBefore, const std::string& label) {
  const auto span = context_->CompositionSpan();
  const std::u16string composition =
      span ? context_->Doc().Text().substr(span->first, span->second - span->first) : std::u16string();
  const double lookup = replay_->Follow(composition);
  Timing::Get().EndKey(lookup, DllWindows(dll_).size() > windowsBefore, "'" + label + "' " + ToUtf8(composition));
}

void Host::Report() {
  Print(FormatSnapshot(Take()));
  if (options_.uiless) Print(std::string("own-window-shown ") + (ownWindowShown_ ? "yes" : "no") + "\n");
  if (options_.langbar) Print(LangBarReport());
  if (options_.owner) Print(OwnerReport());
  if (options_.timing) Print(Timing::Get().Report());
  if (!options_.png.empty() && !SavePicture(options_.png)) {
    Complain("tsfhost: the picture could not be saved");
  }
}

int Main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::optional<Options> options = argv ? ParseArguments(argc, argv) : std::nullopt;
  if (argv) LocalFree(argv);
  if (!options) {
    Complain(kUsage);
    return kBadArguments;
  }
  _setmode(_fileno(stdout), _O_BINARY);
  ComApartment apartment;
  int result = kOk;
  {
    const winui::UniqueModule library(options->dll.c_str());
    if (!library.get()) {
      const DWORD error = GetLastError();
      Complain("tsfhost: " + ToUtf8(FromWideString(options->dll)) +
               " does not load: " + SystemText(HRESULT_FROM_WIN32(error)));
      return kDllFailed;
    }
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    auto getClassObject =
        reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(library.get(), "DllGetClassObject")));
    auto canUnloadNow =
        reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(library.get(), "DllCanUnloadNow")));
    if (!getClassObject) {
      Complain("tsfhost: the DLL exports no DllGetClassObject");
      return kDllFailed;
    }
    ComPtr<IClassFactory> factory;
    const HRESULT hr = getClassObject(options->clsid, IID_IClassFactory, factory.PutVoid());
    if (FAILED(hr) || !factory) {
      Complain("tsfhost: the DLL has no class factory for the text service: " + Hex(hr) + " " + SystemText(hr));
      return kDllFailed;
    }
    {
      Host host(*options, library.get());
      result = host.Run(factory.Get());
    }
    factory.Reset();
    if (options->releaseCheck) {
      const HRESULT unload = canUnloadNow ? canUnloadNow() : E_NOTIMPL;
      Print(std::string("can-unload ") + (unload == S_OK ? "yes" : "no") + "\nhost-objects " +
            std::to_string(LiveObjects()) + "\n");
    }
  }
  return result;
}

}  // namespace
}  // namespace quillet::tsfhost

int main() {
  try {
    return quillet::tsfhost::Main();
  } catch (const std::bad_alloc&) {
    std::fputs("tsfhost: out of memory\n", stderr);
  } catch (...) {
    std::fputs("tsfhost: unexpected failure\n", stderr);
  }
  return quillet::tsfhost::kHostFailed;
}
