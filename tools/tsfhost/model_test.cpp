// The portable half of tsfhost: anchors following edits, the application's editing, the key script,
// the printed block and the key timing.
#include <gtest/gtest.h>

#include "common/dict_image_testing.h"
#include "common/settings_record.h"
#include "lookup/private_block.h"
#include "tools/tsfhost/key_script.h"
#include "tools/tsfhost/lookup_replay.h"
#include "tools/tsfhost/report.h"
#include "tools/tsfhost/text_store.h"
#include "tools/tsfhost/timing.h"

namespace quillet::tsfhost {
namespace {

struct Range {
  TextStore& store;
  TextStore::Anchor start;
  TextStore::Anchor end;
  Range(TextStore& s, int32_t a, int32_t b)
      : store(s), start(s.NewAnchor(a, Gravity::kBackward)), end(s.NewAnchor(b, Gravity::kForward)) {}
  std::pair<int32_t, int32_t> Span() const { return {store.Pos(start), store.Pos(end)}; }
};

TEST(TextStoreTest, CompositionRangeGrowsWithTextInsertedAtEitherEdge) {
  TextStore store;
  store.Replace(0, 0, u"ab  cd");
  Range composition(store, 2, 4);
  // Typing at its end (the selection collapsed there) and at its start stays inside it.
  store.Replace(4, 4, u"x");
  EXPECT_EQ(composition.Span(), std::make_pair(2, 5));
  store.Replace(2, 2, u"y");
  EXPECT_EQ(composition.Span(), std::make_pair(2, 6));
  EXPECT_EQ(store.Text(), u"aby  xcd");
}

TEST(TextStoreTest, ReplacingAndDeletingMoveEveryAnchorAsItsPlaceRequires) {
  TextStore store;
  store.Replace(0, 0, u"one two three");
  Range before(store, 0, 3);
  Range word(store, 4, 7);
  Range after(store, 8, 13);
  Range inside(store, 5, 6);
  // Replacing the whole word: its range covers the new text, later ranges shift.
  store.Replace(4, 7, u"seven");
  EXPECT_EQ(word.Span(), std::make_pair(4, 9));
  EXPECT_EQ(before.Span(), std::make_pair(0, 3));
  EXPECT_EQ(after.Span(), std::make_pair(10, 15));
  // Anchors strictly inside a replaced span go by gravity.
  EXPECT_EQ(inside.Span(), std::make_pair(4, 9));
  // Deleting a span with a range inside collapses it to the deletion point.
  store.Replace(3, 10, u"");
  EXPECT_EQ(word.Span(), std::make_pair(3, 3));
  EXPECT_EQ(after.Span(), std::make_pair(3, 8));
  EXPECT_EQ(store.Text(), u"onethree");
}

TEST(TextStoreTest, FreedAnchorsAreReusedAndNoLongerMove) {
  TextStore store;
  store.Replace(0, 0, u"abc");
  const auto a = store.NewAnchor(1, Gravity::kForward);
  const auto b = store.NewAnchor(2, Gravity::kForward);
  EXPECT_EQ(store.LiveAnchors(), 2u);
  store.FreeAnchor(a);
  store.FreeAnchor(a);  // twice is harmless
  EXPECT_EQ(store.LiveAnchors(), 1u);
  EXPECT_EQ(store.NewAnchor(0, Gravity::kBackward), a);
  store.Replace(0, 0, u"zz");
  EXPECT_EQ(store.Pos(a), 0) << "a reused anchor starts where it was put";
  EXPECT_EQ(store.Pos(b), 4);
  store.SetPos(b, 99);
  EXPECT_EQ(store.Pos(b), store.Length());
}

TEST(TextStoreTest, LinesAreFoundAcrossBreaks) {
  TextStore store;
  store.Replace(0, 0, u"ab\n\ncde\n");
  EXPECT_EQ(store.LineCount(), 4);
  EXPECT_EQ(store.LineOf(2), 0);
  EXPECT_EQ(store.LineOf(3), 1);
  EXPECT_EQ(store.LineOf(8), 3);
  EXPECT_EQ(store.LineStart(2), 4);
  EXPECT_EQ(store.LineEnd(2), 7);
  EXPECT_EQ(store.LineStart(3), 8);
  EXPECT_EQ(store.LineEnd(3), 8);
  EXPECT_EQ(store.LineStart(9), store.Length());
}

TEST(DocumentTest, TypingDeletingAndMovingWorkLikeAnEditControl) {
  Document doc;
  for (char16_t c : std::u16string_view(u"hello\nworld")) doc.TypeChar(c);
  EXPECT_EQ(doc.Caret(), 11);
  EXPECT_TRUE(doc.MoveCaret(CaretMove::kUp));
  EXPECT_EQ(doc.Caret(), 5) << "column 5 of the first line";
  EXPECT_TRUE(doc.MoveCaret(CaretMove::kHome));
  EXPECT_EQ(doc.Caret(), 0);
  EXPECT_FALSE(doc.Backspace()) << "nothing before the start";
  EXPECT_FALSE(doc.MoveCaret(CaretMove::kLeft));
  EXPECT_TRUE(doc.DeleteForward());
  EXPECT_EQ(doc.Text(), u"ello\nworld");
  doc.MoveCaret(CaretMove::kDocEnd);
  EXPECT_FALSE(doc.DeleteForward()) << "nothing after the end";
  EXPECT_TRUE(doc.Backspace());
  EXPECT_EQ(doc.Text(), u"ello\nworl");

  // A selection is replaced by a typed character; arrows first collapse it.
  doc.SetSelection(1, 3);
  doc.TypeChar(u'X');
  EXPECT_EQ(doc.Text(), u"eXo\nworl");
  EXPECT_EQ(doc.Caret(), 2);
  doc.SetSelection(4, 6);
  EXPECT_TRUE(doc.MoveCaret(CaretMove::kLeft));
  EXPECT_EQ(doc.Caret(), 4);
  EXPECT_FALSE(doc.MoveCaret(CaretMove::kDown)) << "nothing below the last line";
  EXPECT_EQ(doc.Caret(), 4);
}

TEST(DocumentTest, UpAndDownKeepTheColumnAcrossShortLines) {
  Document doc;
  for (char16_t c : std::u16string_view(u"abcdef\nx\nabcdef")) doc.TypeChar(c);
  doc.SetSelection(5, 5);
  doc.MoveCaret(CaretMove::kDown);
  EXPECT_EQ(doc.Caret(), 8) << "clamped to the short line's end";
  doc.MoveCaret(CaretMove::kDown);
  EXPECT_EQ(doc.Caret(), 14) << "back at column 5";
}

TEST(DocumentTest, TheSelectionFollowsEditsMadeThroughRanges) {
  Document doc;
  for (char16_t c : std::u16string_view(u"ab")) doc.TypeChar(c);
  doc.SetSelection(2, 2);
  doc.Store().Replace(2, 2, u"c");  // a text service writing at the caret
  EXPECT_EQ(doc.Caret(), 3);
  doc.Store().Replace(0, 1, u"");
  EXPECT_EQ(doc.SelStart(), 2);
  EXPECT_EQ(doc.SelEnd(), 2);
}

std::vector<KeyToken> Parse(std::u16string_view script) {
  std::string error;
  auto tokens = ParseKeyScript(script, &error);
  EXPECT_TRUE(tokens) << error;
  return tokens ? *tokens : std::vector<KeyToken>{};
}

TEST(KeyScriptTest, CharactersTypeTheirUsLayoutKeysAndBracesNameTokens) {
  // Which key each character is comes from tables; what is checked here is how they are read.
  const auto keys = Parse(u"aZ!:{{} ");
  ASSERT_EQ(keys.size(), 7u);
  auto is = [](const KeyToken& t, uint8_t key, bool shift) {
    return t.kind == KeyToken::Kind::kKey && t.key == key && t.shift == shift && !t.ctrl;
  };
  EXPECT_TRUE(is(keys[0], 'A', false));
  EXPECT_TRUE(is(keys[1], 'Z', true));
  EXPECT_TRUE(is(keys[2], '1', true));
  EXPECT_TRUE(is(keys[3], 0xBA, true));
  EXPECT_TRUE(is(keys[4], 0xDB, true));
  EXPECT_EQ(keys[4].label, u"{{");
  EXPECT_TRUE(is(keys[5], 0xDD, true)) << "a lone closing brace is the character";
  EXPECT_TRUE(is(keys[6], vk::kSpace, false));

  const auto tokens =
      Parse(u"{Shift}{Ctrl+x}{Click 3}{Menu 2 5}{Shift+Num5}{Ctrl+Space}{Open}{Close}{Wait go}{Busy b}");
  ASSERT_EQ(tokens.size(), 10u);
  EXPECT_EQ(tokens[0].kind, KeyToken::Kind::kShiftTap);
  EXPECT_TRUE(tokens[1].key == 'X' && tokens[1].ctrl);
  EXPECT_EQ(tokens[2].kind, KeyToken::Kind::kClick);
  EXPECT_EQ(tokens[2].number, 3);
  EXPECT_EQ(tokens[2].label, u"{Click 3}");
  EXPECT_TRUE(tokens[3].number == 2 && tokens[3].second == 5);
  EXPECT_TRUE(tokens[4].key == vk::kNumpad0 + 5 && tokens[4].shift && !tokens[4].ctrl);
  EXPECT_TRUE(tokens[5].key == vk::kSpace && tokens[5].ctrl && !tokens[5].shift);
  EXPECT_TRUE(tokens[6].kind == KeyToken::Kind::kOpenClose && tokens[6].number == 1);
  EXPECT_TRUE(tokens[7].kind == KeyToken::Kind::kOpenClose && tokens[7].number == 0);
  EXPECT_TRUE(tokens[8].kind == KeyToken::Kind::kWait && tokens[8].name == u"go");
  EXPECT_TRUE(tokens[9].kind == KeyToken::Kind::kBusy && tokens[9].name == u"b");
}

TEST(KeyScriptTest, BadScriptsSayWhatIsWrong) {
  for (std::u16string_view bad :
       {u"ab{Enter", u"{Nope}", u"{Click}", u"{Click x}", u"{Blur 2}", u"{Menu 1}", u"{Ctrl+1}", u"{Num}", u"caf\u00e9",
        u"{Shift+Blur}", u"{Shift+Shift+a}", u"{Ctrl+Blur}", u"{Ctrl+Shift+Space}", u"{Wait}", u"{Wait a b}"}) {
    std::string error;
    EXPECT_FALSE(ParseKeyScript(bad, &error));
    EXPECT_FALSE(error.empty());
  }
  std::string error;
  ParseKeyScript(u"ab{Nope}", &error);
  EXPECT_NE(error.find("{Nope}"), std::string::npos);
  EXPECT_NE(error.find("position 2"), std::string::npos);
}

TEST(ReportTest, TheBlockKeepsEachItemOnOneLine) {
  Snapshot snapshot;
  snapshot.document = u"a\\b\nc\u00e9";
  snapshot.caret = 3;
  EXPECT_EQ(FormatSnapshot(snapshot), "document a\\\\b\\nc\xc3\xa9\ncaret 3\ncomposition none\ncandidates none\n");
  snapshot.composition = std::make_pair(1, 4);
  snapshot.candidates = CandidateState::kVisible;
  snapshot.rows = {u"one", u"two\nlines"};
  EXPECT_EQ(FormatSnapshot(snapshot),
            "document a\\\\b\\nc\xc3\xa9\ncaret 3\ncomposition 1 4\ncandidates visible\n"
            "row 0 one\nrow 1 two\\nlines\n");
}

void Spin(std::chrono::microseconds d) {
  const auto end = Timing::Clock::now() + d;
  while (Timing::Clock::now() < end) {
  }
}

// The framework calls the text service, which calls the framework back: each span counts once, for
// the innermost zone.
TEST(TimingTest, NestedZonesChargeTheInnermost) {
  Timing& timing = Timing::Get();
  timing.Enable();
  timing.StartKey();
  {
    const ZoneScope framework(Zone::kFramework);
    Spin(std::chrono::microseconds(2000));
    const ZoneScope service(Zone::kService);
    Spin(std::chrono::microseconds(3000));
    {
      const ZoneScope inner(Zone::kFramework);
      Spin(std::chrono::microseconds(2000));
    }
  }
  const auto zones = timing.KeyZones();
  EXPECT_GE(zones[static_cast<size_t>(Zone::kFramework)], 4000);
  EXPECT_GE(zones[static_cast<size_t>(Zone::kService)], 3000);
  EXPECT_EQ(zones[static_cast<size_t>(Zone::kPaint)], 0);
  timing.EndKey(-1, true);
  EXPECT_NE(timing.Report().find("timing all keys 1 "), std::string::npos) << timing.Report();
  EXPECT_NE(timing.Report().find("timing window made keys 1 "), std::string::npos) << timing.Report();
}

TEST(TimingTest, PercentilesTakeTheNearestRank) {
  std::vector<double> values;
  for (int i = 100; i >= 1; --i) values.push_back(i);
  EXPECT_EQ(Percentile(values, 50), 50);
  EXPECT_EQ(Percentile(values, 99), 99);
  EXPECT_EQ(Percentile({7}, 99), 7);
  EXPECT_EQ(Percentile({}, 50), 0);
}

// The replay follows the composition key by key: a letter added is appended, a new composition or
// any other change of its text is looked up afresh, whatever the source held before.
TEST(LookupReplayTest, FollowsTheCompositionFromWordToWord) {
  PublishedData published;
  const SettingsRecord settings = MakeDefaultSettings();
  ASSERT_EQ(PublishPrivateSettings(settings.data(), settings.size(), &published), Result::kSuccess);
  ASSERT_EQ(
      PublishPrivateDictionaryFiles({testing::BuildDictionaryImage({u"bat", u"bee", u"pat", u"pea"})}, &published),
      Result::kSuccess);
  LookupReplay replay(published);
  EXPECT_GE(replay.Follow(u"p"), 0);
  EXPECT_GE(replay.Follow(u"pe"), 0);
  EXPECT_EQ(replay.Follow(u"pe"), -1);
  EXPECT_EQ(replay.Follow(u""), -1);
  EXPECT_GE(replay.Follow(u"b"), 0);
  EXPECT_EQ(replay.Prefix(), u"b");
  replay.Follow(u"ba");
  replay.Follow(u"bat");
  replay.Follow(u"bt");  // a letter erased in the middle
  EXPECT_EQ(replay.Prefix(), u"bt");
}

}  // namespace
}  // namespace quillet::tsfhost
