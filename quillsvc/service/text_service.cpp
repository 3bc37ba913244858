#include "quillsvc/service/text_service.h"

#include <new>
#include <type_traits>
#include <utility>

#include "common/boundary.h"
#include "common/result.h"
#include "ipc/loader_link.h"
#include "quillsvc/server/com_boundary.h"
#include "quillsvc/server/guids.h"
#include "quillsvc/server/instances.h"
#include "quillsvc/server/module.h"
#include "quillsvc/service/candidate_window_shell.h"
#include "quillsvc/service/edit_sessions.h"
#include "quillsvc/service/tsf_edit_context.h"

namespace quillet {

using platform::win32::ComPtr;
using platform::win32::QueryAs;

namespace {

constexpr wchar_t kDescription[] = L"Tarnwick Quillet";
// The one document window whose own caret places the candidate window better than the extent it
// reports.
constexpr wchar_t kCaretPlacedWindowClass[] = L"Internet Explorer_Server";

constexpr int32_t kOutOfMemory = static_cast<int32_t>(Result::kOutOfMemory);
constexpr int32_t kSinkAdviseFailed = static_cast<int32_t>(Result::kSinkAdviseFailed);

// The value of a compartment when it holds a VT_I4.
bool ReadNumber(ITfCompartmentMgr* manager, REFGUID guid, LONG* value) {
  ComPtr<ITfCompartment> compartment;
  if (manager == nullptr || FAILED(manager->GetCompartment(guid, compartment.Put())) || !compartment) return false;
  VARIANT content;
  VariantInit(&content);
  const bool number = SUCCEEDED(compartment->GetValue(&content)) && content.vt == VT_I4;
  if (number) *value = content.lVal;
  VariantClear(&content);
  return number;
}

// The context's window when it is one that places the candidate window by its caret; else null.
HWND CaretPlacedWindow(ITfContext* context) {
  ComPtr<ITfContextView> view;
  HWND window = nullptr;
  if (context == nullptr || FAILED(context->GetActiveView(view.Put())) || !view || FAILED(view->GetWnd(&window)) ||
      window == nullptr) {
    return nullptr;
  }
  wchar_t name[256] = {};
  if (GetClassNameW(window, name, 255) == 0) return nullptr;
  return wcscmp(name, kCaretPlacedWindowClass) == 0 ? window : nullptr;
}

}  // namespace

HRESULT CQuillsvc::Create(IUnknown** object) {
  *object = nullptr;
  CQuillsvc* service = new (std::nothrow) CQuillsvc();
  if (service == nullptr) return E_OUTOFMEMORY;
  *object = service->Identity();
  return S_OK;
}

CQuillsvc::CQuillsvc() {
  DllAddRef();
  // Without the controller (the composition state and the tab set) activation reports error 21.
  controller_.reset(new (std::nothrow) InputController(*this));
}

CQuillsvc::~CQuillsvc() {
  window_.reset();
  controller_.reset();
  DllRelease();
}

HRESULT CQuillsvc::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ITfTextInputProcessor)) {
    *out = static_cast<ITfTextInputProcessor*>(this);
  } else if (IsEqualIID(iid, IID_ITfThreadMgrEventSink)) {
    *out = static_cast<ITfThreadMgrEventSink*>(this);
  } else if (IsEqualIID(iid, IID_ITfTextEditSink)) {
    *out = static_cast<ITfTextEditSink*>(this);
  } else if (IsEqualIID(iid, IID_ITfKeyEventSink)) {
    *out = static_cast<ITfKeyEventSink*>(this);
  } else if (IsEqualIID(iid, IID_ITfCompositionSink)) {
    *out = static_cast<ITfCompositionSink*>(this);
  } else if (IsEqualIID(iid, IID_ITfTextLayoutSink)) {
    *out = static_cast<ITfTextLayoutSink*>(this);
  } else if (IsEqualIID(iid, IID_ITfThreadFocusSink)) {
    *out = static_cast<ITfThreadFocusSink*>(this);
  } else if (IsEqualIID(iid, IID_ITfFunctionProvider)) {
    *out = static_cast<ITfFunctionProvider*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG CQuillsvc::AddRef() { return ++refs_; }

ULONG CQuillsvc::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

// Activation and deactivation.

HRESULT CQuillsvc::Activate(ITfThreadMgr* threadMgr, TfClientId clientId) {
  if (threadMgr == nullptr) return E_INVALIDARG;
  threadMgr_ = ComPtr<ITfThreadMgr>(threadMgr);
  clientId_ = clientId;
  const int32_t error = AtBoundary(kOutOfMemory, [&] { return ActivateSteps(); });
  if (controller_ != nullptr) controller_->set_errorCode(error);
  return ComBoundary([&] {
    if (error == 0) {
      UpdateLangBarItems(true);
    } else {
      UpdateLangBarItems(false);
      SetOpenState(false);
      RefreshLangBarItems();
    }
    return error != 0 ? E_FAIL : S_OK;
  });
}

int32_t CQuillsvc::ActivateSteps() {
  if (controller_ == nullptr) return kOutOfMemory;
  ComPtr<ITfSource> source = QueryAs<ITfSource>(threadMgr_.Get());
  if (!source || FAILED(source->AdviseSink(IID_ITfThreadMgrEventSink, static_cast<ITfThreadMgrEventSink*>(this),
                                           &threadMgrSinkCookie_))) {
    threadMgrSinkCookie_ = TF_INVALID_COOKIE;
    return kSinkAdviseFailed;
  }
  ComPtr<ITfDocumentMgr> focus;
  if (SUCCEEDED(threadMgr_->GetFocus(focus.Put())) && focus && !AttachContext(focus.Get())) return kSinkAdviseFailed;
  ComPtr<ITfKeystrokeMgr> keystrokes = QueryAs<ITfKeystrokeMgr>(threadMgr_.Get());
  if (!keystrokes || keystrokes->AdviseKeyEventSink(clientId_, static_cast<ITfKeyEventSink*>(this), TRUE) != S_OK) {
    return kSinkAdviseFailed;
  }
  if (FAILED(source->AdviseSink(IID_ITfThreadFocusSink, static_cast<ITfThreadFocusSink*>(this),
                                &threadFocusSinkCookie_))) {
    threadFocusSinkCookie_ = TF_INVALID_COOKIE;
    return kSinkAdviseFailed;
  }
  // The function provider is a convenience; the text service works without it.
  if (ComPtr<ITfSourceSingle> single = QueryAs<ITfSourceSingle>(threadMgr_.Get())) {
    single->AdviseSingleSink(clientId_, IID_ITfFunctionProvider, static_cast<ITfFunctionProvider*>(this));
  }
  return OpenBlocks();
}

int32_t CQuillsvc::OpenBlocks() {
  platform::OsError error = 0;
  const Result loader = EnsureLoader(&error, kFromService);
  if (loader != Result::kSuccess) return ToInt(loader);
  return ToInt(controller_->tabs().Open());
}

HRESULT CQuillsvc::Deactivate() {
  ComBoundary([&] {
    // A composition left open would keep its sink, this object, alive through the framework's
    // reference: it ends here, its text staying, and is forgotten even when the session must wait.
    EndCompositionAsync();
    if (controller_ != nullptr) controller_->composition().OnTerminated();
    ComPtr<ITfSource> source = QueryAs<ITfSource>(threadMgr_.Get());
    if (threadMgrSinkCookie_ != TF_INVALID_COOKIE && source) source->UnadviseSink(threadMgrSinkCookie_);
    threadMgrSinkCookie_ = TF_INVALID_COOKIE;
    AttachContext(nullptr);
    RemoveLangBarItems();
    if (ComPtr<ITfKeystrokeMgr> keystrokes = QueryAs<ITfKeystrokeMgr>(threadMgr_.Get())) {
      keystrokes->UnadviseKeyEventSink(clientId_);
    }
    if (threadFocusSinkCookie_ != TF_INVALID_COOKIE && source) source->UnadviseSink(threadFocusSinkCookie_);
    threadFocusSinkCookie_ = TF_INVALID_COOKIE;
    if (ComPtr<ITfSourceSingle> single = QueryAs<ITfSourceSingle>(threadMgr_.Get())) {
      single->UnadviseSingleSink(clientId_, IID_ITfFunctionProvider);
    }
    return S_OK;
  });
  threadMgr_.Reset();
  clientId_ = TF_CLIENTID_NULL;
  if (controller_ != nullptr) {
    controller_->tabs().Close();
    controller_->set_errorCode(0);
  }
  return S_OK;
}

bool CQuillsvc::AttachContext(ITfDocumentMgr* manager) {
  if (textEditSinkCookie_ != TF_INVALID_COOKIE || layoutSinkCookie_ != TF_INVALID_COOKIE) {
    if (ComPtr<ITfSource> source = QueryAs<ITfSource>(context_.Get())) {
      if (textEditSinkCookie_ != TF_INVALID_COOKIE) source->UnadviseSink(textEditSinkCookie_);
      if (layoutSinkCookie_ != TF_INVALID_COOKIE) source->UnadviseSink(layoutSinkCookie_);
    }
  }
  context_.Reset();
  textEditSinkCookie_ = layoutSinkCookie_ = TF_INVALID_COOKIE;
  if (manager == nullptr) return true;

  ComPtr<ITfContext> top;
  if (FAILED(manager->GetTop(top.Put()))) return false;
  if (!top) return true;
  ComPtr<ITfSource> source = QueryAs<ITfSource>(top.Get());
  if (!source) return false;
  if (FAILED(source->AdviseSink(IID_ITfTextEditSink, static_cast<ITfTextEditSink*>(this), &textEditSinkCookie_))) {
    textEditSinkCookie_ = TF_INVALID_COOKIE;
    return false;
  }
  if (FAILED(source->AdviseSink(IID_ITfTextLayoutSink, static_cast<ITfTextLayoutSink*>(this), &layoutSinkCookie_))) {
    source->UnadviseSink(textEditSinkCookie_);
    textEditSinkCookie_ = layoutSinkCookie_ = TF_INVALID_COOKIE;
    return false;
  }
  context_ = std::move(top);
  if (window_ != nullptr) window_->SetDocumentWindow(CaretPlacedWindow(context_.Get()));
  return true;
}

// Language-bar items.

void CQuillsvc::UpdateLangBarItems(bool enabled) {
  ComPtr<ITfLangBarItemMgr> items = QueryAs<ITfLangBarItemMgr>(threadMgr_.Get());
  if (!items) return;
  bool failed = false;
  // Keeps a new item in `slot` and puts it on the language bar.
  auto add = [&](auto& slot, auto* item) {
    slot = ComPtr<std::remove_pointer_t<decltype(item)>>::Adopt(item);
    failed = FAILED(items->AddItem(slot->Item()));
  };
  if (!enableItem_) add(enableItem_, new CLangBarItemEnable(Identity(), *this));
  if (enabled) {
    if (!failed && !currSheetItem_) add(currSheetItem_, new CLangBarItemCurrSheet(Identity(), *this));
    if (!failed && !sheetListItem_) add(sheetListItem_, new CLangBarItemSheetList(Identity(), *this));
  } else {
    if (currSheetItem_) items->RemoveItem(currSheetItem_->Item());
    currSheetItem_.Reset();
    if (sheetListItem_) items->RemoveItem(sheetListItem_->Item());
    sheetListItem_.Reset();
  }
  // Items left on the language bar would keep this text service alive through their references.
  if (failed) RemoveLangBarItems();
}

void CQuillsvc::RemoveLangBarItems() {
  ComPtr<ITfLangBarItemMgr> items = QueryAs<ITfLangBarItemMgr>(threadMgr_.Get());
  auto remove = [&](auto& item) {
    if (item && items) items->RemoveItem(item->Item());
    item.Reset();
  };
  remove(enableItem_);
  remove(sheetListItem_);
  remove(currSheetItem_);
}

void CQuillsvc::RefreshLangBarItems() {
  if (enableItem_) enableItem_->Refresh();
  if (currSheetItem_) currSheetItem_->Refresh();
}

// Document focus, edits, compositions and layout.

HRESULT CQuillsvc::OnInitDocumentMgr(ITfDocumentMgr*) { return S_OK; }
HRESULT CQuillsvc::OnUninitDocumentMgr(ITfDocumentMgr*) { return S_OK; }
HRESULT CQuillsvc::OnPushContext(ITfContext*) { return S_OK; }
HRESULT CQuillsvc::OnPopContext(ITfContext*) { return S_OK; }

HRESULT CQuillsvc::OnSetFocus(ITfDocumentMgr* focus, ITfDocumentMgr*) {
  return ComBoundary([&] {
    // The composition ends in its own document, before the sinks move to the new one.
    EndCompositionAsync();
    AttachContext(focus);
    return S_OK;
  });
}

HRESULT CQuillsvc::OnEndEdit(ITfContext* context, TfEditCookie readOnly, ITfEditRecord* record) {
  return ComBoundary([&] {
    if (controller_ == nullptr || !controller_->composition().HasComposition() || record == nullptr ||
        context == nullptr) {
      return S_OK;
    }
    BOOL selectionChanged = FALSE;
    if (FAILED(record->GetSelectionStatus(&selectionChanged)) || !selectionChanged) return S_OK;
    TsfEditContext edit(context, readOnly, this);
    std::unique_ptr<TextRange> selection;
    if (edit.GetSelection(&selection) != 0) return S_OK;
    if (!controller_->composition().IsSelectionInside(edit, *selection)) EndCompositionAsync();
    return S_OK;
  });
}

HRESULT CQuillsvc::OnCompositionTerminated(TfEditCookie, ITfComposition*) {
  return ComBoundary([&] {
    if (controller_ != nullptr) controller_->composition().OnTerminated();
    DestroyCandidateWindow();
    return S_OK;
  });
}

HRESULT CQuillsvc::OnLayoutChange(ITfContext* context, TfLayoutCode code, ITfContextView* view) {
  return ComBoundary([&] {
    if (window_ == nullptr || controller_ == nullptr) return S_OK;
    if (code == TF_LC_DESTROY) {
      window_->Hide();
    } else if (code == TF_LC_CHANGE && window_->IsVisible() && context != nullptr && view != nullptr) {
      auto* composition = static_cast<TsfComposition*>(controller_->composition().composition());
      ComPtr<ITfRange> range;
      if (composition != nullptr && SUCCEEDED(composition->get()->GetRange(range.Put())) && range) {
        RequestSession(context, new CGetTextExtentEditSession(context, this, view, range.Get()), TF_ES_READ);
      }
    }
    return S_OK;
  });
}

void CQuillsvc::RequestSession(ITfContext* context, ITfEditSession* session, DWORD flags) {
  // The framework keeps its own reference for as long as it needs the session.
  ComPtr<ITfEditSession> owned = ComPtr<ITfEditSession>::Adopt(session);
  HRESULT sessionResult = S_OK;
  context->RequestEditSession(clientId_, owned.Get(), flags, &sessionResult);
}

void CQuillsvc::EndCompositionAsync() {
  if (controller_ != nullptr && controller_->composition().HasComposition()) {
    // The composition's own context: after a document focus change it is no longer the stored one.
    ComPtr<ITfContext> context = context_;
    auto* composition = static_cast<TsfComposition*>(controller_->composition().composition());
    ComPtr<ITfRange> range;
    ComPtr<ITfContext> owner;
    if (SUCCEEDED(composition->get()->GetRange(range.Put())) && range && SUCCEEDED(range->GetContext(owner.Put())) &&
        owner) {
      context = std::move(owner);
    }
    if (context) {
      RequestSession(context.Get(), new CEndCompositionEditSession(context.Get(), this),
                     TF_ES_ASYNCDONTCARE | TF_ES_READWRITE);
    }
  }
  DestroyCandidateWindow();
}

void CQuillsvc::HandleKeyInSession(ITfContext* context, TfEditCookie cookie, uint32_t key) {
  if (controller_ == nullptr) return;
  TsfEditContext edit(context, cookie, this);
  controller_->HandleKey(edit, key);
}

void CQuillsvc::EndCompositionInSession(ITfContext* context, TfEditCookie cookie) {
  if (controller_ == nullptr) return;
  TsfEditContext edit(context, cookie, this);
  controller_->composition().EndComposition(edit);
}

void CQuillsvc::PlaceCandidateWindow(ITfContextView* view, ITfRange* range, TfEditCookie cookie) {
  RECT extent = {};
  BOOL clipped = FALSE;
  if (window_ != nullptr && SUCCEEDED(view->GetTextExt(cookie, range, &extent, &clipped))) {
    window_->SetCompositionExtent(extent);
  }
}

// Keys.

HRESULT CQuillsvc::OnSetFocus(BOOL) { return S_OK; }

HRESULT CQuillsvc::KeyEvent(ITfContext* context, WPARAM key, bool down, bool test, BOOL* eaten) {
  if (eaten == nullptr) return E_INVALIDARG;
  *eaten = FALSE;
  if (controller_ == nullptr) return S_OK;
  return ComBoundary([&] {
    const auto virtualKey = static_cast<uint32_t>(key);
    const bool eat = down ? controller_->TestKeyDown(virtualKey) : controller_->TestKeyUp(virtualKey);
    // Without a context there is no session to run the key in: it is left to the application.
    if (!eat || (!test && context == nullptr)) return S_OK;
    if (!test) {
      RequestSession(context, new CKeyHandlerEditSession(context, this, virtualKey), TF_ES_SYNC | TF_ES_READWRITE);
    }
    *eaten = TRUE;
    return S_OK;
  });
}

HRESULT CQuillsvc::OnTestKeyDown(ITfContext* context, WPARAM wParam, LPARAM, BOOL* eaten) {
  return KeyEvent(context, wParam, true, true, eaten);
}

HRESULT CQuillsvc::OnKeyDown(ITfContext* context, WPARAM wParam, LPARAM, BOOL* eaten) {
  return KeyEvent(context, wParam, true, false, eaten);
}

HRESULT CQuillsvc::OnTestKeyUp(ITfContext* context, WPARAM wParam, LPARAM, BOOL* eaten) {
  return KeyEvent(context, wParam, false, true, eaten);
}

HRESULT CQuillsvc::OnKeyUp(ITfContext* context, WPARAM wParam, LPARAM, BOOL* eaten) {
  return KeyEvent(context, wParam, false, false, eaten);
}

HRESULT CQuillsvc::OnPreservedKey(ITfContext*, REFGUID, BOOL* eaten) {
  if (eaten != nullptr) *eaten = FALSE;
  return S_OK;
}

// Thread focus: the blocks are held only while the thread has it.

HRESULT CQuillsvc::OnSetThreadFocus() {
  return ComBoundary([&] {
    int32_t error = kOutOfMemory;
    if (controller_ != nullptr) {
      error = AtBoundary(kOutOfMemory, [&] { return OpenBlocks(); });
      controller_->set_errorCode(error);
    }
    if (error != 0) SetOpenState(false);
    UpdateLangBarItems(error == 0);
    RefreshLangBarItems();
    return S_OK;
  });
}

HRESULT CQuillsvc::OnKillThreadFocus() {
  return ComBoundary([&] {
    EndCompositionAsync();
    if (controller_ != nullptr) controller_->tabs().Close();
    return S_OK;
  });
}

// The function provider.

HRESULT CQuillsvc::GetType(GUID* type) {
  if (type != nullptr) *type = kClsidTextService;
  return S_OK;
}

HRESULT CQuillsvc::GetDescription(BSTR* description) {
  if (description == nullptr) return E_INVALIDARG;
  *description = SysAllocString(kDescription);
  return *description != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CQuillsvc::GetFunction(REFGUID, REFIID iid, IUnknown** function) {
  if (function == nullptr) return E_INVALIDARG;
  *function = nullptr;
  if (!IsEqualIID(iid, IID_ITfFnShowHelp)) return E_NOINTERFACE;
  return ComBoundary([&] { return NewFnShowHelp(function); });
}

// InputHost: the framework, the keyboard and the candidate window for the controller.

bool CQuillsvc::IsKeyboardDisabled() {
  ComPtr<ITfDocumentMgr> focus;
  if (!threadMgr_ || FAILED(threadMgr_->GetFocus(focus.Put())) || !focus) return true;
  ComPtr<ITfContext> top;
  if (FAILED(focus->GetTop(top.Put())) || !top) return true;
  ComPtr<ITfCompartmentMgr> compartments = QueryAs<ITfCompartmentMgr>(top.Get());
  if (!compartments) return false;
  // Either compartment set disables typing: an application that marks its context disabled is not
  // overruled by an empty-context value of 0.
  LONG value = 0;
  if (ReadNumber(compartments.Get(), GUID_COMPARTMENT_KEYBOARD_DISABLED, &value) && value != 0) return true;
  return ReadNumber(compartments.Get(), GUID_COMPARTMENT_EMPTYCONTEXT, &value) && value != 0;
}

bool CQuillsvc::IsOpen() {
  LONG value = 0;
  ComPtr<ITfCompartmentMgr> compartments = QueryAs<ITfCompartmentMgr>(threadMgr_.Get());
  return ReadNumber(compartments.Get(), GUID_COMPARTMENT_KEYBOARD_OPENCLOSE, &value) && value != 0;
}

HRESULT CQuillsvc::SetOpenState(bool open) {
  if (open && ErrorCode() != 0) return E_FAIL;
  ComPtr<ITfCompartmentMgr> compartments = QueryAs<ITfCompartmentMgr>(threadMgr_.Get());
  ComPtr<ITfCompartment> compartment;
  if (!compartments || FAILED(compartments->GetCompartment(GUID_COMPARTMENT_KEYBOARD_OPENCLOSE, compartment.Put())) ||
      !compartment) {
    return E_FAIL;
  }
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_I4;
  value.lVal = open ? 1 : 0;
  return compartment->SetValue(clientId_, &value);
}

bool CQuillsvc::IsKeyHeld(uint32_t virtualKey) { return (GetKeyState(static_cast<int>(virtualKey)) & 0x80) != 0; }

bool CQuillsvc::IsKeyToggled(uint32_t virtualKey) { return (GetKeyState(static_cast<int>(virtualKey)) & 0x01) != 0; }

CandidateWindow* CQuillsvc::candidateWindow() { return window_.get(); }

CandidateWindow* CQuillsvc::NewCandidateWindow(EditContext& context, const TextRange& compositionRange, int activeTab) {
  DestroyCandidateWindow();
  SharedBlock& settings = controller_->tabs().settingsBlock();
  // The window reads the settings in place; without the block (no focus) there is nothing to show.
  if (settings.view() == nullptr) return nullptr;
  window_ = CandidateWindowShell::Create(&settings, settings.view(), settings.viewSize(), this, activeTab);
  if (window_ == nullptr) return nullptr;

  auto& edit = static_cast<TsfEditContext&>(context);
  window_->SetDocumentWindow(CaretPlacedWindow(edit.context()));
  ComPtr<ITfContextView> view;
  RECT extent = {};
  BOOL clipped = FALSE;
  if (SUCCEEDED(edit.context()->GetActiveView(view.Put())) && view &&
      SUCCEEDED(
          view->GetTextExt(edit.cookie(), static_cast<const TsfRange&>(compositionRange).get(), &extent, &clipped))) {
    window_->SetCompositionExtent(extent);
  }
  return window_.get();
}

void CQuillsvc::DestroyCandidateWindow() { window_.reset(); }

void CQuillsvc::SendKeyDown(uint32_t virtualKey) {
  // The release follows the press, so that the system's key state does not show the key held.
  INPUT inputs[2] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(virtualKey);
  }
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, inputs, sizeof(INPUT));
}

// LangBarHost.

int32_t CQuillsvc::ErrorCode() { return controller_ != nullptr ? controller_->errorCode() : kOutOfMemory; }

std::u16string CQuillsvc::GetErrorText() { return ErrorText(ErrorCode()); }

const TabSourceSet* CQuillsvc::Tabs() { return controller_ != nullptr ? &controller_->tabs() : nullptr; }

int CQuillsvc::ActiveTab() { return controller_ != nullptr ? controller_->activeTab() : 0; }

void CQuillsvc::ChooseTab(int index) {
  if (controller_ == nullptr) return;
  if (window_ != nullptr && window_->IsVisible()) {
    controller_->OnTabClicked(index);
  } else {
    controller_->set_activeTab(index);
  }
}

// The candidate window's clicks.

void CQuillsvc::OnTabClicked(int32_t tab) {
  if (controller_ != nullptr) controller_->OnTabClicked(tab);
}

void CQuillsvc::OnItemClicked(int32_t row) {
  if (controller_ != nullptr) controller_->OnItemClicked(row);
}

void CQuillsvc::OnListScrolled(int32_t arrow) {
  if (controller_ != nullptr) controller_->OnListScrolled(arrow != 0);
}

void CQuillsvc::OnTabScrolled(int32_t) {
  if (controller_ != nullptr) controller_->OnTabScrolled();
}

void CQuillsvc::OnMouseEvent(uint32_t message, AppearanceElement element, int32_t index) {
  if (controller_ != nullptr) controller_->OnMouseEvent(message, static_cast<int>(element), index);
}

}  // namespace quillet
