// The text service's portable core: which keys are eaten, what an eaten key does, how the candidate
// window follows the composition, and what the candidate window's clicks do. It owns the composition
// state, what the loader publishes as this text service reads it, the tab set over it and the writer
// of learning reports; the Windows text service (CQuillsvc) is a thin shell around it.
//
// The seam with the shell:
//
//   shell -> core   The framework's calls, forwarded:
//     ITfKeyEventSink::OnTestKeyDown / OnKeyDown   eaten = TestKeyDown(wParam); OnKeyDown then, if
//                                                  eaten, runs a synchronous read-write edit session
//     ITfKeyEventSink::OnTestKeyUp / OnKeyUp       eaten = TestKeyUp(wParam); the same for OnKeyUp
//     the key-handler edit session's DoEditSession HandleKey(context, wParam)
//     IWidgetMouseEventCallback (candidate window) OnTabClicked, OnItemClicked, OnListScrolled,
//                                                  OnTabScrolled, OnMouseEvent
//     the end-composition edit session             composition().EndComposition(context)
//     ITfCompositionSink::OnCompositionTerminated  composition().OnTerminated(), then close the window
//     ITfTextEditSink::OnEndEdit                   composition().IsSelectionInside(context, selection)
//     ITfTextLayoutSink::OnLayoutChange            PlaceCandidateWindow(context), in a read-only session
//     activation and thread focus                  OpenPublications() / ClosePublications(),
//                                                  SetErrorCode(code)
//     the tab-list menu                            OnTabClicked (window visible) or SetActiveTab
//     the candidate window's list shown or changed OnListChanged; hidden or gone: OnListHidden
//     activation and thread focus, once published  speaker().SetVoice when speaker().WantsVoice()
//   Here `context` is a TsfEditContext (tsf_edit_context.h) over the session's context and edit cookie
//   and the text service's ITfCompositionSink.
//
//   core -> shell   InputHost below: the open/close and keyboard-disabled compartments, the key
//     states, the language-bar refresh, the candidate window's life, and the synthetic digit key.
//     The candidate window itself is seen through CandidateWindow (candwin/candidate_window.h).
//
// Everything runs on the text service's thread, one call at a time. Failures inside key handling are
// silent: the action stops and the key stays eaten.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/options_record.h"
#include "common/program_rules.h"
#include "common/result.h"
#include "common/settings_record.h"
#include "lookup/learning_reporter.h"
#include "lookup/published_data.h"
#include "lookup/tab_source_set.h"
#include "lookup/word_history.h"
#include "quillsvc/candwin/candidate_window.h"
#include "quillsvc/service/composition_state.h"
#include "quillsvc/service/edit_context.h"
#include "quillsvc/service/key_table.h"
#include "quillsvc/service/word_speaker.h"

namespace quillet {

// What the core asks of the text service around it.
class InputHost {
 public:
  // The keyboard-disabled and empty-context compartments of the focused context (IsKeyboardDisabled).
  virtual bool IsKeyboardDisabled() = 0;
  // Whether what is written here may be learned (never in password, PIN or private fields).
  virtual bool MayLearn() = 0;
  // The keyboard open/close compartment (IsOpen, SetOpen). SetOpen(true) is refused while the text
  // service is in error.
  virtual bool IsOpen() = 0;
  virtual void SetOpen(bool open) = 0;
  // GetKeyState: the key is held (bit 0x80), or toggled (bit 0x01, for Caps Lock).
  virtual bool IsKeyHeld(uint32_t virtualKey) = 0;
  virtual bool IsKeyToggled(uint32_t virtualKey) = 0;
  // Refresh the open/close and active-tab language-bar items.
  virtual void RefreshLangBarItems() = 0;
  // Whether the foreground application runs full screen (a game, a presentation), where a lone Shift
  // does not toggle.
  virtual bool ForegroundIsFullScreen() = 0;
  // The file name of the host's executable ("WindowsTerminal.exe"), which the program rules name.
  virtual std::u16string_view ProgramName() = 0;

  // The candidate window now, or nullptr. The host owns it.
  virtual CandidateWindow* candidateWindow() = 0;
  // The candidate window for a new composition, hidden, with its widgets built for `activeTab` within
  // kCandidateWindowMaxWidth by kCandidateWindowMaxHeight, for the settings as they are now (made
  // anew, or the last composition's when nothing it was made from changed). Any window there is
  // closed first. nullptr when it could not be made.
  virtual CandidateWindow* NewCandidateWindow(int activeTab) = 0;
  // The candidate window goes, if there is one (hidden; the host may keep it for the next
  // composition).
  virtual void CloseCandidateWindow() = 0;
  // Queues one key-down of `virtualKey` as if typed (SendInput); it comes back through the key sink.
  virtual void SendKeyDown(uint32_t virtualKey) = 0;

 protected:
  ~InputHost() = default;
};

class InputController final : private ICompositionCallback {
 public:
  explicit InputController(InputHost& host) : host_(host), composition_(this) {}
  InputController(const InputController&) = delete;
  InputController& operator=(const InputController&) = delete;

  // Key events. Both return whether the key is eaten. TestKeyDown also records the key as the last
  // one (for the Shift tap); both eat nothing while the error code is nonzero, nor in a program whose
  // rule says never. The toggle key is the tab set's (lone Shift, Ctrl+Space or none).
  //   Down: Ctrl+Space when it is the toggle key, also closed or disabled; otherwise not when the
  //     keyboard is disabled, closed or Ctrl is held; letters always; any other key but Shift while a
  //     composition exists.
  //   Up: with the lone Shift as the toggle key and the foreground not full screen, a Shift released
  //     with no other key pressed since its own key-down.
  bool TestKeyDown(uint32_t virtualKey);
  bool TestKeyUp(uint32_t virtualKey);
  // Runs an eaten key inside the key-handler edit session: starts the composition and the candidate
  // window when there are none (not for Shift), then takes the key's action from kKeyTable.
  void HandleKey(EditContext& context, uint32_t virtualKey);
  // Moves a visible candidate window next to the composition's screen extent.
  void PlaceCandidateWindow(EditContext& context);
  // What an application that draws the list itself chooses: a row highlighted (its description in
  // the addition bar), the highlighted row picked as Tab picks it, the typed text given up as Escape
  // gives it up. The last two run inside an edit session.
  void HighlightRow(int row);
  void PickHighlighted(EditContext& context);
  void Cancel(EditContext& context);

  // The candidate window's list as it reports it: shown, or its rows, page or highlight changed (the
  // highlighted word is spoken where the options ask); hidden or destroyed.
  void OnListChanged();
  void OnListHidden();

  // The candidate window's notifications.
  void OnTabClicked(int index);
  // Sends the row's number key, so that the pick happens inside a key-handler edit session.
  void OnItemClicked(int row);
  void OnListScrolled(bool forward);
  void OnTabScrolled();
  // A press on a row of the list shows its description in the addition bar.
  void OnMouseEvent(uint32_t message, AppearanceElement element, int index);

  // Opens what the loader published (and the learning inbox, which a sandboxed host cannot open) and
  // builds the tab set over it; PublishedData's failure otherwise, with no sources. Closing drops all
  // of it (the tab names stay for the language bar). The first success of an activation reads this
  // program's rule, and closes the input method when the rule says it starts closed.
  Result OpenPublications();
  void ClosePublications();
  // The activation ended: the next one reads the program's rule again.
  void EndActivation() {
    programRule_ = ProgramRule::kNone;
    programRuleRead_ = false;
  }
  ProgramRule programRule() const { return programRule_; }

  CCompositionState& composition() { return composition_; }
  TabSourceSet& tabs() { return tabs_; }
  // What the tab set reads, and where learning goes: tools and tests publish their own here.
  PublishedData& published() { return published_; }
  LearningReporter& reporter() { return reporter_; }
  WordSpeaker& speaker() { return speaker_; }

  // The active tab index: the tab the next candidate window opens on.
  int activeTab() const { return activeTab_; }
  void SetActiveTab(int index) { activeTab_ = index; }
  // Not kSuccess while activation or reopening failed: no key is eaten.
  Result errorCode() const { return errorCode_; }
  void SetErrorCode(Result code) { errorCode_ = code; }
  uint32_t lastKey() const { return lastKey_; }

 private:
  void OnCompositionChanged(EditContext& context, std::u16string_view text) override;
  void OnCharAppended(EditContext& context, char16_t c) override;
  void OnCharDeleted(EditContext& context, std::u16string_view text) override;

  void CreateCandidateWindow(EditContext& context);
  // The words before a composition just started: from the document, else those this controller
  // committed.
  void ReadContext(EditContext& context);
  // After a pick in a tab that offers them: the words likely next, in the window without a
  // composition. False (and no window) when there are none.
  bool ShowNextWords(std::u16string_view picked);
  // A key while the next words show; false when the key closed them and takes its normal path.
  bool HandleNextWordKey(EditContext& context, uint32_t virtualKey);
  // `text` was written: it is the context of what follows and, where the field allows, learned.
  void NoteWritten(std::u16string_view text);
  // Writes `text` at the selection through a composition that ends at once.
  EditStatus InsertText(EditContext& context, std::u16string_view text);
  bool NextWordsShown() const { return nextWords_ && host_.candidateWindow() != nullptr; }
  void InsertChar(EditContext& context, char16_t c);
  void Select(EditContext& context, int row, CaseRule rule);
  // A pick with Caps Lock on writes the whole word in capitals.
  CaseRule PickRule();
  void SwitchTab(bool next);
  bool TurnPage(bool forward);
  void MoveHighlight(bool down);
  // Ctrl+Space (no other modifier) while it is the toggle key.
  bool IsToggleChord(uint32_t virtualKey);
  void ToggleOpen(EditContext& context);
  // Ends the composition (its text stays) and closes the candidate window.
  void Finish(EditContext& context);
  // Makes `index` the shown tab when it names a source.
  void ShowTab(int index);
  // Looks the whole composition text up in the shown tab and refills the window from the top.
  void Relookup(CandidateWindow& window, bool refreshTitle);
  // Whether the composition text is longer than the shown tab's showFromLetters.
  bool LongEnoughToShow();
  // Takes up what the loader published since the tab set was built, and builds it again.
  void TakeUpPublications();
  // The input method's own options, from the published options record.
  void ReadOptions();
  // Whether what is written may be learned: the field allows it and the program's rule is not never.
  bool MayLearn() { return programRule_ != ProgramRule::kNever && host_.MayLearn(); }

  InputHost& host_;
  CCompositionState composition_;
  PublishedData published_;
  LearningReporter reporter_;
  TabSourceSet tabs_{published_};  // after published_: the sources read it
  ToggleKey toggleKey_ = ToggleKey::kShift;
  ProgramRule programRule_ = ProgramRule::kNone;
  bool programRuleRead_ = false;
  WordSpeaker speaker_;
  WordHistory committed_;   // what this controller wrote, for documents that cannot be read
  bool nextWords_ = false;  // the window shows the words likely after a pick
  int activeTab_ = 0;
  uint32_t lastKey_ = 0;
  Result errorCode_ = Result::kSuccess;
};

// The open/close item's tooltip for an error code: empty for kSuccess.
std::u16string ErrorText(Result errorCode);

}  // namespace quillet
