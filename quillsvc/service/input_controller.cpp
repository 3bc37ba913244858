#include "quillsvc/service/input_controller.h"

#include <cstdio>

#include "common/result.h"
#include "common/utf16.h"
#include "quillsvc/candwin/widget_mouse_callback.h"

namespace quillet {
namespace {

bool IsLetterKey(uint32_t key) { return key >= vk::kA && key <= vk::kZ; }

}  // namespace

bool InputController::TestKeyDown(uint32_t virtualKey) {
  if (errorCode_ != Result::kSuccess || programRule_ == ProgramRule::kNever) return false;
  lastKey_ = virtualKey;
  // The chord toggles wherever a Shift tap would: while closed, too, and in a disabled field.
  if (IsToggleChord(virtualKey)) return true;
  if (host_.IsKeyboardDisabled() || !host_.IsOpen() || host_.IsKeyHeld(vk::kControl)) return false;
  if (IsLetterKey(virtualKey)) return true;
  if (NextWordsShown() && virtualKey != vk::kShift) {
    // Digits and Tab pick from words that came from a pick; any other key closes them and goes on.
    const KeyAction action = LookUpKey(virtualKey, host_.IsKeyHeld(vk::kShift)).action;
    if (action == KeyAction::SelectByNumber || action == KeyAction::SelectHighlighted) return true;
    nextWords_ = false;
    host_.CloseCandidateWindow();
    return false;
  }
  return virtualKey != vk::kShift && composition_.HasComposition();
}

bool InputController::TestKeyUp(uint32_t virtualKey) {
  // Only Shift's own key-up: the release of a key held across a Shift tap is the application's.
  if (errorCode_ != Result::kSuccess || programRule_ == ProgramRule::kNever || lastKey_ != vk::kShift ||
      virtualKey != vk::kShift) {
    return false;
  }
  // Players press Shift alone all the time (to run, to crouch): in full screen it stays theirs.
  return toggleKey_ == ToggleKey::kShift && !host_.ForegroundIsFullScreen();
}

bool InputController::IsToggleChord(uint32_t virtualKey) {
  return virtualKey == vk::kSpace && toggleKey_ == ToggleKey::kCtrlSpace && host_.IsKeyHeld(vk::kControl) &&
         !host_.IsKeyHeld(vk::kShift) && !host_.IsKeyHeld(vk::kMenu);
}

void InputController::HandleKey(EditContext& context, uint32_t virtualKey) {
  if (IsToggleChord(virtualKey)) {
    ToggleOpen(context);
    return;
  }
  if (NextWordsShown() && virtualKey != vk::kShift && HandleNextWordKey(context, virtualKey)) return;
  if (virtualKey != vk::kShift) {
    const bool started = !composition_.HasComposition();
    if (started && composition_.StartComposition(context) != EditStatus::kOk) return;
    if (host_.candidateWindow() == nullptr) CreateCandidateWindow(context);
    if (started) ReadContext(context);
  }
  const bool shift = host_.IsKeyHeld(vk::kShift);
  const KeyCommand key = LookUpKey(virtualKey, shift);
  CandidateWindow* window = host_.candidateWindow();
  const bool visible = window != nullptr && window->IsVisible();
  const bool capsLock = host_.IsKeyToggled(vk::kCapital);

  switch (key.action) {
    case KeyAction::TypeLetter: {
      char16_t c = key.value;
      if (capsLock) c = shift ? static_cast<char16_t>(c + 32) : static_cast<char16_t>(c - 32);
      InsertChar(context, c);
      break;
    }
    case KeyAction::InsertChar:
      InsertChar(context, key.value);
      break;
    case KeyAction::CommitWithChar:
      host_.CloseCandidateWindow();
      InsertChar(context, key.value);
      NoteWritten(composition_.text());
      composition_.EndComposition(context);
      break;
    case KeyAction::SelectByNumber:
      if (visible) Select(context, key.value, PickRule());
      break;
    case KeyAction::SelectHighlighted:
      PickHighlighted(context);
      break;
    case KeyAction::DeleteChar:
      composition_.RemoveChar(context, key.value == 0);
      break;
    case KeyAction::CommitTyped:
      Finish(context);
      break;
    case KeyAction::Cancel:
      Cancel(context);
      break;
    case KeyAction::SwitchTab:
      SwitchTab(key.value == 1);
      break;
    case KeyAction::Page:
      if (visible && TurnPage(key.value == 1)) window->ShowCandidates(tabs_, true, false);
      break;
    case KeyAction::MoveCaret:
      composition_.ShiftCaret(context, key.value == 0 ? -1 : 1);
      break;
    case KeyAction::MoveHighlight:
      if (visible) MoveHighlight(key.value == 1);
      break;
    case KeyAction::ToggleOpen:
      ToggleOpen(context);
      break;
    case KeyAction::Forget:
      // The highlighted word is no longer learned (its dictionary entry stays).
      if (visible && window->SelectedRow() >= 0 && MayLearn()) {
        const std::u16string word = tabs_.CommitText(static_cast<size_t>(window->SelectedRow()));
        if (!word.empty()) reporter_.ReportForget(word);
      }
      break;
    case KeyAction::None:
      break;
  }
}

void InputController::CreateCandidateWindow(EditContext& context) {
  nextWords_ = false;  // a window of its own for the composition
  // Every new window sees the settings as they are now; the old one, which reads the old ones, goes
  // first.
  host_.CloseCandidateWindow();
  TakeUpPublications();
  std::unique_ptr<TextRange> range;
  if (composition_.GetRange(context, &range) != EditStatus::kOk) return;
  CandidateWindow* window = host_.NewCandidateWindow(activeTab_);
  if (window == nullptr) return;
  RectI extent;
  if (context.GetScreenExtent(*range, &extent) == EditStatus::kOk) window->PlaceBy(extent);
  // A window without widgets reports no tab; the active tab stays what it was then.
  const int selected = window->SelectedTab();
  if (selected >= 0) activeTab_ = selected;
  host_.RefreshLangBarItems();
  ShowTab(activeTab_);
}

void InputController::PlaceCandidateWindow(EditContext& context) {
  CandidateWindow* window = host_.candidateWindow();
  std::unique_ptr<TextRange> range;
  RectI extent;
  if (window == nullptr || !window->IsVisible() || composition_.GetRange(context, &range) != EditStatus::kOk ||
      context.GetScreenExtent(*range, &extent) != EditStatus::kOk) {
    return;
  }
  window->PlaceBy(extent);
}

void InputController::HighlightRow(int row) {
  CandidateWindow* window = host_.candidateWindow();
  if (window == nullptr || row < 0 || static_cast<size_t>(row) >= window->RowCount()) return;
  window->MoveSelection(row - window->SelectedRow());
  if (window->AdditionBarVisible()) window->SetAdditionText(tabs_.DescriptionText(static_cast<size_t>(row)));
  window->Repaint();
}

void InputController::PickHighlighted(EditContext& context) {
  CandidateWindow* window = host_.candidateWindow();
  if (window != nullptr && window->IsVisible()) Select(context, window->SelectedRow(), PickRule());
}

void InputController::Cancel(EditContext& context) {
  composition_.ClearComposition(context);
  Finish(context);
}

CaseRule InputController::PickRule() {
  return host_.IsKeyToggled(vk::kCapital) ? CaseRule::Upper : CaseRule::KeepTyped;
}

void InputController::ReadContext(EditContext& context) {
  // Enough text for two words and the mark before them.
  constexpr int32_t kContextChars = 64;
  std::unique_ptr<TextRange> range;
  std::u16string before;
  bool atStart = false;
  if (composition_.GetRange(context, &range) == EditStatus::kOk &&
      context.GetTextBefore(*range, kContextChars, &before, &atStart) == EditStatus::kOk) {
    tabs_.SetContext(HistoryFromText(before, atStart));
  } else {
    tabs_.SetContext(committed_);
  }
}

bool InputController::ShowNextWords(std::u16string_view picked) {
  WordHistory history = tabs_.context();
  history.WriteText(picked);
  tabs_.SetContext(history);
  CandidateWindow* window = host_.candidateWindow();
  nextWords_ = window != nullptr && tabs_.NextWords() > 0;
  if (!nextWords_) return false;
  window->ShowCandidates(tabs_, true, false);
  window->Show();
  window->Repaint();
  return true;
}

bool InputController::HandleNextWordKey(EditContext& context, uint32_t virtualKey) {
  CandidateWindow* window = host_.candidateWindow();
  const KeyCommand key = LookUpKey(virtualKey, host_.IsKeyHeld(vk::kShift));
  nextWords_ = false;
  if (key.action == KeyAction::TypeLetter) {
    // A letter starts the next word after its space, narrowed by the context as typing does.
    host_.CloseCandidateWindow();
    InsertText(context, u" ");
    return false;
  }
  if (key.action != KeyAction::SelectByNumber && key.action != KeyAction::SelectHighlighted) {
    host_.CloseCandidateWindow();
    return false;
  }
  const int row = key.action == KeyAction::SelectByNumber ? key.value : window->SelectedRow();
  const std::u16string word = row < 0 ? std::u16string() : tabs_.CommitText(static_cast<size_t>(row));
  if (word.empty() || InsertText(context, u" " + word) != EditStatus::kOk) {
    host_.CloseCandidateWindow();
    return true;
  }
  speaker_.OnInserted(word);
  NoteWritten(word);
  if (!ShowNextWords(word)) host_.CloseCandidateWindow();
  return true;
}

EditStatus InputController::InsertText(EditContext& context, std::u16string_view text) {
  EditStatus r = composition_.StartComposition(context);
  if (r == EditStatus::kOk) r = composition_.ReplaceComposition(context, CaseRule::KeepTyped, text);
  composition_.EndComposition(context);
  return r;
}

void InputController::InsertChar(EditContext& context, char16_t c) {
  if (composition_.AddChar(context, c) != EditStatus::kOk) Finish(context);
}

void InputController::NoteWritten(std::u16string_view text) {
  committed_.WriteText(text);
  if (MayLearn()) reporter_.ReportWritten(text);
}

void InputController::Finish(EditContext& context) {
  NoteWritten(composition_.text());
  composition_.EndComposition(context);
  host_.CloseCandidateWindow();
}

void InputController::ShowTab(int index) {
  if (index >= 0 && static_cast<size_t>(index) < tabs_.sourceCount()) tabs_.SetShownTab(static_cast<size_t>(index));
}

bool InputController::LongEnoughToShow() { return composition_.text().size() > tabs_.ShowFromLetters(); }

void InputController::Relookup(CandidateWindow& window, bool refreshTitle) {
  tabs_.SetPrefix(composition_.text());
  window.ShowCandidates(tabs_, true, refreshTitle);
}

void InputController::Select(EditContext& context, int row, CaseRule rule) {
  const std::u16string word = row < 0 ? std::u16string() : tabs_.CommitText(static_cast<size_t>(row));
  if (word.empty()) {
    Finish(context);
    return;
  }
  const TabSource* shown = tabs_.ShownSource();
  const Candidate* picked = shown == nullptr ? nullptr : shown->CandidateAt(static_cast<size_t>(row));
  const bool forgiven = picked != nullptr && picked->forgiven;
  const std::u16string typed = composition_.text();
  if (composition_.ReplaceComposition(context, rule, word) != EditStatus::kOk) return;
  speaker_.OnInserted(composition_.text());  // as written, its case adapted
  // A corrected spelling picked: the same letters offer the same word first next time.
  if (forgiven && MayLearn()) reporter_.ReportMistake(typed, word);

  const int link = tabs_.LinkedTabPosition();
  CandidateWindow* window = host_.candidateWindow();
  if (link < 0 && window != nullptr && tabs_.ShownOffersNextWords()) {
    NoteWritten(composition_.text());
    const std::u16string picked = composition_.text();
    composition_.EndComposition(context);
    if (!ShowNextWords(picked)) host_.CloseCandidateWindow();
    return;
  }
  if (link < 0 || window == nullptr) {
    Finish(context);
    return;
  }
  // The linked tab offers follow-up words for the whole word; the active tab index stays.
  window->SelectTab(link);
  ShowTab(link);
  if (tabs_.SetPrefix(word) == 0) {
    Finish(context);
    return;
  }
  window->ShowCandidates(tabs_, true, true);
  window->Repaint();
}

void InputController::SwitchTab(bool next) {
  CandidateWindow* window = host_.candidateWindow();
  if (window == nullptr) return;
  window->Show();
  const int index = next ? window->NextTab() : window->PrevTab();
  if (index >= 0) activeTab_ = index;
  ShowTab(index);
  Relookup(*window, true);
  host_.RefreshLangBarItems();
}

bool InputController::TurnPage(bool forward) {
  if (forward) return tabs_.NextPage() > 0;
  const TabSource* source = tabs_.ShownSource();
  return source != nullptr && source->pageOffset() > 0 && tabs_.PreviousPage() > 0;
}

void InputController::MoveHighlight(bool down) {
  CandidateWindow* window = host_.candidateWindow();
  const int row = window->MoveSelection(down ? 1 : -1);
  if (row < 0) {
    // Past the rows shown: the highlight goes on to the next page's first row or the previous
    // page's last one.
    if (TurnPage(down)) window->ShowCandidates(tabs_, down, false);
  } else if (window->AdditionBarVisible()) {
    window->SetAdditionText(tabs_.DescriptionText(static_cast<size_t>(row)));
  }
  window->Repaint();
}

void InputController::ToggleOpen(EditContext& context) {
  const bool wasOpen = host_.IsOpen();
  host_.SetOpen(!wasOpen);
  host_.RefreshLangBarItems();
  if (wasOpen) Finish(context);
}

void InputController::OnCompositionChanged(EditContext&, std::u16string_view text) {
  CandidateWindow* window = host_.candidateWindow();
  if (window == nullptr) return;
  tabs_.SetPrefix(text);
  window->ShowCandidates(tabs_, true, false);
  if (LongEnoughToShow()) window->Show();
}

void InputController::OnCharAppended(EditContext&, char16_t c) {
  CandidateWindow* window = host_.candidateWindow();
  if (window == nullptr) return;
  tabs_.AppendLetter(c);
  window->ShowCandidates(tabs_, true, false);
  if (LongEnoughToShow()) window->Show();
}

void InputController::OnCharDeleted(EditContext&, std::u16string_view text) {
  if (text.empty()) {
    host_.CloseCandidateWindow();
    return;
  }
  CandidateWindow* window = host_.candidateWindow();
  if (window == nullptr) return;
  tabs_.SetPrefix(text);
  window->ShowCandidates(tabs_, true, false);
  if (LongEnoughToShow()) {
    window->Show();
  } else {
    window->Hide();
  }
}

void InputController::OnListChanged() {
  CandidateWindow* window = host_.candidateWindow();
  const int row = window != nullptr ? window->SelectedRow() : -1;
  if (row < 0) return;
  speaker_.OnHighlight(row, tabs_.CommitText(static_cast<size_t>(row)));
}

void InputController::OnListHidden() { speaker_.OnListGone(); }

void InputController::OnTabClicked(int index) {
  CandidateWindow* window = host_.candidateWindow();
  if (window == nullptr || index == activeTab_) return;
  window->SelectTab(index);
  activeTab_ = index;
  ShowTab(index);
  Relookup(*window, true);
  host_.RefreshLangBarItems();
}

void InputController::OnItemClicked(int row) {
  CandidateWindow* window = host_.candidateWindow();
  if (window == nullptr || row < 0 || static_cast<size_t>(row) >= window->RowCount()) return;
  host_.SendKeyDown(row < 9 ? vk::k1 + static_cast<uint32_t>(row) : vk::k0);
}

void InputController::OnListScrolled(bool forward) {
  CandidateWindow* window = host_.candidateWindow();
  if (window != nullptr && TurnPage(forward)) window->ShowCandidates(tabs_, true, false);
}

void InputController::OnTabScrolled() {
  CandidateWindow* window = host_.candidateWindow();
  if (window == nullptr) return;
  ShowTab(window->SelectedTab());
  Relookup(*window, true);
  host_.RefreshLangBarItems();
}

void InputController::OnMouseEvent(uint32_t message, AppearanceElement element, int index) {
  CandidateWindow* window = host_.candidateWindow();
  if (window == nullptr || message != kButtonDownMessage || element != AppearanceElement::kCandidateList) return;
  if (window->AdditionBarVisible()) {
    window->SetAdditionText(index < 0 ? std::u16string() : tabs_.DescriptionText(static_cast<size_t>(index)));
  }
  window->Repaint();
}

std::u16string ErrorText(Result errorCode) {
  if (errorCode == Result::kSuccess) return {};
  const char* format = errorCode == Result::kSinkAdviseFailed
                           ? "Internal error, please reactivate program. Error Code=%d"
                           : "Please check setting. Error Code=%d";
  char text[96];
  std::snprintf(text, sizeof text, format, static_cast<int>(ToInt(errorCode)));
  return FromUtf8(text);
}

Result InputController::OpenPublications() {
  tabs_.Clear();
  const Result r = published_.Open();
  if (r != Result::kSuccess) return r;
  // Without the inbox (a sandboxed host, or no loader made it) nothing is reported: not an error.
  (void)reporter_.Open();
  ReadOptions();
  tabs_.Rebuild();
  if (!programRuleRead_) {
    programRuleRead_ = true;
    programRule_ = RuleForProgram(published_.programs(), published_.programsSize(), host_.ProgramName());
    if (programRule_ == ProgramRule::kStartClosed) {
      host_.SetOpen(false);
      host_.RefreshLangBarItems();
    }
  }
  return Result::kSuccess;
}

void InputController::ClosePublications() {
  // The window reads the published settings in place: it goes before they do.
  host_.CloseCandidateWindow();
  nextWords_ = false;
  tabs_.Clear();
  published_.Close();
  reporter_.Close();
}

void InputController::TakeUpPublications() {
  tabs_.Clear();  // they read what Refresh may replace
  (void)published_.Refresh();
  ReadOptions();
  tabs_.Rebuild();
}

void InputController::ReadOptions() {
  toggleKey_ = ReadToggleKey(published_.options(), published_.optionsSize());
  reporter_.SetPaused(LearningPaused(published_.options(), published_.optionsSize()));
  speaker_.SetOptions(ReadSpeechOptions(published_.options(), published_.optionsSize()));
}

}  // namespace quillet
