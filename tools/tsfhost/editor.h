// tsfhost's window: a small plain-text editor over the context's document. Keys reach it only when
// the text service did not eat them (the host's message loop asks the keystroke manager first); it
// then edits like an edit control and tells the context what changed.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "platform/win32/window_binding.h"
#include "tools/tsfhost/framework.h"

namespace quillet::tsfhost {

class Editor final : public View {
 public:
  // Creates and shows the window; null when it cannot be made.
  static std::unique_ptr<Editor> Create(const std::wstring& title);
  ~Editor();
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  // The framework objects the window reports to; both outlive the window's use of them.
  void Attach(Context* context, ThreadMgr* threads);

  HWND Window() const override { return hwnd_; }
  bool TextRect(int32_t start, int32_t end, RECT* rect, bool* clipped) const override;
  void DocumentChanged() override;

 private:
  Editor();
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  // What reaches the editor of a character, a key and a press, as an edit control takes them.
  void OnChar(Document& doc, wchar_t c);
  void OnKeyDown(Document& doc, WPARAM key);
  void OnPress(Document& doc, POINT point);
  void Paint();
  void PaintCandidates(HDC dc, int32_t at);
  // Client coordinates of the top left of the character at `pos`.
  POINT PointOf(HDC dc, int32_t pos) const;
  int32_t PositionAt(POINT point) const;
  void PlaceCaret();
  void Edited(bool text);

  HWND hwnd_ = nullptr;
  platform::win32::WindowBinding binding_;  // the window's object, whatever its messages say
  HFONT font_ = nullptr;
  int lineHeight_ = 18;
  Context* context_ = nullptr;
  ThreadMgr* threads_ = nullptr;
  bool hasCaret_ = false;
};

}  // namespace quillet::tsfhost
