// Keys (ITfKeyEventSink): the controller decides what is eaten; an eaten key runs in a synchronous
// read-write edit session. Also the key states the controller reads, whether the foreground is full
// screen, and the synthetic key of a click.
#include "quillsvc/com/com_boundary.h"
#include "quillsvc/service/edit_sessions.h"
#include "quillsvc/service/full_screen.h"
#include "quillsvc/service/text_service_impl.h"

namespace quillet {

bool CQuillsvc::AdviseKeyEventSink() {
  ComPtr<ITfKeystrokeMgr> keystrokes = QueryAs<ITfKeystrokeMgr>(threadMgr_.Get());
  keyEventSinkAdvised_ =
      keystrokes && keystrokes->AdviseKeyEventSink(clientId_, static_cast<ITfKeyEventSink*>(this), TRUE) == S_OK;
  return keyEventSinkAdvised_;
}

void CQuillsvc::UnadviseKeyEventSink() {
  if (!std::exchange(keyEventSinkAdvised_, false)) return;
  if (ComPtr<ITfKeystrokeMgr> keystrokes = QueryAs<ITfKeystrokeMgr>(threadMgr_.Get())) {
    keystrokes->UnadviseKeyEventSink(clientId_);
  }
}

HRESULT CQuillsvc::OnSetFocus(BOOL) { return S_OK; }

HRESULT CQuillsvc::KeyEvent(ITfContext* context, WPARAM key, bool down, bool test, BOOL* eaten) {
  if (eaten == nullptr) return E_INVALIDARG;
  *eaten = FALSE;
  return ComBoundary([&] {
    const auto virtualKey = static_cast<uint32_t>(key);
    const bool eat = down ? controller_.TestKeyDown(virtualKey) : controller_.TestKeyUp(virtualKey);
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
  if (eaten == nullptr) return E_INVALIDARG;
  *eaten = FALSE;
  return S_OK;
}

bool CQuillsvc::IsKeyHeld(uint32_t virtualKey) { return (GetKeyState(static_cast<int>(virtualKey)) & 0x80) != 0; }

bool CQuillsvc::IsKeyToggled(uint32_t virtualKey) { return (GetKeyState(static_cast<int>(virtualKey)) & 0x01) != 0; }

bool CQuillsvc::ForegroundIsFullScreen() { return FullScreenForeground(); }

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

}  // namespace quillet
