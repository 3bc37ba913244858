// The candidate window's paint, measured under Wine (or Windows): the whole WM_PAINT of a 10-row window
// with the default settings (layout, drawing the frame off-screen, copying it to the window) against a
// baseline that only draws the same ten row texts with GDI+ onto a bitmap of the same size; the paint
// after the selection moved; the time from ShowCandidates with new words to the painted frame; and
// where the time of one frame goes. Prints median and 99th percentile per frame.
//
//   candwin_paint_bench [DICTIONARY] [FRAMES]     (default: english.dict beside it, 500 frames)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "common/settings_record.h"
#include "lookup/private_block.h"
#include "lookup/tab_source_set.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/win32/wide.h"
#include "quillsvc/candwin/cand_list_win.h"
#include "quillsvc/candwin/gdiplus_api.h"
#include "quillsvc/candwin/gdiplus_font.h"
#include "quillsvc/candwin/gdiplus_surface.h"

namespace quillet {
namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
  double median;
  double p99;
};

Figures Summarise(std::vector<double> us) {
  std::sort(us.begin(), us.end());
  return {us[us.size() / 2], us[std::min(us.size() - 1, us.size() * 99 / 100)]};
}

double Micros(Clock::time_point from) { return std::chrono::duration<double, std::micro>(Clock::now() - from).count(); }

// User and kernel time of this process so far (in ticks of the system's clock, so only long runs tell).
double ProcessCpuMicros() {
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto micros = [](const FILETIME& t) {
    return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10;
  };
  return micros(kernel) + micros(user);
}

void Drain() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

bool ReadAll(const std::u16string& path, std::vector<uint8_t>* bytes) {
  platform::File file;
  platform::OsError os = 0;
  uint64_t size = 0;
  if (!file.OpenRead(path, &os) || !file.Size(&size, &os)) return false;
  bytes->resize(static_cast<size_t>(size));
  size_t done = 0;
  return file.Read(bytes->data(), bytes->size(), &done, &os) && done == bytes->size();
}

// Where a frame's time goes: a surface that passes every operation on to another and adds up, frame by
// frame, the time each kind of operation takes (the off-screen frame's operations too). Medians per
// kind, so that the machine's other work shows as little as it can.
class Tally {
 public:
  void Add(const char* what, double us) {
    Entry& e = entries_[what];
    if (e.us.size() < frames_) e.us.resize(frames_, 0.0);
    e.us.back() += us;
    ++e.calls;
  }
  // Starts the next frame.
  void NextFrame() { ++frames_; }
  void Print(const std::vector<double>& whole) const {
    std::printf("    %-26s %6s %10s\n", "", "calls", "median us");
    double sum = 0;
    for (const auto& [what, e] : entries_) {
      std::vector<double> us = e.us;
      us.resize(frames_, 0.0);
      const double median = Summarise(us).median;
      std::printf("    %-26s %6.1f %10.1f\n", what.c_str(), static_cast<double>(e.calls) / frames_, median);
      sum += median;
    }
    std::printf("    %-26s %6s %10.1f\n", "everything else", "", Summarise(whole).median - sum);
  }

 private:
  struct Entry {
    std::vector<double> us;
    long calls = 0;
  };
  std::map<std::string, Entry> entries_;
  size_t frames_ = 0;
};

class TimingSurface : public Surface {
 public:
  TimingSurface(Surface& inner, Tally& tally) : inner_(inner), tally_(tally) {}

  void FillRect(const RectF& r, Argb color) override {
    Time("fill rect", [&] { inner_.FillRect(r, color); });
  }
  void FrameRect(const RectF& r, Argb color) override {
    Time("frame rect", [&] { inner_.FrameRect(r, color); });
  }
  void DrawLine(Argb color, PointF from, PointF to) override {
    Time("line", [&] { inner_.DrawLine(color, from, to); });
  }
  void FillPolygon(Argb color, const PointF* points, size_t count) override {
    Time("polygon", [&] { inner_.FillPolygon(color, points, count); });
  }
  void FillPath(Argb color, const Path& path) override {
    Time("path", [&] { inner_.FillPath(color, path); });
  }
  bool MeasureText(std::u16string_view text, const Font& font, PointF origin, RectF* box) override {
    bool ok = false;
    Time("measure text", [&] { ok = inner_.MeasureText(text, font, origin, box); });
    return ok;
  }
  void DrawTextAt(std::u16string_view text, const Font& font, Argb color, PointF at) override {
    Time("text at a point", [&] { inner_.DrawTextAt(text, font, color, at); });
  }
  void DrawTextInBox(std::u16string_view text, const Font& font, Argb color, const RectF& box, bool trim) override {
    Time("text in a box", [&] { inner_.DrawTextInBox(text, font, color, box, trim); });
  }
  bool PushClip(const RectF& r) override {
    bool ok = false;
    Time("clip", [&] { ok = inner_.PushClip(r); });
    return ok;
  }
  void PopClip() override {
    Time("clip", [&] { inner_.PopClip(); });
  }
  void FillGradient(const RectI& r, Argb from, Argb to, float angleDegrees) override {
    Time("gradient", [&] { inner_.FillGradient(r, from, to, angleDegrees); });
  }
  void FrameRectInset(const RectI& r, Argb color) override {
    Time("window border", [&] { inner_.FrameRectInset(r, color); });
  }
  std::unique_ptr<OffscreenFrame> CreateOffscreen(SizeI size) override;

 private:
  template <class F>
  void Time(const char* what, F f) {
    const auto start = Clock::now();
    f();
    tally_.Add(what, Micros(start));
    Record(inner_.TakeStatus());
  }

  Surface& inner_;
  Tally& tally_;
};

class TimingFrame : public OffscreenFrame {
 public:
  TimingFrame(std::unique_ptr<OffscreenFrame> inner, Tally& tally)
      : inner_(std::move(inner)), surface_(inner_->surface(), tally), tally_(tally) {}
  Surface& surface() override { return surface_; }
  void Present() override {
    const auto start = Clock::now();
    inner_->Present();
    tally_.Add("copy to the window", Micros(start));
  }

 private:
  std::unique_ptr<OffscreenFrame> inner_;
  TimingSurface surface_;
  Tally& tally_;
};

std::unique_ptr<OffscreenFrame> TimingSurface::CreateOffscreen(SizeI size) {
  std::unique_ptr<OffscreenFrame> frame;
  Time("off-screen bitmap", [&] { frame = inner_.CreateOffscreen(size); });
  if (frame == nullptr) return nullptr;
  return std::make_unique<TimingFrame>(std::move(frame), tally_);
}

// The same ten texts drawn from points with the list's font, onto a bitmap of the window's size.
class Baseline {
 public:
  Baseline(const CTextList& list, SizeI size)
      : list_(list), font_(CreateGdiplusFont(kDefaultFontName, kDefaultFontSize, FontStyle::kRegular)) {
    using namespace gdip;
    Gdiplus::GpBitmap* bitmap = nullptr;
    GdipCreateBitmapFromScan0(size.width, size.height, 0, PixelFormat32bppPARGB, nullptr, &bitmap);
    image_.reset(bitmap);
    Gdiplus::GpGraphics* g = nullptr;
    GdipGetImageGraphicsContext(bitmap, &g);
    graphics_.reset(g);
    Gdiplus::GpSolidFill* brush = nullptr;
    GdipCreateSolidFill(0xFFFFFFFF, &brush);
    brush_.reset(brush);
  }
  bool ready() const { return font_ != nullptr && graphics_ != nullptr && brush_ != nullptr; }
  double Frame() {
    const auto start = Clock::now();
    for (size_t i = 0; i < list_.ItemCount(); ++i) {
      const Gdiplus::RectF at(list_.bounds.x + list_.numberWidth, list_.bounds.y + 2 + list_.itemHeight * i, 0, 0);
      const std::u16string& text = list_.Item(i);
      gdip::GdipDrawString(graphics_.get(), gdip::Wide(text), static_cast<INT>(text.size()), font_->get(), &at, nullptr,
                           brush_.get());
    }
    gdip::GdipFlush(graphics_.get(), Gdiplus::FlushIntentionSync);
    return Micros(start);
  }

 private:
  const CTextList& list_;
  std::unique_ptr<GdiplusFont> font_;
  gdip::ImagePtr image_;
  gdip::GraphicsPtr graphics_;
  gdip::BrushPtr brush_;
};

int Run(int argc, wchar_t** argv) {
  const std::u16string dictionary =
      argc > 1 ? platform::win32::FromWide(argv[1]) : platform::JoinPath(platform::ModuleFolder(), u"english.dict");
  const int frames = argc > 2 ? std::max(10, _wtoi(argv[2])) : 500;
  const gdip::Session session;
  std::vector<uint8_t> bytes;
  if (!session.started() || !ReadAll(dictionary, &bytes)) {
    std::fprintf(stderr, "candwin_paint_bench: cannot start GDI+ or read the dictionary\n");
    return 1;
  }
  PublishedData published;
  TabSourceSet set(published);
  const SettingsRecord settings = MakeDefaultSettings();
  if (PublishPrivateSettings(settings.data(), settings.size(), &published) != Result::kSuccess ||
      PublishPrivateDictionaryFiles({bytes}, &published) != Result::kSuccess) {
    std::fprintf(stderr, "candwin_paint_bench: cannot publish the blocks\n");
    return 1;
  }
  set.Rebuild();
  CCandListWin win(set.settingsRecord(), set.settingsSize(), nullptr);
  if (win.Create(nullptr, RECT{0, 0, 1, 1}) == nullptr || !win.BuildWidgets(0, 200, 400)) return 1;
  if (set.SetPrefix(u"the") < 10) return 1;
  win.ShowCandidates(set, true, true);
  win.PlaceBy(RectI{40, 40, 120, 60});
  ::ShowWindow(win.hwnd(), SW_SHOWNA);
  for (int i = 0; i < 20; ++i) {
    Drain();
    ::UpdateWindow(win.hwnd());
  }
  RECT client{};
  ::GetClientRect(win.hwnd(), &client);
  const SizeI size{client.right, client.bottom};

  // The whole paint, as every keystroke causes it, and the baseline, frame by frame in turns so that
  // both see the same load of the machine.
  Baseline baseline(*win.core().manager()->candidateList, size);
  if (!baseline.ready()) return 1;
  std::vector<double> paint, plain;
  for (int f = 0; f < frames; ++f) {
    ::InvalidateRect(win.hwnd(), nullptr, FALSE);
    const auto start = Clock::now();
    ::UpdateWindow(win.hwnd());
    ::GdiFlush();
    paint.push_back(Micros(start));
    Drain();
    plain.push_back(baseline.Frame());
  }
  // The same again, each in a run of its own, as processor time of this process per frame: what the
  // machine's other work does not inflate (the ratio of wall-clock medians varies with the load).
  const double cpuStart = ProcessCpuMicros();
  for (int f = 0; f < frames; ++f) {
    ::InvalidateRect(win.hwnd(), nullptr, FALSE);
    ::UpdateWindow(win.hwnd());
    ::GdiFlush();
  }
  const double cpuPaint = (ProcessCpuMicros() - cpuStart) / frames;
  const double cpuMiddle = ProcessCpuMicros();
  for (int f = 0; f < frames; ++f) baseline.Frame();
  const double cpuPlain = (ProcessCpuMicros() - cpuMiddle) / frames;
  const Figures whole = Summarise(paint);
  const Figures base = Summarise(plain);

  // The selection moved by one row and painted, as the arrow keys do it.
  std::vector<double> moved;
  for (int f = 0; f < frames; ++f) {
    const auto start = Clock::now();
    if (win.MoveSelection(1) < 0) win.MoveSelection(-static_cast<int32_t>(win.RowCount()) + 1);
    win.Repaint();
    ::UpdateWindow(win.hwnd());
    ::GdiFlush();
    moved.push_back(Micros(start));
    Drain();
  }
  const Figures move = Summarise(moved);

  // A new page shown and painted, as typing does it: every frame other words (the pages of the
  // two-letter prefixes with ten candidates or more, in turn), mostly of another width.
  std::vector<std::u16string> pages;
  for (char16_t a = u'a'; a <= u'z'; ++a) {
    for (char16_t b = u'a'; b <= u'z'; ++b) {
      const std::u16string prefix{a, b};
      if (set.SetPrefix(prefix) >= 10) pages.push_back(prefix);
    }
  }
  std::vector<double> shown;
  for (int f = 0; f < frames; ++f) {
    set.SetPrefix(pages[static_cast<size_t>(f) % pages.size()]);
    const auto start = Clock::now();
    win.ShowCandidates(set, true, false);
    // A new size takes a second paint.
    while (::GetUpdateRect(win.hwnd(), nullptr, FALSE)) ::UpdateWindow(win.hwnd());
    ::GdiFlush();
    shown.push_back(Micros(start));
    Drain();
  }
  const Figures show = Summarise(shown);

  // The first frame again, on a surface of the window's device context, operation by operation.
  set.SetPrefix(u"the");
  win.ShowCandidates(set, true, false);
  while (::GetUpdateRect(win.hwnd(), nullptr, FALSE)) ::UpdateWindow(win.hwnd());
  Tally tally;
  std::vector<double> profiled;
  {
    const HDC dc = ::GetDC(win.hwnd());

    GdiplusFrameCache kept;
    std::unique_ptr<GdiplusSurface> surface = GdiplusSurface::FromHdc(dc, &kept);
    if (surface == nullptr) return 1;
    for (int f = 0; f < frames; ++f) {
      tally.NextFrame();
      TimingSurface timing(*surface, tally);
      const auto start = Clock::now();
      win.core().Paint(timing, size);
      gdip::GdipFlush(surface->graphics(), Gdiplus::FlushIntentionSync);
      profiled.push_back(Micros(start));
    }
    surface.reset();
    ::ReleaseDC(win.hwnd(), dc);
  }

  std::printf("candidate window, 10 rows, default settings, %dx%d pixels, %d frames each (microseconds)\n", size.width,
              size.height, frames);
  std::printf("  whole paint (layout, off-screen frame, copy)   median %8.1f   p99 %8.1f\n", whole.median, whole.p99);
  std::printf("  baseline: the ten row texts onto a bitmap      median %8.1f   p99 %8.1f\n", base.median, base.p99);
  std::printf("  paint / baseline (medians)                     %.2fx\n", whole.median / base.median);
  std::printf("  processor time per frame: paint %.1f, baseline %.1f   %.2fx\n", cpuPaint, cpuPlain,
              cpuPaint / cpuPlain);
  std::printf("  selection moved one row, painted               median %8.1f   p99 %8.1f\n", move.median, move.p99);
  std::printf("  ShowCandidates (new words) to painted frame    median %8.1f   p99 %8.1f   (%zu pages)\n", show.median,
              show.p99, pages.size());
  std::printf("  one frame by operation (surface made once)   median %8.1f\n", Summarise(profiled).median);
  tally.Print(profiled);
  win.DestroyWindow();
  return 0;
}

}  // namespace
}  // namespace quillet

int wmain(int argc, wchar_t** argv) {
  try {
    return quillet::Run(argc, argv);
  } catch (...) {
    std::fprintf(stderr, "candwin_paint_bench: failed\n");
    return 1;
  }
}
