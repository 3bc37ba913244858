#include "quillsvc/service/composition_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quillsvc/service/fake_document_testing.h"

namespace quillet {
namespace {

using testing::FakeDocument;

struct Recorder : ICompositionCallback {
  void OnCompositionChanged(EditContext&, std::u16string_view text) override {
    calls.push_back(u"changed " + std::u16string(text));
  }
  void OnCharAppended(EditContext&, char16_t c) override { calls.push_back(u"appended " + std::u16string(1, c)); }
  void OnCharDeleted(EditContext&, std::u16string_view text) override {
    calls.push_back(u"deleted " + std::u16string(text));
  }
  std::vector<std::u16string> calls;
};

class CompositionStateTest : public ::testing::Test {
 protected:
  CompositionStateTest() : doc_(u"say "), state_(&recorder_) {}

  void Type(std::u16string_view text) {
    if (!state_.HasComposition()) {
      ASSERT_EQ(state_.StartComposition(doc_), EditStatus::kOk);
    }
    for (char16_t c : text) ASSERT_EQ(state_.AddChar(doc_, c), EditStatus::kOk);
  }
  // The document and the private text tell the same story, and the selection sits at the caret.
  void ExpectInStep() {
    ASSERT_TRUE(doc_.composing);
    EXPECT_EQ(doc_.CompositionText(), state_.text());
    EXPECT_EQ(doc_.selectionStart, doc_.selectionEnd);
    EXPECT_EQ(doc_.selectionStart, doc_.compositionStart + state_.caret());
  }

  FakeDocument doc_;
  Recorder recorder_;
  CCompositionState state_;
};

TEST_F(CompositionStateTest, TypingGrowsTheDocumentAndThePrivateTextTogether) {
  Type(u"hel");
  EXPECT_EQ(doc_.text, u"say hel");
  EXPECT_EQ(state_.caret(), 3u);
  ExpectInStep();
  EXPECT_EQ(recorder_.calls, (std::vector<std::u16string>{u"appended h", u"appended e", u"appended l"}));

  // Inserting before the end is a change of the whole text, not an append.
  ASSERT_EQ(state_.ShiftCaret(doc_, -1), EditStatus::kOk);
  ASSERT_EQ(state_.AddChar(doc_, u'x'), EditStatus::kOk);
  EXPECT_EQ(doc_.text, u"say hexl");
  EXPECT_EQ(recorder_.calls.back(), u"changed hexl");
  ExpectInStep();
}

TEST_F(CompositionStateTest, TheCaretWrapsAtBothEndsAndTypingFollowsIt) {
  Type(u"ab");
  ASSERT_EQ(state_.ShiftCaret(doc_, 1), EditStatus::kOk);  // at the end: to the start
  EXPECT_EQ(state_.caret(), 0u);
  ExpectInStep();
  ASSERT_EQ(state_.AddChar(doc_, u'x'), EditStatus::kOk);
  EXPECT_EQ(doc_.text, u"say xab");
  ExpectInStep();

  ASSERT_EQ(state_.ShiftCaret(doc_, -1), EditStatus::kOk);
  ASSERT_EQ(state_.ShiftCaret(doc_, -1), EditStatus::kOk);  // at the start: to the end
  EXPECT_EQ(state_.caret(), 3u);
  ExpectInStep();
  ASSERT_EQ(state_.AddChar(doc_, u'y'), EditStatus::kOk);
  EXPECT_EQ(doc_.text, u"say xaby");
  ExpectInStep();
}

TEST_F(CompositionStateTest, TypingStopsAt127Characters) {
  Type(std::u16string(126, u'a'));
  ASSERT_EQ(state_.AddChar(doc_, u'b'), EditStatus::kOk);
  EXPECT_EQ(state_.text().size(), 127u);
  EXPECT_NE(state_.AddChar(doc_, u'c'), EditStatus::kOk);
  EXPECT_EQ(state_.text().size(), 127u);
  EXPECT_EQ(doc_.text.size(), 4u + 127u);
  ExpectInStep();
}

TEST_F(CompositionStateTest, AFailedDocumentWriteLeavesThePrivateTextAsItWas) {
  Type(u"ab");
  for (const char* op : {"GetSelection", "SetText", "Collapse", "SetSelection"}) {
    SCOPED_TRACE(op);
    doc_.FailNext(op);
    EXPECT_NE(state_.AddChar(doc_, u'x'), EditStatus::kOk);
    EXPECT_EQ(state_.text(), u"ab");
    EXPECT_EQ(state_.caret(), 2u);
  }
  doc_.FailNext("SetSelection");
  EXPECT_NE(state_.ShiftCaret(doc_, -1), EditStatus::kOk);
  EXPECT_EQ(state_.caret(), 2u);
}

TEST_F(CompositionStateTest, NoCharacterGoesInWhileTheSelectionIsOutsideTheComposition) {
  Type(u"ab");
  doc_.Select(0, 1);
  EXPECT_NE(state_.AddChar(doc_, u'x'), EditStatus::kOk);
  EXPECT_EQ(doc_.text, u"say ab");
  EXPECT_EQ(state_.text(), u"ab");
}

TEST_F(CompositionStateTest, DeletingWorksOnBothSidesOfTheCaretAndEndsOnEmpty) {
  Type(u"abc");
  ASSERT_EQ(state_.RemoveChar(doc_, false), EditStatus::kOk);  // nothing after the caret
  EXPECT_EQ(state_.text(), u"abc");

  ASSERT_EQ(state_.ShiftCaret(doc_, -1), EditStatus::kOk);
  ASSERT_EQ(state_.RemoveChar(doc_, true), EditStatus::kOk);
  EXPECT_EQ(doc_.text, u"say ac");
  EXPECT_EQ(recorder_.calls.back(), u"deleted ac");
  ExpectInStep();

  ASSERT_EQ(state_.RemoveChar(doc_, false), EditStatus::kOk);
  EXPECT_EQ(doc_.text, u"say a");
  ExpectInStep();

  ASSERT_EQ(state_.RemoveChar(doc_, true), EditStatus::kOk);
  EXPECT_EQ(recorder_.calls.back(), u"deleted ");
  EXPECT_EQ(doc_.text, u"say ");
  EXPECT_FALSE(state_.HasComposition());
  EXPECT_FALSE(doc_.composing);
  EXPECT_EQ(doc_.liveCompositions, 0);
  EXPECT_EQ(state_.caret(), 0u);

  // At the start nothing happens.
  Type(u"z");
  ASSERT_EQ(state_.ShiftCaret(doc_, -1), EditStatus::kOk);
  ASSERT_EQ(state_.RemoveChar(doc_, true), EditStatus::kOk);
  EXPECT_EQ(state_.text(), u"z");
}

TEST_F(CompositionStateTest, ClearErasesTheTextAndEndKeepsIt) {
  Type(u"abc");
  ASSERT_EQ(state_.ClearComposition(doc_), EditStatus::kOk);
  EXPECT_EQ(doc_.text, u"say ");
  EXPECT_TRUE(state_.HasComposition());
  EXPECT_EQ(state_.text(), u"");
  ASSERT_EQ(state_.EndComposition(doc_), EditStatus::kOk);
  EXPECT_EQ(doc_.compositionsEnded, 1);

  Type(u"de");
  ASSERT_EQ(state_.EndComposition(doc_), EditStatus::kOk);
  EXPECT_EQ(doc_.text, u"say de");
  EXPECT_FALSE(state_.HasComposition());
  EXPECT_EQ(state_.text(), u"");
  EXPECT_EQ(state_.caret(), 0u);
  EXPECT_EQ(doc_.liveCompositions, 0);

  EXPECT_EQ(state_.EndComposition(doc_), EditStatus::kOk);  // nothing to end
  EXPECT_NE(state_.ClearComposition(doc_), EditStatus::kOk);
}

TEST_F(CompositionStateTest, AReplacementAdaptsTheWordAndKeepsTheCompositionOpen) {
  Type(u"PRO");
  ASSERT_EQ(state_.ShiftCaret(doc_, -1), EditStatus::kOk);  // the caret need not be at the end
  ASSERT_EQ(state_.ReplaceComposition(doc_, CaseRule::KeepTyped, u"program"), EditStatus::kOk);
  EXPECT_EQ(doc_.text, u"say PROgram");
  EXPECT_EQ(state_.text(), u"PROgram");
  EXPECT_EQ(state_.caret(), 7u);
  ExpectInStep();
  ASSERT_EQ(state_.AddChar(doc_, u's'), EditStatus::kOk);
  EXPECT_EQ(doc_.text, u"say PROgrams");
}

TEST_F(CompositionStateTest, AReplacementLongerThan128KeepsTheWholeWordInTheDocumentOnly) {
  Type(u"w");
  const std::u16string word = u"w" + std::u16string(199, u'x');
  ASSERT_EQ(state_.ReplaceComposition(doc_, CaseRule::KeepTyped, word), EditStatus::kOk);
  EXPECT_EQ(doc_.text, u"say " + word);
  EXPECT_EQ(state_.text(), word.substr(0, 128));
  EXPECT_EQ(state_.caret(), 128u);
  // Typing on is refused, as at 127 typed characters.
  EXPECT_NE(state_.AddChar(doc_, u'y'), EditStatus::kOk);
}

TEST_F(CompositionStateTest, AFailedReplacementStillPutsTheCaretAtTheEnd) {
  Type(u"ab");
  ASSERT_EQ(state_.ShiftCaret(doc_, -1), EditStatus::kOk);
  doc_.FailNext("GetSelection");
  EXPECT_NE(state_.ReplaceComposition(doc_, CaseRule::KeepTyped, u"abc"), EditStatus::kOk);
  EXPECT_EQ(doc_.text, u"say ab");
  EXPECT_EQ(state_.text(), u"ab");
  EXPECT_EQ(state_.caret(), 2u);
}

TEST_F(CompositionStateTest, SelectionInsideMeansWithinTheCompositionsRange) {
  doc_.text = u"0123";
  doc_.Select(2, 2);
  Type(u"ab");  // "01ab23", composition [2, 4)
  auto inside = [&](size_t start, size_t end) {
    testing::FakeRange range(doc_, start, end);
    return state_.IsSelectionInside(doc_, range);
  };
  EXPECT_TRUE(inside(2, 4));
  EXPECT_TRUE(inside(3, 3));
  EXPECT_TRUE(inside(4, 4));
  EXPECT_FALSE(inside(1, 3));
  EXPECT_FALSE(inside(3, 5));
  doc_.FailNext("CompareEnd");
  EXPECT_FALSE(inside(3, 3));
  ASSERT_EQ(state_.EndComposition(doc_), EditStatus::kOk);
  EXPECT_FALSE(inside(3, 3));
}

TEST_F(CompositionStateTest, AFailedStartLeavesNoComposition) {
  for (const char* op : {"QueryInsertRange", "StartComposition"}) {
    doc_.FailNext(op);
    EXPECT_NE(state_.StartComposition(doc_), EditStatus::kOk);
    EXPECT_FALSE(state_.HasComposition());
  }
  // Selecting the new composition's range may fail without undoing the start.
  doc_.FailNext("SetSelection");
  EXPECT_EQ(state_.StartComposition(doc_), EditStatus::kOk);
  EXPECT_TRUE(state_.HasComposition());
}

TEST_F(CompositionStateTest, AfterTheFrameworkEndsTheCompositionTheNextStartsEmpty) {
  Type(u"abc");
  doc_.TerminateComposition();
  state_.OnTerminated();
  EXPECT_FALSE(state_.HasComposition());
  EXPECT_EQ(state_.text(), u"");
  EXPECT_EQ(doc_.liveCompositions, 0);
  Type(u"d");
  EXPECT_EQ(state_.text(), u"d");
  EXPECT_EQ(doc_.text, u"say abcd");
  ExpectInStep();
}

}  // namespace
}  // namespace quillet
