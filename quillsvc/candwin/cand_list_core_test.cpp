#include "quillsvc/candwin/cand_list_core.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "common/dict_image_testing.h"
#include "lookup/private_block.h"
#include "lookup/tab_source_set.h"
#include "platform/test_namespace.h"
#include "quillsvc/candwin/recording_callback_testing.h"
#include "quillsvc/candwin/test_surface.h"

namespace quillet {
namespace {

// Private blocks still use named events: kept away from a loader the user runs.
const bool kIsolated = testing::IsolateNamespace("cw");

using testing::Call;
using testing::CallLog;
using testing::Op;
using testing::RecordingCallback;
using testing::TestSurface;

constexpr RectI kScreen{0, 0, 1280, 1024};

class FakeHost : public CandListHost {
 public:
  std::unique_ptr<Surface> MeasuringSurface() override { return std::make_unique<TestSurface>(); }
  void Invalidate() override { ++invalidated; }
  bool DocumentCaret(int32_t* x, int32_t* y) override {
    if (!caret) return false;
    *x = caretX;
    *y = caretY;
    return true;
  }
  RectI WorkArea(const RectI& r) override {
    asked = r;
    return work;
  }
  bool SetWindowRect(const RectI& r, bool move) override {
    placed.push_back({r, move});
    return resizes;
  }

  int invalidated = 0;
  bool caret = false;
  int32_t caretX = 0, caretY = 0;
  RectI work = kScreen;
  RectI asked;
  std::vector<std::pair<RectI, bool>> placed;
  bool resizes = false;
};

// Twelve words "aab" to "aam"; every other one has a display text and a description.
std::vector<uint8_t> Dictionary() {
  std::vector<testing::ImageEntry> entries;
  for (char16_t c = u'b'; c <= u'm'; ++c) {
    const std::u16string key = std::u16string(u"aa") + c;
    const bool info = (c - u'b') % 2 == 0;
    entries.push_back({key, info ? u"Shown " + key : u"", u"", info ? u"about " + key : u""});
  }
  return testing::BuildDictionaryImage(entries);
}

class CandListCoreTest : public ::testing::Test {
 protected:
  CandListCoreTest() {
    SettingsRecord record = MakeDefaultSettings();
    const SettingsView s = record.view();
    s.tab(0).SetTitle(u"First");
    for (const char16_t* name : {u"second", u"third"}) {
      AddTab(s);
      s.tab(s.tabCount() - 1).SetName(name);
    }
    s.tab(1).SetTitle(u"Second");
    EXPECT_EQ(PublishPrivateSettings(record.data(), record.size(), &published_), Result::kSuccess);
    EXPECT_EQ(PublishPrivateDictionaryFiles({Dictionary()}, &published_), Result::kSuccess);
    set_.Rebuild();
  }

  // The tab set's settings, as the window reads them; tests change them as a new publication would.
  SettingsView Settings() { return SettingsView(const_cast<uint8_t*>(set_.settingsRecord()), set_.settingsSize()); }
  CandListCore& Core() {
    if (core_ == nullptr) {
      core_ = std::make_unique<CandListCore>(set_.settingsRecord(), set_.settingsSize(), &callback_, fonts_, host_);
    }
    return *core_;
  }
  CWidgetMgrTopLayout& Manager() { return *Core().manager(); }
  // Built, filled with the page for `prefix` and laid out.
  void Ready(std::u16string_view prefix = u"aa") {
    ASSERT_TRUE(Core().BuildWidgets(0, 200, 400));
    set_.SetPrefix(prefix);
    Core().ShowCandidates(&set_, true, true);
    Manager().Layout(window_);
  }
  PointF Row(int32_t r) {
    const CTextList& list = *Manager().candidateList;
    return {list.bounds.x + 10, list.bounds.y + list.itemHeight * static_cast<float>(r) + 5};
  }

  PublishedData published_;
  TabSourceSet set_{published_};
  testing::TestFontFactory fonts_;
  FakeHost host_;
  RecordingCallback callback_;
  TestSurface window_;
  std::unique_ptr<CandListCore> core_;
};

TEST_F(CandListCoreTest, ShowCandidatesFillsOnePageAndSelectsAnEnd) {
  ASSERT_TRUE(Core().BuildWidgets(0, 200, 400));
  set_.SetPrefix(u"aa");
  const int before = host_.invalidated;
  EXPECT_EQ(Core().ShowCandidates(&set_, true, false), 10u);
  const CTextList& list = *Manager().candidateList;
  ASSERT_EQ(list.ItemCount(), 10u);
  EXPECT_EQ(list.Item(0), u"Shown aab");  // the display text where there is one
  EXPECT_EQ(list.Item(1), u"aac");        // else the word
  EXPECT_EQ(list.selected, 0);
  EXPECT_EQ(Manager().additionBar->text, u"about aab");
  EXPECT_GT(host_.invalidated, before);

  EXPECT_EQ(Core().ShowCandidates(&set_, false, false), 10u);
  EXPECT_EQ(list.selected, 9);
  EXPECT_EQ(Manager().additionBar->text, u"");  // row 9 has no description

  set_.NextPage();
  EXPECT_EQ(Core().ShowCandidates(&set_, true, false), 2u);
  EXPECT_EQ(list.Item(1), u"aam");

  Manager().additionBar->visible = false;
  Manager().additionBar->text = u"kept";
  set_.SetPrefix(u"aa");
  Core().ShowCandidates(&set_, true, false);
  EXPECT_EQ(Manager().additionBar->text, u"kept");
  EXPECT_EQ(Core().ShowCandidates(nullptr, true, true), 0u);
}

TEST_F(CandListCoreTest, TheTitleFollowsTheActiveTabOnlyWhenAskedTo) {
  ASSERT_TRUE(Core().BuildWidgets(0, 200, 400));
  EXPECT_EQ(Manager().titleBar->text, u"First");
  Core().SelectTab(1);
  Core().ShowCandidates(&set_, true, false);
  EXPECT_EQ(Manager().titleBar->text, u"First");
  Core().ShowCandidates(&set_, true, true);
  EXPECT_EQ(Manager().titleBar->text, u"Second");
}

TEST_F(CandListCoreTest, SelectionAndTabsMoveWithinTheirRanges) {
  Ready();
  EXPECT_EQ(Core().MoveSelection(3), 3);
  EXPECT_EQ(Core().MoveSelection(7), -1);
  EXPECT_EQ(Core().MoveSelection(-4), -1);
  EXPECT_EQ(Manager().candidateList->selected, 3);
  EXPECT_EQ(Core().MoveSelection(6), 9);

  EXPECT_EQ(Core().PrevTab(), 2);
  EXPECT_EQ(Core().NextTab(), 0);
  EXPECT_EQ(Core().NextTab(), 1);
  Core().SelectTab(3);
  EXPECT_EQ(Core().SelectedTab(), 1);
  EXPECT_EQ(Core().SelectedRow(), 9);
  EXPECT_EQ(Core().RowCount(), 10u);
}

// A row is selected on the press and the release clicks the row it is over; the bare window is only
// reported; a page arrow released elsewhere clicks nothing (only the release's place counts).
TEST_F(CandListCoreTest, ClicksReportWhatWasPressedAndWhatWasReleasedOn) {
  Ready();
  Core().Press(Row(3));
  EXPECT_EQ(Manager().candidateList->selected, 3);
  Core().Release(Row(5));
  const int32_t selected = Manager().candidateList->selected;
  Core().Press({1, 1});
  Core().Release({1, 1});
  EXPECT_EQ(Manager().candidateList->selected, selected);
  Core().Press({30, 14});
  Core().Release({30, 14});
  const RectF& v = Manager().vScrollBar->bounds;
  Core().Press({v.x + 2, v.bottom() - 2});
  EXPECT_TRUE(Manager().vScrollBar->pressed[1]);
  Core().Release({1, 1});
  EXPECT_FALSE(Manager().vScrollBar->pressed[1]);
  Core().Press({v.x + 2, v.y + 2});
  Core().Release({v.x + 2, v.y + 2});
  EXPECT_EQ(callback_.events,
            (std::vector<std::string>{"down 1 3", "up 1 5", "item 5", "down 6 -1", "up 6 -1", "down 0 0", "up 0 0",
                                      "tab 0", "down 5 1", "up 6 -1", "down 5 0", "up 5 0", "list 0"}));
}

// What the accessibility tree reports of a row or a tab is where a click hits it.
TEST_F(CandListCoreTest, TheRectanglesOfARowAndATabAreWhereClicksHitThem) {
  Ready();
  RectF row;
  ASSERT_TRUE(Core().ElementRect(AppearanceElement::kCandidateList, 7, &row));
  Core().SelectTab(1);
  Manager().Layout(window_);
  RectF tab;
  ASSERT_TRUE(Core().ElementRect(AppearanceElement::kTab, 1, &tab));
  const PointF rowMiddle{row.x + row.width / 2, row.y + row.height / 2};
  const PointF tabMiddle{tab.x + tab.width / 2, tab.y + tab.height / 2};
  AppearanceElement element = AppearanceElement::kWindow;
  int32_t index = -1;
  ASSERT_TRUE(Core().HitTest(tabMiddle, &element, &index));
  EXPECT_EQ(element, AppearanceElement::kTab);
  EXPECT_EQ(index, 1);
  Core().Press(rowMiddle);
  Core().Release(rowMiddle);
  EXPECT_EQ(callback_.events, (std::vector<std::string>{"down 1 7", "up 1 7", "item 7"}));
  EXPECT_EQ(Core().RowText(7), Manager().candidateList->Item(7));
  RectF none;
  EXPECT_FALSE(Core().ElementRect(AppearanceElement::kCandidateList, 10, &none));
  EXPECT_FALSE(Core().ElementRect(AppearanceElement::kTab, 9, &none));
}

TEST_F(CandListCoreTest, TheRightArrowOnTheLastTabWrapsToTheFirstInView) {
  Ready();
  Core().SelectTab(2);
  Manager().Layout(window_);
  ASSERT_TRUE(Manager().hScrollBar->visible);
  const RectF& h = Manager().hScrollBar->bounds;
  const PointF right{h.right() - 2, h.y + 2};
  Core().Press(right);
  EXPECT_TRUE(Manager().hScrollBar->pressed[1]);
  EXPECT_FALSE(Manager().hScrollBar->pressed[0]);
  Core().Release(right);
  EXPECT_FALSE(Manager().hScrollBar->pressed[1]);
  EXPECT_EQ(Manager().tabStrip->activeTab, 0);
  EXPECT_EQ(Manager().tabStrip->firstVisibleTab, 0);
  EXPECT_EQ(callback_.events, (std::vector<std::string>{"down 4 1", "up 4 1", "tabs"}));
}

TEST_F(CandListCoreTest, PlacementStaysInsideTheWorkAreaOfTheTextsMonitor) {
  const RectI window{0, 0, 200, 150};
  auto place = [&](RectI extent) {
    Core().SetExtent(extent);
    return Core().Place(window);
  };
  EXPECT_EQ(place({100, 100, 140, 120}), (RectI{100, 120, 300, 270}));  // below, left-aligned
  EXPECT_EQ(host_.asked, (RectI{100, 100, 140, 120}));
  EXPECT_EQ(place({1200, 100, 1240, 120}), (RectI{1080, 120, 1280, 270}));  // right edge
  EXPECT_EQ(place({-30, 100, 10, 120}), (RectI{0, 120, 200, 270}));
  EXPECT_EQ(place({100, 950, 140, 970}), (RectI{100, 800, 300, 950}));     // flipped above the text
  EXPECT_EQ(place({100, 1100, 140, 1120}), (RectI{100, 874, 300, 1024}));  // text below the screen

  // A second monitor right of the first, with a taskbar at its bottom.
  host_.work = {1280, 0, 2560, 984};
  EXPECT_EQ(place({2500, 900, 2540, 920}), (RectI{2360, 750, 2560, 900}));
  // A window taller than the room above the text stays on the monitor.
  host_.work = {0, 0, 1280, 200};
  EXPECT_EQ(place({100, 100, 140, 120}).top, 0);

  // The document's caret decides over the extent.
  host_.work = kScreen;
  host_.caret = true;
  host_.caretX = 500;
  host_.caretY = 300;
  EXPECT_EQ(place({100, 100, 140, 120}), (RectI{500, 322, 700, 472}));
}

TEST_F(CandListCoreTest, PaintSizesTheWindowAndComposesTheFrameOffScreen) {
  Ready();
  const SizeI size = Manager().Layout(window_);
  window_.log().calls.clear();
  ASSERT_TRUE(Core().Paint(window_, size));
  // An empty extent: sized, not moved.
  ASSERT_EQ(host_.placed.size(), 1u);
  EXPECT_EQ(host_.placed[0].first, (RectI{0, 0, size.width, size.height}));
  EXPECT_FALSE(host_.placed[0].second);

  const auto& log = window_.log();
  const auto gradient = log.Of(Op::kGradient);
  ASSERT_EQ(gradient.size(), 1u);
  const ElementColors w = Settings().tab(0).colors(AppearanceElement::kWindow);
  EXPECT_EQ(gradient[0].surface, 1);
  EXPECT_EQ(gradient[0].rectI, (RectI{0, 0, size.width - 1, size.height - 1}));
  EXPECT_EQ(gradient[0].color, 0xFF000000 | w.foreground);
  EXPECT_EQ(gradient[0].color2, 0xFF000000 | w.background);
  EXPECT_FLOAT_EQ(gradient[0].points[0].x, 215);
  EXPECT_EQ(log.Of(Op::kFrameInset).at(0).color, 0xFF000000 | w.border);
  for (const Call& c : log.calls) {
    if (c.op == Op::kMeasure) {
      EXPECT_EQ(c.surface, 0);
    } else if (c.op == Op::kText || c.op == Op::kPath) {
      EXPECT_EQ(c.surface, 1);
    }
  }
  EXPECT_EQ(log.Of(Op::kPresent).size(), 1u);

  // With an extent the window is placed too.
  Core().SetExtent({100, 100, 140, 120});
  Core().Paint(window_, size);
  EXPECT_EQ(host_.placed.back().first, (RectI{100, 120, 100 + size.width, 120 + size.height}));
  EXPECT_TRUE(host_.placed.back().second);

  // A window that had to change its size is repainted whole at once: no frame of the old size.
  host_.resizes = true;
  window_.log().calls.clear();
  EXPECT_TRUE(Core().Paint(window_, {1, 1}));
  EXPECT_TRUE(window_.log().Of(Op::kOffscreen).empty());
}

TEST_F(CandListCoreTest, FailuresWhileMeasuringOrOnTheBackgroundCostLittle) {
  Ready();
  // Measuring on the window surface fails: drawing off-screen is not suppressed.
  window_.log().failIf = [](const Call& c) { return c.op == Op::kMeasure; };
  Core().Paint(window_, {120, 200});
  EXPECT_EQ(window_.log().Texts(u"aac").size(), 1u);
  // The background fails: the tab strip, drawn next, is skipped; the rest is drawn.
  window_.log().calls.clear();
  window_.log().failIf = [](const Call& c) { return c.op == Op::kGradient; };
  Core().Paint(window_, {120, 200});
  EXPECT_TRUE(window_.log().Of(Op::kPath).empty());
  EXPECT_EQ(window_.log().Texts(u"aac").size(), 1u);
  // No off-screen frame: nothing is drawn.
  window_.log().calls.clear();
  window_.log().failIf = [](const Call& c) { return c.op == Op::kOffscreen; };
  EXPECT_TRUE(Core().Paint(window_, {120, 200}));
  EXPECT_TRUE(window_.log().Of(Op::kGradient).empty());
  EXPECT_TRUE(window_.log().Of(Op::kPresent).empty());
}

// A dark high-contrast scheme, each colour different, none of them the tabs' colours.
constexpr SystemColors kDarkScheme{0xFF000000, 0xFFFFFFFF, 0xFF1AEBFF, 0xFF000001, 0xFF000002, 0xFFFFFF00};

TEST_F(CandListCoreTest, InHighContrastEveryPartIsDrawnOpaqueInTheSystemColours) {
  // Tab colours that would be unreadable: translucent, a gradient, a pale selection.
  for (size_t t = 0; t < Settings().tabCount(); ++t) {
    for (size_t e = 0; e < kAppearanceElementCount; ++e) {
      Settings().tab(t).SetColors(static_cast<AppearanceElement>(e),
                                  {0x40C0C0C0, 0x40D0D0D0, 0x40E0E0E0, 0x40F0F0F0, 0x40B0B0B0, 0x40A0A0A0});
    }
  }
  Ready();
  Core().SelectTab(1);
  const SizeI size = Manager().Layout(window_);
  const int before = host_.invalidated;
  Core().SetSystemColors(kDarkScheme);
  EXPECT_GT(host_.invalidated, before);
  window_.log().calls.clear();
  ASSERT_TRUE(Core().Paint(window_, size));

  const CallLog& log = window_.log();
  const auto gradient = log.Of(Op::kGradient);
  ASSERT_EQ(gradient.size(), 1u);
  EXPECT_EQ(gradient[0].color, kDarkScheme.window);
  EXPECT_EQ(gradient[0].color2, kDarkScheme.window);
  EXPECT_EQ(log.Of(Op::kFrameInset).at(0).color, kDarkScheme.windowText);
  const std::vector<Argb> system{kDarkScheme.window,        kDarkScheme.windowText, kDarkScheme.highlight,
                                 kDarkScheme.highlightText, kDarkScheme.buttonFace, kDarkScheme.buttonText};
  for (const Call& c : log.calls) {
    if (c.op == Op::kMeasure || c.op == Op::kOffscreen || c.op == Op::kPresent || c.op == Op::kPushClip ||
        c.op == Op::kPopClip) {
      continue;
    }
    EXPECT_NE(std::find(system.begin(), system.end(), c.color), system.end())
        << static_cast<int>(c.op) << " " << std::hex << c.color;
  }
  // The selected row stands out in the highlight colours; the others are text on the window.
  const CTextList& list = *Manager().candidateList;
  const auto bar = log.Of(Op::kFillRect);
  EXPECT_TRUE(std::any_of(bar.begin(), bar.end(), [&](const Call& c) {
    return c.color == kDarkScheme.highlight && c.rect.y == list.bounds.y + 2;
  }));
  EXPECT_EQ(log.Texts(list.Item(0)).at(0).color, kDarkScheme.highlightText);
  EXPECT_EQ(log.Texts(list.Item(1)).at(0).color, kDarkScheme.windowText);
  // The active tab is part of the window below it; the others are buttons.
  const auto tabs = log.Of(Op::kPath);
  ASSERT_EQ(tabs.size(), 3u);
  EXPECT_EQ(tabs.back().color, kDarkScheme.window);  // the active one, drawn last
  EXPECT_EQ(tabs.front().color, kDarkScheme.buttonFace);
  EXPECT_EQ(log.Texts(u"second").at(0).color, kDarkScheme.windowText);
  EXPECT_EQ(log.Texts(u"third").at(0).color, kDarkScheme.buttonText);

  // Out of high contrast the tabs' own colours are back.
  Core().SetSystemColors(std::nullopt);
  window_.log().calls.clear();
  Core().Paint(window_, size);
  EXPECT_EQ(window_.log().Of(Op::kGradient).at(0).color, 0xFFC0C0C0);
  const int after = host_.invalidated;
  Core().SetSystemColors(std::nullopt);
  EXPECT_EQ(host_.invalidated, after);  // no change, no repaint
}

// The polygons of eight points: the marks of corrected spellings (the spin boxes' arrows have three).
std::vector<Call> Stars(const CallLog& log) {
  std::vector<Call> stars = log.Of(Op::kPolygon);
  stars.erase(std::remove_if(stars.begin(), stars.end(), [](const Call& c) { return c.points.size() != 8; }),
              stars.end());
  return stars;
}

// A corrected spelling (a candidate the source forgave) is marked: the mark follows its row in the
// frame, in the tab's colours and in high contrast alike, and screen readers hear that it is a
// correction; its text stays the word. The dictionary's own rows carry no mark.
TEST_F(CandListCoreTest, AForgivenCandidateIsMarkedOnTheScreenAndForScreenReaders) {
  ASSERT_TRUE(Core().BuildWidgets(0, 200, 400));
  const Candidate because{u"because", u"", u"", u"the reason", true};
  const Candidate bee{u"bee", u"", u"", u"", false};
  const Candidate shown{u"becos", u"Because", u"", u"", true};
  ASSERT_EQ(Core().ShowRows({&bee, nullptr, &because, &shown}, false, false), 3u);
  EXPECT_EQ(Core().SelectedRow(), 2);
  EXPECT_EQ(Core().RowText(1), u"because");
  EXPECT_EQ(Core().RowName(1), u"because, corrected spelling");
  EXPECT_EQ(Core().RowName(2), u"Because, corrected spelling");
  EXPECT_EQ(Core().RowName(0), u"bee");
  EXPECT_EQ(Core().RowName(3), u"");
  Core().MoveSelection(-1);
  const SizeI size = Manager().Layout(window_);
  const CTextList& list = *Manager().candidateList;
  for (const bool contrast : {false, true}) {
    SCOPED_TRACE(contrast);
    Core().SetSystemColors(contrast ? std::optional<SystemColors>(kDarkScheme) : std::nullopt);
    window_.log().calls.clear();
    ASSERT_TRUE(Core().Paint(window_, size));
    const std::vector<Call> marks = Stars(window_.log());
    ASSERT_EQ(marks.size(), 2u);
    for (size_t m = 0; m < 2; ++m) {
      const Call row = window_.log().Texts(list.Item(m + 1)).at(0);
      EXPECT_GT(marks[m].points[0].y, row.points[0].y);
      EXPECT_LT(marks[m].points[0].y, row.points[0].y + list.itemHeight);
      EXPECT_GT(marks[m].points[0].x, row.points[0].x);
      EXPECT_EQ(marks[m].color, row.color);
    }
    if (contrast) {
      EXPECT_EQ(marks[0].color, kDarkScheme.highlightText);
    }
  }
  Core().SetSystemColors(std::nullopt);
  Ready();
  window_.log().calls.clear();
  Core().Paint(window_, Manager().Layout(window_));
  EXPECT_TRUE(Stars(window_.log()).empty());
  EXPECT_EQ(Core().RowName(0), Core().RowText(0));
}

TEST_F(CandListCoreTest, AtAHigherDpiFontsAndMetricsGrowByDpiOver96) {
  Ready();
  const SizeI at96 = Manager().Layout(window_);
  const float list96 = Manager().candidateList->bounds.width;
  const auto* font96 = static_cast<const testing::TestFont*>(Manager().font(AppearanceElement::kCandidateList));
  const float size96 = font96->sizePx;

  Core().SetDpi(144);
  EXPECT_EQ(Core().dpi(), 144u);
  const auto* font144 = static_cast<const testing::TestFont*>(Manager().font(AppearanceElement::kCandidateList));
  EXPECT_FLOAT_EQ(font144->sizePx, size96 * 1.5f);
  const SizeI at144 = Manager().Layout(window_);
  // Everything scales but a few 1- and 2-pixel lines and insets.
  EXPECT_NEAR(at144.width, at96.width * 1.5, 4);
  EXPECT_NEAR(at144.height, at96.height * 1.5, 4);
  EXPECT_NEAR(Manager().candidateList->bounds.width, list96 * 1.5f, 3);
  EXPECT_NEAR(Manager().tabStrip->bounds.x, 6, 0.01);  // the margin

  // The bounds the window was built with are 96-DPI pixels too.
  ASSERT_TRUE(Core().BuildWidgets(0, 60, 80));
  Core().ShowCandidates(&set_, true, true);
  EXPECT_EQ(Manager().Layout(window_), (SizeI{90, 120}));
  Core().SetDpi(96);
  EXPECT_EQ(Manager().Layout(window_), (SizeI{60, 80}));

  // A DPI set before the widgets exist is the one they are built for; nonsense is kept in range.
  CandListCore early(set_.settingsRecord(), set_.settingsSize(), nullptr, fonts_, host_);
  early.SetDpi(192);
  ASSERT_TRUE(early.BuildWidgets(0, 200, 400));
  EXPECT_FLOAT_EQ(static_cast<const testing::TestFont*>(early.manager()->font(AppearanceElement::kTab))->sizePx,
                  2 * static_cast<const testing::TestFont*>(Manager().font(AppearanceElement::kTab))->sizePx);
  early.SetDpi(0);
  EXPECT_EQ(early.dpi(), 96u);
  early.SetDpi(100000);
  EXPECT_EQ(early.dpi(), 960u);
}

TEST_F(CandListCoreTest, AnUnknownLayoutShowsOnlyTheBackgroundAndNeverFails) {
  Settings().SetLayoutKind(1);
  EXPECT_FALSE(Core().BuildWidgets(0, 200, 400));
  EXPECT_EQ(Core().manager(), nullptr);
  set_.SetPrefix(u"aa");
  EXPECT_EQ(Core().ShowCandidates(&set_, true, true), 0u);
  EXPECT_EQ(Core().MoveSelection(1), -1);
  EXPECT_EQ(Core().NextTab(), -1);
  EXPECT_EQ(Core().PrevTab(), -1);
  EXPECT_EQ(Core().SelectedTab(), -1);
  EXPECT_EQ(Core().SelectedRow(), -1);
  EXPECT_FALSE(Core().AdditionBarVisible());
  Core().SelectTab(0);
  Core().SetAdditionText(u"x");
  Core().SetElementVisible(4, false);
  Core().ReloadFonts();
  Core().Press({5, 5});
  Core().Release({5, 5});
  EXPECT_EQ(callback_.events, (std::vector<std::string>{"down 6 -1", "up 6 -1"}));
  EXPECT_TRUE(Core().Paint(window_, {50, 50}));
  EXPECT_TRUE(host_.placed.empty());
  EXPECT_EQ(window_.log().Of(Op::kGradient).size(), 1u);
  EXPECT_TRUE(window_.log().Of(Op::kText).empty());
}

TEST_F(CandListCoreTest, ElementsAreShownHiddenAndSwitchedOff) {
  Ready();
  Core().SetElementVisible(1, false);
  EXPECT_FALSE(Manager().candidateList->visible);
  Core().SetElementVisible(5, false);
  EXPECT_TRUE(Manager().vScrollBar->disabled);
  Core().SetElementVisible(5, true);
  EXPECT_FALSE(Manager().vScrollBar->disabled);
  Core().SetElementVisible(6, false);  // the window has no switch
  Core().SetElementVisible(-1, false);
  EXPECT_TRUE(Manager().tabStrip->visible);
}

}  // namespace
}  // namespace quillet
