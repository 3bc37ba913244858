#include "tools/tsfhost/editor.h"

#include <algorithm>
#include <optional>

namespace quillet::tsfhost {
namespace {

constexpr int kMargin = 8;
constexpr wchar_t kClassName[] = L"TsfhostEditor";

// A device context of the window with the editor's font selected, given back on every path.
class WindowDc {
 public:
  WindowDc(HWND hwnd, HFONT font) : hwnd_(hwnd), dc_(GetDC(hwnd)), old_(SelectObject(dc_, font)) {}
  ~WindowDc() {
    SelectObject(dc_, old_);
    ReleaseDC(hwnd_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
  HGDIOBJ old_;
};

const wchar_t* Wide(const std::u16string& text, int32_t pos) {
  return reinterpret_cast<const wchar_t*>(text.data()) + pos;
}

int TextWidth(HDC dc, const std::u16string& text, int32_t from, int32_t to) {
  if (to <= from) return 0;
  return LOWORD(GetTabbedTextExtentW(dc, Wide(text, from), to - from, 0, nullptr));
}

// The keys that move the caret as in an edit control; Page Up and Page Down go to the ends.
std::optional<CaretMove> CaretMoveOf(WPARAM key) {
  switch (key) {
    case VK_LEFT:
      return CaretMove::kLeft;
    case VK_RIGHT:
      return CaretMove::kRight;
    case VK_UP:
      return CaretMove::kUp;
    case VK_DOWN:
      return CaretMove::kDown;
    case VK_HOME:
      return CaretMove::kHome;
    case VK_END:
      return CaretMove::kEnd;
    case VK_PRIOR:
      return CaretMove::kDocStart;
    case VK_NEXT:
      return CaretMove::kDocEnd;
    default:
      return std::nullopt;
  }
}

}  // namespace

Editor::Editor() : binding_(this, &kClassName) {}

std::unique_ptr<Editor> Editor::Create(const std::wstring& title) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = &Editor::Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
  wc.hbrBackground = nullptr;
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);  // already registered is fine

  std::unique_ptr<Editor> editor(new Editor());
  editor->font_ = CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, FIXED_PITCH | FF_MODERN, L"Consolas");
  {
    const platform::win32::WindowBinding::Creating creating(editor->binding_);
    editor->hwnd_ = CreateWindowExW(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 80, 80, 640, 360, nullptr,
                                    nullptr, instance, nullptr);
  }
  if (!editor->hwnd_) return nullptr;
  {
    WindowDc dc(editor->hwnd_, editor->font_);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc.Get(), &metrics);
    editor->lineHeight_ = std::max<int>(metrics.tmHeight + metrics.tmExternalLeading, 8);
  }
  ShowWindow(editor->hwnd_, SW_SHOW);
  UpdateWindow(editor->hwnd_);
  SetForegroundWindow(editor->hwnd_);
  SetFocus(editor->hwnd_);
  return editor;
}

Editor::~Editor() {
  binding_.Release();
  if (hwnd_) DestroyWindow(hwnd_);
  if (font_) DeleteObject(font_);
}

void Editor::Attach(Context* context, ThreadMgr* threads) {
  context_ = context;
  threads_ = threads;
  DocumentChanged();
}

LRESULT CALLBACK Editor::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* editor = static_cast<Editor*>(platform::win32::WindowBinding::Find(hwnd, &kClassName));
  if (!editor) return DefWindowProcW(hwnd, message, wParam, lParam);
  // The window's messages during its creation may already need it.
  editor->hwnd_ = hwnd;
  try {
    return editor->Handle(message, wParam, lParam);
  } catch (...) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void Editor::Edited(bool text) {
  DocumentChanged();
  if (context_) context_->AppChanged(text, true);
}

LRESULT Editor::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  Document* doc = context_ ? &context_->Doc() : nullptr;
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETFOCUS:
      hasCaret_ = CreateCaret(hwnd_, nullptr, 2, lineHeight_);
      PlaceCaret();
      if (hasCaret_) ShowCaret(hwnd_);
      return 0;
    case WM_KILLFOCUS:
      if (hasCaret_) DestroyCaret();
      hasCaret_ = false;
      return 0;
    case WM_CHAR:
      if (doc) OnChar(*doc, static_cast<wchar_t>(wParam));
      return 0;
    case WM_KEYDOWN:
      if (doc) OnKeyDown(*doc, wParam);
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd_);
      if (doc) OnPress(*doc, POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      return 0;
    case WM_ACTIVATEAPP:
      if (threads_) threads_->SetThreadFocus(wParam != FALSE);
      return 0;
    case WM_MOVE:
    case WM_SIZE:
      if (context_) context_->LayoutChanged(TF_LC_CHANGE);
      return DefWindowProcW(hwnd_, message, wParam, lParam);
    case kRunQueuedSessions:
      if (context_) context_->RunQueuedSessions();
      return 0;
    case WM_DESTROY:
      hwnd_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wParam, lParam);
  }
}

void Editor::OnChar(Document& doc, wchar_t c) {
  bool changed = false;
  if (c == L'\r') {
    changed = doc.TypeChar(u'\n');
  } else if (c == L'\b') {
    changed = doc.Backspace();
  } else if (c == L'\t' || (c >= 0x20 && c != 0x7F)) {
    changed = doc.TypeChar(static_cast<char16_t>(c));
  }
  if (changed) Edited(true);
}

void Editor::OnKeyDown(Document& doc, WPARAM key) {
  if (key == VK_DELETE) {
    if (doc.DeleteForward()) Edited(true);
    return;
  }
  const std::optional<CaretMove> move = CaretMoveOf(key);
  if (move && doc.MoveCaret(*move)) Edited(false);
}

void Editor::OnPress(Document& doc, POINT point) {
  const int32_t pos = PositionAt(point);
  doc.SetSelection(pos, pos);
  Edited(false);
}

POINT Editor::PointOf(HDC dc, int32_t pos) const {
  const TextStore& store = context_->Doc().Store();
  const int32_t line = store.LineOf(pos);
  const int32_t start = store.LineStart(line);
  return POINT{kMargin + TextWidth(dc, store.Text(), start, store.Clamp(pos)), kMargin + line * lineHeight_};
}

int32_t Editor::PositionAt(POINT point) const {
  const TextStore& store = context_->Doc().Store();
  const int32_t line = std::clamp<int32_t>((point.y - kMargin) / lineHeight_, 0, store.LineCount() - 1);
  const int32_t start = store.LineStart(line);
  const int32_t end = store.LineEnd(line);
  WindowDc dc(hwnd_, font_);
  for (int32_t pos = start; pos < end; ++pos) {
    const int left = TextWidth(dc.Get(), store.Text(), start, pos);
    const int right = TextWidth(dc.Get(), store.Text(), start, pos + 1);
    if (point.x - kMargin < (left + right) / 2) return pos;
  }
  return end;
}

bool Editor::TextRect(int32_t start, int32_t end, RECT* rect, bool* clipped) const {
  if (!hwnd_ || !context_) return false;
  const TextStore& store = context_->Doc().Store();
  start = store.Clamp(start);
  end = std::max(start, store.Clamp(end));
  WindowDc dc(hwnd_, font_);
  const POINT first = PointOf(dc.Get(), start);
  const POINT last = PointOf(dc.Get(), end);
  RECT r = {first.x, first.y, last.x, last.y + lineHeight_};
  if (last.y != first.y) {
    // Over several lines: the box around all of them.
    r.left = kMargin;
    for (int32_t line = store.LineOf(start); line <= store.LineOf(end); ++line) {
      r.right = std::max<LONG>(r.right,
                               kMargin + TextWidth(dc.Get(), store.Text(), store.LineStart(line), store.LineEnd(line)));
    }
  }
  if (r.right == r.left) r.right = r.left + 1;
  RECT client = {};
  GetClientRect(hwnd_, &client);
  *clipped = r.left < client.left || r.top < client.top || r.right > client.right || r.bottom > client.bottom;
  MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&r), 2);
  *rect = r;
  return true;
}

void Editor::PlaceCaret() {
  if (!hasCaret_ || !context_ || !hwnd_) return;
  WindowDc dc(hwnd_, font_);
  const POINT at = PointOf(dc.Get(), context_->Doc().Caret());
  SetCaretPos(at.x, at.y);
}

void Editor::DocumentChanged() {
  if (!hwnd_) return;
  InvalidateRect(hwnd_, nullptr, FALSE);
  PlaceCaret();
}

void Editor::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  RECT client = {};
  GetClientRect(hwnd_, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  if (context_) {
    const HGDIOBJ oldFont = SelectObject(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    const Document& doc = context_->Doc();
    const TextStore& store = doc.Store();
    const std::u16string& text = store.Text();
    const auto composition = context_->CompositionSpan();
    for (int32_t line = 0; line < store.LineCount(); ++line) {
      const int32_t start = store.LineStart(line);
      const int32_t end = store.LineEnd(line);
      const int y = kMargin + line * lineHeight_;
      if (y > client.bottom) break;
      TabbedTextOutW(dc, kMargin, y, Wide(text, start), end - start, 0, nullptr, kMargin);
      // The composition is underlined, the selection inverted, as applications show them.
      auto span = [&](int32_t from, int32_t to, auto&& draw) {
        from = std::max(from, start);
        to = std::min(to, end);
        if (from >= to) return;
        draw(kMargin + TextWidth(dc, text, start, from), kMargin + TextWidth(dc, text, start, to), y);
      };
      if (composition) {
        span(composition->first, composition->second, [&](int left, int right, int top) {
          RECT underline = {left, top + lineHeight_ - 2, right, top + lineHeight_ - 1};
          FillRect(dc, &underline, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        });
      }
      span(doc.SelStart(), doc.SelEnd(), [&](int left, int right, int top) {
        RECT selected = {left, top, right, top + lineHeight_};
        InvertRect(dc, &selected);
      });
    }
    if (threads_ != nullptr && threads_->DrawsCandidates() && composition) PaintCandidates(dc, composition->first);
    SelectObject(dc, oldFont);
  }
  EndPaint(hwnd_, &ps);
}

void Editor::PaintCandidates(HDC dc, int32_t at) {
  // As an application that draws the text service's candidates itself: the rows of its candidate
  // list element in a box under the composition, the selected one inverted.
  ComPtr<ITfCandidateListUIElement> list = threads_->CandidateList();
  UINT count = 0;
  if (!list || FAILED(list->GetCount(&count)) || count == 0) return;
  UINT selection = 0;
  list->GetSelection(&selection);
  const POINT origin = PointOf(dc, at);
  RECT box = {origin.x, origin.y + lineHeight_ + 2, origin.x + 160,
              origin.y + lineHeight_ + 6 + static_cast<int>(count) * lineHeight_};
  FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
  FrameRect(dc, &box, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  for (UINT i = 0; i < count; ++i) {
    BSTR text = nullptr;
    if (FAILED(list->GetString(i, &text))) continue;
    std::wstring row = std::to_wstring((i + 1) % 10) + L" " + std::wstring(text ? text : L"", SysStringLen(text));
    SysFreeString(text);
    const int top = box.top + 2 + static_cast<int>(i) * lineHeight_;
    TextOutW(dc, box.left + 4, top, row.c_str(), static_cast<int>(row.size()));
    if (i == selection) {
      RECT selected = {box.left + 1, top, box.right - 1, top + lineHeight_};
      InvertRect(dc, &selected);
    }
  }
}

}  // namespace quillet::tsfhost
