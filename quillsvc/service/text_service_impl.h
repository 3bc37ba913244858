// CQuillsvc, the text input processor the framework creates in every thread that uses the input method:
// a thin shell that turns the framework's calls into calls on the portable InputController (which
// decides what every key does) and gives the controller the framework, the candidate window and the
// language bar through InputHost. Each concern lives in a file of its own, with the advise and
// unadvise of its sink:
//
//   text_service.cpp           creation, Activate, Deactivate, the blocks and the error code
//   thread_mgr_event_sink.cpp  ITfThreadMgrEventSink (document focus) and ITfThreadFocusSink
//   text_edit_sink.cpp         ITfTextEditSink and ITfTextLayoutSink on the focused context
//   key_event_sink.cpp         ITfKeyEventSink, the key states, full screen, the synthetic key of a click
//   composition_sink.cpp       ITfCompositionSink and the edit sessions that run the core
//   compartments.cpp           open/close (and its sink), keyboard disabled and empty context
//   function_provider.cpp      ITfFunctionProvider
//   candidate_window_owner.cpp the candidate window, its clicks, and the edit sessions of what an
//                              application that draws the list chooses
//
// Two concerns are helper objects it owns: LangBarItemsOwner (the language-bar items and what they
// ask) and CandidateListOwner (the list as the framework's UI element).
//
// All entry points run on the thread that activated the object. What the loader publishes is held only
// while the thread has the focus; a failure on the way becomes the error code, shown in the open/close
// item's tooltip, and leaves the text service unable to open.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ipc/loader_link.h"
#include "quillsvc/candwin/cand_list_win.h"
#include "quillsvc/candwin/gdiplus_api.h"
#include "quillsvc/candwin/widget_mouse_callback.h"
#include "quillsvc/com/com_object.h"
#include "quillsvc/com/com_ptr.h"
#include "quillsvc/com/module.h"
#include "quillsvc/com/tsf_interfaces.h"
#include "quillsvc/service/candidate_list_owner.h"
#include "quillsvc/service/input_controller.h"
#include "quillsvc/service/input_scope.h"
#include "quillsvc/service/lang_bar_items_owner.h"
#include "quillsvc/service/text_service.h"

namespace quillet {

// The context's window when it is one that places the candidate window by its caret; else null.
HWND CaretPlacedWindow(ITfContext* context);

class CQuillsvc final : public ComObject<ModuleCount, ITfTextInputProcessor, ITfThreadMgrEventSink, ITfTextEditSink,
                                         ITfKeyEventSink, ITfCompositionSink, ITfTextLayoutSink, ITfThreadFocusSink,
                                         ITfFunctionProvider, ITfCompartmentEventSink>,
                        private InputHost,
                        private IWidgetMouseEventCallback {
 public:
  CQuillsvc();
  ~CQuillsvc() override;

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

  // ITfCompartmentEventSink: the open/close compartment, whoever changed it.
  HRESULT STDMETHODCALLTYPE OnChange(REFGUID compartment) override;

  // The edit sessions' work, with the cookie the framework granted them.
  void HandleKeyInSession(ITfContext* context, TfEditCookie cookie, uint32_t key);
  void EndCompositionInSession(ITfContext* context, TfEditCookie cookie);
  // Reads the input scopes of the field at the selection (a secret field disables the keyboard).
  void ReadFieldInSession(ITfContext* context, TfEditCookie cookie);
  void PlaceCandidateWindowInSession(ITfContext* context, TfEditCookie cookie);
  void FinalizeInSession(ITfContext* context, TfEditCookie cookie);
  void AbortInSession(ITfContext* context, TfEditCookie cookie);

  // For the helpers it owns.
  InputController& controller() { return controller_; }
  ITfThreadMgr* threadMgr() const { return threadMgr_.Get(); }
  CCandListWin* windowNow() const { return window_.get(); }
  bool IsOpenNow();
  // Refused (E_FAIL) for true while the error code is nonzero.
  HRESULT SetOpenState(bool open);
  // Ends the composition (its text stays) through an asynchronous edit session and closes the
  // candidate window.
  void EndCompositionAsync();
  // The context the composition lives in, else the focused one; null for none.
  ComPtr<ITfContext> CompositionContext() const;
  // What an application that draws the list chose: the highlighted row picked, or the typed text
  // given up, each in an edit session of its own.
  void RequestFinalize();
  void RequestAbort();

 private:
  Result ActivateSteps();
  // Makes sure the loader runs, then opens the blocks and the tab sources.
  Result OpenBlocks();
  void SetErrorCode(Result code) { controller_.SetErrorCode(code); }

  // Each Advise keeps its cookie and says whether it worked; each Unadvise gives back what is advised.
  bool AdviseThreadMgrEventSink();
  void UnadviseThreadMgrEventSink();
  bool AdviseThreadFocusSink();
  void UnadviseThreadFocusSink();
  bool AdviseKeyEventSink();
  void UnadviseKeyEventSink();
  void AdviseFunctionProvider();
  void UnadviseFunctionProvider();
  bool AdviseOpenCloseSink();
  void UnadviseOpenCloseSink();
  // (Re)advises the text-edit and layout sinks on the top context of `manager` (none: only detaches).
  bool AttachContext(ITfDocumentMgr* manager);

  // Asks for a session on `context` with this text service's client id.
  void RequestSession(ITfContext* context, ITfEditSession* session, DWORD flags);
  // The key sink's four calls: whether the key is eaten (test), or that and its handling.
  HRESULT KeyEvent(ITfContext* context, WPARAM key, bool down, bool test, BOOL* eaten);

  // InputHost
  bool IsKeyboardDisabled() override;
  bool MayLearn() override { return !field_.secret && !field_.privateField; }
  bool IsOpen() override { return IsOpenNow(); }
  void SetOpen(bool open) override { SetOpenState(open); }
  bool IsKeyHeld(uint32_t virtualKey) override;
  bool IsKeyToggled(uint32_t virtualKey) override;
  void RefreshLangBarItems() override { langBar_.Refresh(); }
  bool ForegroundIsFullScreen() override;
  std::u16string_view ProgramName() override;
  CandidateWindow* candidateWindow() override;
  CandidateWindow* NewCandidateWindow(int activeTab) override;
  void CloseCandidateWindow() override;
  void SendKeyDown(uint32_t virtualKey) override;

  // IWidgetMouseEventCallback (the candidate window's clicks)
  void OnTabClicked(int32_t tab) override;
  void OnItemClicked(int32_t row) override;
  void OnListScrolled(int32_t arrow) override;
  void OnTabScrolled() override;
  void OnMouseEvent(uint32_t message, AppearanceElement element, int32_t index) override;

  // GDI+ for the candidate window, for this object's life (started before and ended after it).
  gdip::Session gdiplus_;
  InputController controller_{*this};
  LoaderStarts loaderStarts_;
  ComPtr<ITfThreadMgr> threadMgr_;
  TfClientId clientId_ = TF_CLIENTID_NULL;
  ComPtr<ITfContext> context_;             // the focused document's top context
  ComPtr<ITfContext> compositionContext_;  // where the composition was started
  FieldPrivacy field_;                     // of the focused field, as last read
  DWORD threadMgrSinkCookie_ = TF_INVALID_COOKIE;
  DWORD textEditSinkCookie_ = TF_INVALID_COOKIE;
  DWORD layoutSinkCookie_ = TF_INVALID_COOKIE;
  DWORD threadFocusSinkCookie_ = TF_INVALID_COOKIE;
  DWORD openCloseSinkCookie_ = TF_INVALID_COOKIE;
  bool keyEventSinkAdvised_ = false;
  bool functionProviderAdvised_ = false;
  LangBarItemsOwner langBar_{*this};
  CandidateListOwner candidateList_{*this};
  // The settings record the candidate window was made from, copied: a window kept between
  // compositions outlives the publication it came from. Before the windows, which read it.
  std::vector<uint8_t> windowSettings_;
  std::unique_ptr<CCandListWin> window_;  // after candidateList_, which observes it
  // The last composition's window, hidden: the next composition shows it again rather than making
  // one (which costs far more). Dropped with the publications, at focus loss and deactivation.
  std::unique_ptr<CCandListWin> keptWindow_;
};

}  // namespace quillet
