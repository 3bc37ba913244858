// candview: shows the real candidate window for a prefix, as the text service makes it, and reports
// what it shows.
//
//   candview [--dict FILE | --live] [--tab N] [--page N] [--select R] [--extent L,T,R,B] [--max W,H]
//            [--template K] [--tabs N] [--title TEXT] [--addition TEXT] [--contrast dark|light]
//            [--match exact|forgiving] [--png FILE] PREFIX
//
// --dict publishes the dictionary file (default: english.dict beside the program) with the default
// settings in blocks of this process; --live goes through the running loader and the user's settings.
// With --dict the settings can be varied to see every part of the window: --template K (1 to 5)
// colours every tab with appearance template K, --tabs N makes N tabs, --title gives them a title.
// --addition sets the addition bar's text (shown under candidates). --match forgiving makes every tab
// forgive spelling mistakes, so that corrected spellings show marked among the rows. --contrast draws the window in a
// dark or light high-contrast scheme, made the system's colours while candview runs, as the window
// draws while high contrast is on (Wine never turns it on). The window is placed
// by the composition rectangle --extent (default near the screen's top left), shown without
// activation and painted; --png saves what the screen shows of it. Prints, in UTF-8:
//   window X Y WIDTH HEIGHT          screen pixels
//   ELEMENT X Y WIDTH HEIGHT         client pixels, one per widget shown: tabs title list addition hscroll vscroll
//   row N TEXT                       each row shown
//   marked N                         each row shown as a corrected spelling
//   selected N
#include <windows.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "common/appearance_templates.h"
#include "common/options_record.h"
#include "common/result.h"
#include "common/settings_record.h"
#include "common/utf16.h"
#include "ipc/loader_link.h"
#include "lookup/private_block.h"
#include "lookup/tab_source_set.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/win32/wide.h"
#include "quillsvc/candwin/cand_list_win.h"
#include "quillsvc/candwin/gdiplus_api.h"
#include "tools/picture/screen_capture.h"

namespace quillet {
namespace {

constexpr char kUsage[] =
    "usage: candview [--dict FILE | --live] [--tab N] [--page N] [--select R] [--extent L,T,R,B]\n"
    "                [--max W,H] [--template K] [--tabs N] [--title TEXT] [--addition TEXT]\n"
    "                [--contrast dark|light] [--match exact|forgiving] [--png FILE] PREFIX\n";

// Windows' dark and light high-contrast schemes, in the order of kSchemeElements.
constexpr int kSchemeElements[] = {COLOR_WINDOW,  COLOR_WINDOWTEXT, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT,
                                   COLOR_BTNFACE, COLOR_BTNTEXT,    COLOR_GRAYTEXT};
constexpr COLORREF kDarkScheme[] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(26, 235, 255), RGB(0, 0, 0),
                                    RGB(0, 0, 0), RGB(255, 255, 255), RGB(63, 242, 63)};
constexpr COLORREF kLightScheme[] = {RGB(255, 255, 255), RGB(0, 0, 0), RGB(55, 0, 110), RGB(255, 255, 255),
                                     RGB(255, 255, 255), RGB(0, 0, 0), RGB(96, 0, 0)};

// A scheme as the system's colours, the previous ones back at the end.
class SchemeScope {
 public:
  explicit SchemeScope(const COLORREF* scheme) {
    if (scheme == nullptr) return;
    for (size_t i = 0; i < std::size(kSchemeElements); ++i) saved_[i] = ::GetSysColor(kSchemeElements[i]);
    set_ = ::SetSysColors(static_cast<int>(std::size(kSchemeElements)), kSchemeElements, scheme) != FALSE;
  }
  ~SchemeScope() {
    if (set_) ::SetSysColors(static_cast<int>(std::size(kSchemeElements)), kSchemeElements, saved_);
  }
  SchemeScope(const SchemeScope&) = delete;
  SchemeScope& operator=(const SchemeScope&) = delete;
  bool set() const { return set_; }

 private:
  COLORREF saved_[std::size(kSchemeElements)] = {};
  bool set_ = false;
};

struct Options {
  std::u16string dictionary;
  bool live = false;
  uint32_t tab = 0;
  uint32_t page = 0;
  int32_t select = -1;
  RECT extent{40, 40, 120, 60};
  int32_t maxWidth = 200;
  int32_t maxHeight = 400;
  uint32_t templateNumber = 0;  // 0: the settings' own colours
  uint32_t tabs = 1;
  std::u16string title;
  std::u16string addition;
  bool hasAddition = false;
  const COLORREF* contrast = nullptr;
  bool forgiving = false;
  std::u16string png;
  std::u16string prefix;
};

bool Number(std::u16string_view s, int64_t min, int64_t max, int64_t* out) {
  bool negative = !s.empty() && s[0] == u'-';
  if (negative) s.remove_prefix(1);
  if (s.empty() || s.size() > 9) return false;
  int64_t v = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') return false;
    v = v * 10 + (c - u'0');
  }
  if (negative) v = -v;
  if (v < min || v > max) return false;
  *out = v;
  return true;
}

// Comma-separated numbers, exactly `count` of them.
bool Numbers(std::u16string_view s, size_t count, std::vector<int64_t>* out) {
  out->clear();
  while (true) {
    const size_t comma = s.find(u',');
    int64_t v = 0;
    if (!Number(s.substr(0, comma), -100000, 100000, &v)) return false;
    out->push_back(v);
    if (comma == std::u16string_view::npos) break;
    s.remove_prefix(comma + 1);
  }
  return out->size() == count;
}

std::string Parse(const std::vector<std::u16string>& args, Options* o) {
  std::vector<std::u16string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::u16string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    const std::u16string value = hasValue ? args[i + 1] : u"";
    int64_t n = 0;
    std::vector<int64_t> list;
    if (a == u"--live") {
      o->live = true;
      continue;
    }
    if (a.size() < 2 || a[0] != u'-' || a[1] != u'-') {
      positional.push_back(a);
      continue;
    }
    if (!hasValue) return "option " + ToUtf8(a) + " needs a value";
    ++i;
    if (a == u"--dict") {
      o->dictionary = value;
    } else if (a == u"--png") {
      o->png = value;
    } else if (a == u"--title") {
      o->title = value;
    } else if (a == u"--addition") {
      o->addition = value;
      o->hasAddition = true;
    } else if (a == u"--contrast") {
      if (value != u"dark" && value != u"light") return "--contrast takes dark or light";
      o->contrast = value == u"dark" ? kDarkScheme : kLightScheme;
    } else if (a == u"--match") {
      if (value != u"exact" && value != u"forgiving") return "--match takes exact or forgiving";
      o->forgiving = value == u"forgiving";
    } else if (a == u"--tabs") {
      if (!Number(value, 1, static_cast<int64_t>(kMaxTabs), &n)) return "--tabs takes 1 to 9";
      o->tabs = static_cast<uint32_t>(n);
    } else if (a == u"--tab") {
      if (!Number(value, 0, 8, &n)) return "--tab takes a tab position from 0 to 8";
      o->tab = static_cast<uint32_t>(n);
    } else if (a == u"--page") {
      if (!Number(value, 0, 100000, &n)) return "--page takes a page number from 0";
      o->page = static_cast<uint32_t>(n);
    } else if (a == u"--select") {
      if (!Number(value, 0, 9, &n)) return "--select takes a row from 0 to 9";
      o->select = static_cast<int32_t>(n);
    } else if (a == u"--template") {
      if (!Number(value, 1, static_cast<int64_t>(kTemplateCount), &n)) return "--template takes 1 to 5";
      o->templateNumber = static_cast<uint32_t>(n);
    } else if (a == u"--extent") {
      if (!Numbers(value, 4, &list) || list[2] < list[0] || list[3] < list[1]) {
        return "--extent takes LEFT,TOP,RIGHT,BOTTOM in screen pixels";
      }
      o->extent = RECT{static_cast<LONG>(list[0]), static_cast<LONG>(list[1]), static_cast<LONG>(list[2]),
                       static_cast<LONG>(list[3])};
    } else if (a == u"--max") {
      if (!Numbers(value, 2, &list) || list[0] < 0 || list[1] < 0) return "--max takes WIDTH,HEIGHT";
      o->maxWidth = static_cast<int32_t>(list[0]);
      o->maxHeight = static_cast<int32_t>(list[1]);
    } else {
      return "unknown option " + ToUtf8(a);
    }
  }
  if (positional.size() != 1) return "expected one PREFIX";
  if (o->live && !o->dictionary.empty()) return "--dict and --live exclude each other";
  if (o->live && (o->templateNumber != 0 || o->tabs != 1 || !o->title.empty() || o->forgiving)) {
    return "--template, --tabs, --title and --match need --dict (they change private settings)";
  }
  o->prefix = positional[0];
  return {};
}

int Fail(const std::string& what, Result r = Result::kGeneralFailure, uint32_t os = 0) {
  std::cerr << "candview: " << what;
  if (r != Result::kGeneralFailure) std::cerr << ": result " << ToInt(r) << " (" << ResultMessage(r) << ")";
  if (os != 0) std::cerr << ", system error " << os;
  std::cerr << "\n";
  return r == Result::kGeneralFailure ? 1 : ToInt(r);
}

Result ReadFile(const std::u16string& path, std::vector<uint8_t>* bytes, platform::OsError* os) {
  platform::File file;
  if (!file.OpenRead(path, os)) return Result::kFileOpenFailed;
  uint64_t size = 0;
  if (!file.Size(&size, os)) return Result::kFileSizeFailed;
  bytes->resize(static_cast<size_t>(size));
  size_t done = 0;
  if (!file.Read(bytes->data(), bytes->size(), &done, os) || done != bytes->size()) return Result::kFileReadFailed;
  return Result::kSuccess;
}

// Publications of this process: the default settings (with a template's colours), the one dictionary
// and, for --match forgiving, options that make every tab forgive and the sound index.
int OpenPrivate(const Options& o, PublishedData& published, TabSourceSet& set) {
  const std::u16string path =
      o.dictionary.empty() ? platform::JoinPath(platform::ModuleFolder(), u"english.dict") : o.dictionary;
  std::vector<uint8_t> bytes;
  platform::OsError os = 0;
  const Result read = ReadFile(path, &bytes, &os);
  if (read != Result::kSuccess) return Fail("cannot read the dictionary " + ToUtf8(path), read, os);
  DictionaryView probe;
  if (!DictionaryView::FromFile(bytes.data(), bytes.size(), &probe)) {
    return Fail("not a well-formed dictionary: " + ToUtf8(path), Result::kMalformed);
  }
  SettingsRecord settings = MakeDefaultSettings();
  const SettingsView view = settings.view();
  for (uint32_t t = 1; t < o.tabs && AddTab(view); ++t) view.tab(t).SetName(u"Tab " + std::u16string(1, u'1' + t));
  for (size_t t = 0; t < view.tabCount(); ++t) {
    if (o.templateNumber != 0) ApplyTemplate(view, t, o.templateNumber - 1);
    view.tab(t).SetTitle(o.title);
  }
  Result r = PublishPrivateSettings(settings.data(), settings.size(), &published);
  if (r != Result::kSuccess) return Fail("cannot publish the settings", r);
  r = PublishPrivateDictionaryFiles({bytes}, &published);
  if (r != Result::kSuccess) return Fail("cannot publish the dictionary", r);
  if (o.forgiving) {
    std::vector<uint8_t> options = DefaultOptionsRecord();
    for (size_t t = 0; t < view.tabCount(); ++t) {
      WriteTabOptions(options.data(), options.size(), static_cast<int16_t>(view.tab(t).tabId()),
                      TabOptions{CandidateOrder::kDictionary, false, true});
    }
    r = PublishPrivateOptions(options.data(), options.size(), &published);
    if (r == Result::kSuccess) r = PublishPrivateSoundIndexes(&published);
    if (r != Result::kSuccess) return Fail("cannot publish the options", r);
  }
  set.Rebuild();
  return 0;
}

int OpenLive(PublishedData& published, TabSourceSet& set) {
  platform::OsError os = 0;
  const Result started = EnsureLoader(&os, kFromService);
  if (started != Result::kSuccess) return Fail("the loader is not available", started, os);
  const Result r = published.Open();
  if (r != Result::kSuccess) return Fail("cannot open what the loader publishes", r, published.lastError());
  set.Rebuild();
  return 0;
}

// Lets the window paint, resize itself and paint again until nothing is left to do.
void Settle(HWND hwnd) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  MSG msg;
  while (std::chrono::steady_clock::now() < until) {
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::UpdateWindow(hwnd);
    ::Sleep(10);
  }
}

long Round(float v) { return std::lround(v); }

void PrintElement(const char* name, const CWidgetBase& w) {
  std::cout << name << ' ' << Round(w.bounds.x) << ' ' << Round(w.bounds.y) << ' ' << Round(w.bounds.width) << ' '
            << Round(w.bounds.height) << '\n';
}

void Report(HWND hwnd, CWidgetMgrTopLayout* m) {
  RECT window{};
  ::GetWindowRect(hwnd, &window);
  std::cout << "window " << window.left << ' ' << window.top << ' ' << window.right - window.left << ' '
            << window.bottom - window.top << '\n';
  if (m == nullptr) return;
  const bool listShown = m->candidateList->visible && m->candidateList->ItemCount() > 0;
  if (m->tabStrip->visible) PrintElement("tabs", *m->tabStrip);
  if (m->titleBar->visible && !m->titleBar->text.empty()) PrintElement("title", *m->titleBar);
  if (listShown) PrintElement("list", *m->candidateList);
  if (m->additionBar->visible && !m->additionBar->text.empty() && listShown) PrintElement("addition", *m->additionBar);
  if (m->hScrollBar->visible && !m->hScrollBar->disabled) PrintElement("hscroll", *m->hScrollBar);
  if (m->vScrollBar->visible && !m->vScrollBar->disabled) PrintElement("vscroll", *m->vScrollBar);
  for (size_t i = 0; i < m->candidateList->ItemCount(); ++i) {
    std::cout << "row " << i << ' ' << ToUtf8(m->candidateList->Item(i)) << '\n';
  }
  for (size_t i = 0; i < m->candidateList->ItemCount(); ++i) {
    if (m->candidateList->Marked(i)) std::cout << "marked " << i << '\n';
  }
  if (m->candidateList->ItemCount() > 0) std::cout << "selected " << m->candidateList->selected << '\n';
}

int Run(const std::vector<std::u16string>& args) {
  Options o;
  const std::string problem = Parse(args, &o);
  if (!problem.empty()) {
    std::cerr << "candview: " << problem << "\n" << kUsage;
    return 2;
  }
  const gdip::Session gdiplus;
  if (!gdiplus.started()) return Fail("GDI+ could not be started");
  PublishedData published;
  TabSourceSet set(published);
  if (const int failed = o.live ? OpenLive(published, set) : OpenPrivate(o, published, set); failed != 0) {
    return failed;
  }
  if (o.tab >= set.sourceCount()) {
    return Fail("there is no tab " + std::to_string(o.tab) + " (the settings have " +
                std::to_string(set.sourceCount()) + ")");
  }
  set.SetShownTab(o.tab);
  set.SetPrefix(o.prefix);
  for (uint32_t p = 0; p < o.page; ++p) {
    if (set.NextPage() == 0) return Fail("there is no page " + std::to_string(o.page));
  }

  // Before the window exists: it reads the colours when it is made and when they change.
  const SchemeScope scheme(o.contrast);
  if (o.contrast != nullptr && !scheme.set()) return Fail("the system colours could not be set");
  CCandListWin win(set.settingsRecord(), set.settingsSize(), nullptr);
  if (win.Create(nullptr, RECT{0, 0, 1, 1}) == nullptr) {
    return Fail("the window could not be made", Result::kGeneralFailure, ::GetLastError());
  }
  if (o.contrast != nullptr) win.core().SetSystemColors(ReadSystemColors());
  if (!win.BuildWidgets(static_cast<int32_t>(o.tab), o.maxWidth, o.maxHeight)) {
    return Fail("the window's widgets could not be built");
  }
  win.ShowCandidates(set, true, true);
  if (o.hasAddition) win.SetAdditionText(o.addition);
  if (o.select >= 0) {
    CWidgetMgrTopLayout* m = win.core().manager();
    if (win.MoveSelection(o.select - m->candidateList->selected) < 0 && o.select != m->candidateList->selected) {
      return Fail("there is no row " + std::to_string(o.select));
    }
  }
  win.PlaceBy(RectI{o.extent.left, o.extent.top, o.extent.right, o.extent.bottom});
  ::ShowWindow(win.hwnd(), SW_SHOWNA);
  Settle(win.hwnd());
  Report(win.hwnd(), win.core().manager());
  if (!o.png.empty()) {
    picture::ScreenPixels pixels;
    if (!picture::CaptureWindow(win.hwnd(), &pixels) || !picture::SavePng(platform::win32::ToWide(o.png), pixels)) {
      return Fail("the picture could not be saved to " + ToUtf8(o.png));
    }
  }
  win.DestroyWindow();
  std::cout.flush();
  return 0;
}

}  // namespace
}  // namespace quillet

int wmain(int argc, wchar_t** argv) {
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(quillet::platform::win32::FromWide(argv[i]));
  try {
    return quillet::Run(args);
  } catch (const std::bad_alloc&) {
    std::cerr << "candview: out of memory\n";
    return static_cast<int>(quillet::Result::kOutOfMemory);
  } catch (...) {
    std::cerr << "candview: failed\n";
    return 1;
  }
}
