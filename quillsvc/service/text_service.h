// CQuillsvc, the text input processor the framework creates in every thread that uses the input method:
// a thin shell that turns the framework's calls into calls on the portable InputController (which
// decides what every key does) and gives the controller the framework, the candidate window and the
// language bar through InputHost.
//
// All entry points run on the thread that activated the object. The shared blocks are held only while
// the thread has the focus; a failure on the way becomes the error code, shown in the open/close
// item's tooltip, and leaves the text service unable to open.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/win32/com_ptr.h"
#include "platform/win32/tsf_interfaces.h"
#include "quillsvc/candwin/gdiplus_api.h"
#include "quillsvc/candwin/widget_mouse_callback.h"
#include "quillsvc/langbar/lang_bar_items.h"
#include "quillsvc/service/input_controller.h"

namespace quillet {

class CandidateWindowShell;

class CQuillsvc final : public ITfTextInputProcessor,
                        public ITfThreadMgrEventSink,
                        public ITfTextEditSink,
                        public ITfKeyEventSink,
                        public ITfCompositionSink,
                        public ITfTextLayoutSink,
                        public ITfThreadFocusSink,
                        public ITfFunctionProvider,
                        private InputHost,
                        private LangBarHost,
                        private IWidgetMouseEventCallback {
 public:
  // A new text service whose one reference goes to *object; E_OUTOFMEMORY when it cannot be made.
  static HRESULT Create(IUnknown** object);

  CQuillsvc(const CQuillsvc&) = delete;
  CQuillsvc& operator=(const CQuillsvc&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // ITfTextInputProcessor
  HRESULT STDMETHODCALLTYPE Activate(ITfThreadMgr* threadMgr, TfClientId clientId) override;
  HRESULT STDMETHODCALLTYPE Deactivate() override;

  // ITfThreadMgrEventSink
  HRESULT STDMETHODCALLTYPE OnInitDocumentMgr(ITfDocumentMgr* manager) override;
  HRESULT STDMETHODCALLTYPE OnUninitDocumentMgr(ITfDocumentMgr* manager) override;
  HRESULT STDMETHODCALLTYPE OnSetFocus(ITfDocumentMgr* focus, ITfDocumentMgr* previous) override;
  HRESULT STDMETHODCALLTYPE OnPushContext(ITfContext* context) override;
  HRESULT STDMETHODCALLTYPE OnPopContext(ITfContext* context) override;

  // ITfTextEditSink
  HRESULT STDMETHODCALLTYPE OnEndEdit(ITfContext* context, TfEditCookie readOnly, ITfEditRecord* record) override;

  // ITfKeyEventSink
  HRESULT STDMETHODCALLTYPE OnSetFocus(BOOL foreground) override;
  HRESULT STDMETHODCALLTYPE OnTestKeyDown(ITfContext* context, WPARAM wParam, LPARAM lParam, BOOL* eaten) override;
  HRESULT STDMETHODCALLTYPE OnTestKeyUp(ITfContext* context, WPARAM wParam, LPARAM lParam, BOOL* eaten) override;
  HRESULT STDMETHODCALLTYPE OnKeyDown(ITfContext* context, WPARAM wParam, LPARAM lParam, BOOL* eaten) override;
  HRESULT STDMETHODCALLTYPE OnKeyUp(ITfContext* context, WPARAM wParam, LPARAM lParam, BOOL* eaten) override;
  HRESULT STDMETHODCALLTYPE OnPreservedKey(ITfContext* context, REFGUID guid, BOOL* eaten) override;

  // ITfCompositionSink
  HRESULT STDMETHODCALLTYPE OnCompositionTerminated(TfEditCookie cookie, ITfComposition* composition) override;

  // ITfTextLayoutSink
  HRESULT STDMETHODCALLTYPE OnLayoutChange(ITfContext* context, TfLayoutCode code, ITfContextView* view) override;

  // ITfThreadFocusSink
  HRESULT STDMETHODCALLTYPE OnSetThreadFocus() override;
  HRESULT STDMETHODCALLTYPE OnKillThreadFocus() override;

  // ITfFunctionProvider
  HRESULT STDMETHODCALLTYPE GetType(GUID* type) override;
  HRESULT STDMETHODCALLTYPE GetDescription(BSTR* description) override;
  HRESULT STDMETHODCALLTYPE GetFunction(REFGUID group, REFIID iid, IUnknown** function) override;

  // The edit sessions' work, with the cookie the framework granted them.
  void HandleKeyInSession(ITfContext* context, TfEditCookie cookie, uint32_t key);
  void EndCompositionInSession(ITfContext* context, TfEditCookie cookie);
  void PlaceCandidateWindow(ITfContextView* view, ITfRange* range, TfEditCookie cookie);

 private:
  CQuillsvc();
  ~CQuillsvc();

  IUnknown* Identity() { return static_cast<ITfTextInputProcessor*>(this); }
  int32_t ActivateSteps();
  // (Re)advises the text-edit and layout sinks on the top context of `manager` (none: only detaches).
  bool AttachContext(ITfDocumentMgr* manager);
  // Makes sure the loader runs, then opens the blocks and the tab sources.
  int32_t OpenBlocks();
  void UpdateLangBarItems(bool enabled);
  void RemoveLangBarItems();
  // Asks for a session on `context` with this text service's client id.
  void RequestSession(ITfContext* context, ITfEditSession* session, DWORD flags);
  // The key sink's four calls: whether the key is eaten (test), or that and its handling.
  HRESULT KeyEvent(ITfContext* context, WPARAM key, bool down, bool test, BOOL* eaten);

  // InputHost
  bool IsKeyboardDisabled() override;
  bool IsOpen() override;
  void SetOpen(bool open) override { SetOpenState(open); }
  bool IsKeyHeld(uint32_t virtualKey) override;
  bool IsKeyToggled(uint32_t virtualKey) override;
  void RefreshLangBarItems() override;
  CandidateWindow* candidateWindow() override;
  CandidateWindow* NewCandidateWindow(EditContext& context, const TextRange& compositionRange, int activeTab) override;
  void DestroyCandidateWindow() override;
  void SendKeyDown(uint32_t virtualKey) override;

  // LangBarHost
  int32_t ErrorCode() override;
  std::u16string GetErrorText() override;
  HRESULT SetOpenState(bool open) override;
  void EndCompositionAsync() override;
  const TabSourceSet* Tabs() override;
  int ActiveTab() override;
  void ChooseTab(int index) override;

  // IWidgetMouseEventCallback (the candidate window's clicks)
  void OnTabClicked(int32_t tab) override;
  void OnItemClicked(int32_t row) override;
  void OnListScrolled(int32_t arrow) override;
  void OnTabScrolled(int32_t arrow) override;
  void OnMouseEvent(uint32_t message, AppearanceElement element, int32_t index) override;

  ULONG refs_ = 1;
  // GDI+ for the candidate window, for this object's life (started before and ended after it).
  gdip::Session gdiplus_;
  std::unique_ptr<InputController> controller_;  // null when it could not be allocated (error 21)
  platform::win32::ComPtr<ITfThreadMgr> threadMgr_;
  TfClientId clientId_ = TF_CLIENTID_NULL;
  platform::win32::ComPtr<ITfContext> context_;  // the focused document's top context
  DWORD threadMgrSinkCookie_ = TF_INVALID_COOKIE;
  DWORD textEditSinkCookie_ = TF_INVALID_COOKIE;
  DWORD layoutSinkCookie_ = TF_INVALID_COOKIE;
  DWORD threadFocusSinkCookie_ = TF_INVALID_COOKIE;
  platform::win32::ComPtr<CLangBarItemEnable> enableItem_;
  platform::win32::ComPtr<CLangBarItemCurrSheet> currSheetItem_;
  platform::win32::ComPtr<CLangBarItemSheetList> sheetListItem_;
  std::unique_ptr<CandidateWindowShell> window_;
};

}  // namespace quillet
