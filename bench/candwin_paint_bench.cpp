// The candidate window's paint, measured under Wine (or Windows): the whole WM_PAINT of a 10-row window
// with the default settings (layout, drawing the frame off-screen, copying it to the window) against a
// baseline that only draws the same ten row texts with GDI+ onto a bitmap of the same size; and the
// time from ShowCandidates to the painted frame. Prints median and 99th percentile per frame.
//
//   candwin_paint_bench [DICTIONARY] [FRAMES]     (default: english.dict beside it, 500 frames)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
  TabSourceSet set;
  const SettingsRecord settings = MakeDefaultSettings();
  if (PublishPrivateSettingsBlock(settings.data(), settings.size(), &set.settingsBlock()) != Result::kSuccess ||
      PublishPrivateDictionaryFiles({bytes}, &set.dictionaryBlock()) != Result::kSuccess) {
    std::fprintf(stderr, "candwin_paint_bench: cannot publish the blocks\n");
    return 1;
  }
  set.Rebuild();
  SharedBlock& block = set.settingsBlock();
  CCandListWin win(&block, block.view(), block.viewSize(), nullptr);
  if (win.Create(nullptr, RECT{0, 0, 1, 1}) == nullptr || !win.BuildWidgets(0, 200, 400)) return 1;
  const std::u16string prefixes[2] = {u"the", u"con"};
  if (set.SetPrefix(prefixes[0]) < 10) return 1;
  win.ShowCandidates(&set, true, true);
  win.SetCompositionExtent(RECT{40, 40, 120, 60});
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
  const Figures whole = Summarise(paint);
  const Figures base = Summarise(plain);

  // A new page shown and painted; two pages of ten rows (of different widths) alternate.
  std::vector<double> shown;
  for (int f = 0; f < frames; ++f) {
    set.SetPrefix(prefixes[(f + 1) % 2]);
    const auto start = Clock::now();
    win.ShowCandidates(&set, true, false);
    // A new size takes a second paint.
    while (::GetUpdateRect(win.hwnd(), nullptr, FALSE)) ::UpdateWindow(win.hwnd());
    ::GdiFlush();
    shown.push_back(Micros(start));
    Drain();
  }
  const Figures show = Summarise(shown);

  std::printf("candidate window, 10 rows, default settings, %dx%d pixels, %d frames each (microseconds)\n", size.width,
              size.height, frames);
  std::printf("  whole paint (layout, off-screen frame, copy)   median %8.1f   p99 %8.1f\n", whole.median, whole.p99);
  std::printf("  baseline: the ten row texts onto a bitmap      median %8.1f   p99 %8.1f\n", base.median, base.p99);
  std::printf("  paint / baseline (medians)                     %.2fx\n", whole.median / base.median);
  std::printf("  ShowCandidates to painted frame                median %8.1f   p99 %8.1f\n", show.median, show.p99);
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
