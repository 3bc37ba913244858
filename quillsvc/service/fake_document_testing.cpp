#include "quillsvc/service/fake_document_testing.h"

#include <algorithm>

namespace quillet::testing {
namespace {

int32_t Order(size_t a, size_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

class FakeComposition final : public Composition {
 public:
  FakeComposition(FakeDocument& document, int generation) : document_(document), generation_(generation) {
    ++document_.liveCompositions;
  }
  ~FakeComposition() override { --document_.liveCompositions; }

  EditStatus GetRange(EditContext&, std::unique_ptr<TextRange>* range) override {
    if (document_.Fails("GetRange") || !Current()) return EditStatus::kFailed;
    *range = std::make_unique<FakeRange>(document_, document_.compositionStart, document_.compositionEnd);
    return EditStatus::kOk;
  }
  EditStatus End(EditContext&) override {
    if (document_.Fails("End") || !Current()) return EditStatus::kFailed;
    document_.composing = false;
    ++document_.compositionsEnded;
    return EditStatus::kOk;
  }

 private:
  bool Current() const { return document_.composing && generation_ == document_.compositionsStarted; }

  FakeDocument& document_;
  int generation_;
};

}  // namespace

FakeRange::FakeRange(FakeDocument& document, size_t s, size_t e) : start(s), end(e), document_(document) {
  document_.ranges.push_back(this);
}

FakeRange::~FakeRange() {
  auto& all = document_.ranges;
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

size_t FakeRange::At(const TextRange& range, Anchor anchor) const {
  const auto& other = static_cast<const FakeRange&>(range);
  return anchor == Anchor::kStart ? other.start : other.end;
}

void FakeRange::SetStart(size_t at) {
  start = std::min(at, document_.text.size());
  if (end < start) end = start;
}

void FakeRange::SetEnd(size_t at) {
  end = std::min(at, document_.text.size());
  if (start > end) start = end;
}

EditStatus FakeRange::SetText(std::u16string_view text) {
  if (document_.Fails("SetText")) return EditStatus::kFailed;
  document_.Replace(start, end, text, this);
  return EditStatus::kOk;
}

EditStatus FakeRange::Collapse(Anchor to) {
  if (document_.Fails("Collapse")) return EditStatus::kFailed;
  if (to == Anchor::kStart) {
    end = start;
  } else {
    start = end;
  }
  return EditStatus::kOk;
}

EditStatus FakeRange::ShiftStartToRange(const TextRange& to, Anchor anchor) {
  if (document_.Fails("ShiftStartToRange")) return EditStatus::kFailed;
  SetStart(At(to, anchor));
  return EditStatus::kOk;
}

EditStatus FakeRange::ShiftEndToRange(const TextRange& to, Anchor anchor) {
  if (document_.Fails("ShiftEndToRange")) return EditStatus::kFailed;
  SetEnd(At(to, anchor));
  return EditStatus::kOk;
}

EditStatus FakeRange::ShiftStart(int32_t count) {
  if (document_.Fails("ShiftStart")) return EditStatus::kFailed;
  const int64_t at = static_cast<int64_t>(start) + count;
  SetStart(static_cast<size_t>(std::max<int64_t>(at, 0)));
  return EditStatus::kOk;
}

EditStatus FakeRange::ShiftEnd(int32_t count) {
  if (document_.Fails("ShiftEnd")) return EditStatus::kFailed;
  const int64_t at = static_cast<int64_t>(end) + count;
  SetEnd(static_cast<size_t>(std::max<int64_t>(at, 0)));
  return EditStatus::kOk;
}

EditStatus FakeRange::CompareStart(const TextRange& to, Anchor anchor, int32_t* result) const {
  if (document_.Fails("CompareStart")) return EditStatus::kFailed;
  *result = Order(start, At(to, anchor));
  return EditStatus::kOk;
}

EditStatus FakeRange::CompareEnd(const TextRange& to, Anchor anchor, int32_t* result) const {
  if (document_.Fails("CompareEnd")) return EditStatus::kFailed;
  *result = Order(end, At(to, anchor));
  return EditStatus::kOk;
}

FakeDocument::FakeDocument(std::u16string initial) : text(std::move(initial)) {
  selectionStart = selectionEnd = text.size();
}

FakeDocument::~FakeDocument() = default;

bool FakeDocument::Fails(const std::string& name) {
  auto it = failures_.find(name);
  if (it == failures_.end() || it->second == 0) return false;
  --it->second;
  return true;
}

EditStatus FakeDocument::GetSelection(std::unique_ptr<TextRange>* range) {
  if (Fails("GetSelection")) return EditStatus::kFailed;
  *range = std::make_unique<FakeRange>(*this, selectionStart, selectionEnd);
  return EditStatus::kOk;
}

EditStatus FakeDocument::SetSelection(const TextRange& range) {
  if (Fails("SetSelection")) return EditStatus::kFailed;
  const auto& r = static_cast<const FakeRange&>(range);
  selectionStart = r.start;
  selectionEnd = r.end;
  return EditStatus::kOk;
}

EditStatus FakeDocument::QueryInsertRange(std::unique_ptr<TextRange>* range) {
  if (Fails("QueryInsertRange")) return EditStatus::kFailed;
  *range = std::make_unique<FakeRange>(*this, selectionStart, selectionEnd);
  return EditStatus::kOk;
}

EditStatus FakeDocument::StartComposition(const TextRange& range, std::unique_ptr<Composition>* composition) {
  if (Fails("StartComposition")) return EditStatus::kFailed;
  const auto& r = static_cast<const FakeRange&>(range);
  composing = true;
  compositionStart = r.start;
  compositionEnd = r.end;
  *composition = std::make_unique<FakeComposition>(*this, ++compositionsStarted);
  return EditStatus::kOk;
}

EditStatus FakeDocument::GetTextBefore(const TextRange& range, int32_t max, std::u16string* text, bool* atStart) {
  if (Fails("GetTextBefore")) return EditStatus::kFailed;
  const size_t end = static_cast<const FakeRange&>(range).start;
  const size_t begin = max > 0 && end > static_cast<size_t>(max) ? end - static_cast<size_t>(max) : 0;
  *text = this->text.substr(begin, end - begin);
  *atStart = begin == 0;
  return EditStatus::kOk;
}

void FakeDocument::TypeAsApplication(char16_t c) {
  Replace(selectionStart, selectionEnd, std::u16string_view(&c, 1), nullptr);
  selectionStart = selectionEnd;
}

void FakeDocument::Select(size_t start, size_t end) {
  selectionStart = std::min(start, text.size());
  selectionEnd = std::max(selectionStart, std::min(end, text.size()));
}

void FakeDocument::TerminateComposition() {
  if (!composing) return;
  composing = false;
  ++compositionsEnded;
}

void FakeDocument::Replace(size_t a, size_t b, std::u16string_view inserted, FakeRange* edited) {
  const size_t n = inserted.size();
  text.replace(a, b - a, inserted);
  auto moveStart = [&](size_t& p) {
    if (p > b) {
      p = p - (b - a) + n;
    } else if (p >= a) {
      p = a;
    }
  };
  auto moveEnd = [&](size_t& p) {
    if (p > b) {
      p = p - (b - a) + n;
    } else if (p >= a) {
      p = a + n;
    }
  };
  for (FakeRange* r : ranges) {
    moveStart(r->start);
    moveEnd(r->end);
  }
  moveStart(selectionStart);
  moveEnd(selectionEnd);
  if (composing) {
    moveStart(compositionStart);
    moveEnd(compositionEnd);
  }
  if (edited != nullptr) {
    edited->start = a;
    edited->end = a + n;
  }
}

EditStatus FakeDocument::GetScreenExtent(const TextRange& range, RectI* extent) {
  if (Fails("GetScreenExtent")) return EditStatus::kFailed;
  const auto& r = static_cast<const FakeRange&>(range);
  *extent = RectI{static_cast<int32_t>(10 * r.start), 0, static_cast<int32_t>(10 * r.end), 20};
  return EditStatus::kOk;
}

}  // namespace quillet::testing
