#include "quillsvc/candwin/test_surface.h"

#include <algorithm>

namespace quillet::testing {
namespace {

class TestFrame : public OffscreenFrame {
 public:
  TestFrame(std::unique_ptr<Surface> surface, std::function<void()> present)
      : surface_(std::move(surface)), present_(std::move(present)) {}
  Surface& surface() override { return *surface_; }
  void Present() override { present_(); }

 private:
  std::unique_ptr<Surface> surface_;
  std::function<void()> present_;
};

// The lines of `text`, split at '\n'.
std::vector<std::u16string_view> Lines(std::u16string_view text) {
  std::vector<std::u16string_view> lines;
  for (size_t start = 0;;) {
    const size_t end = text.find(u'\n', start);
    lines.push_back(text.substr(start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start));
    if (end == std::u16string_view::npos) return lines;
    start = end + 1;
  }
}

Call Make(Op op, const RectF& rect = {}, Argb color = 0) {
  Call c;
  c.op = op;
  c.rect = rect;
  c.color = color;
  return c;
}

}  // namespace

float TestFont::LineHeight(std::u16string_view line) const {
  const bool fallback = std::any_of(line.begin(), line.end(), [](char16_t c) { return c >= 0x3000; });
  return fallback ? LineHeight() * 1.5f : LineHeight();
}

std::unique_ptr<Font> TestFont::WithStyle(FontStyle style) const {
  return std::make_unique<TestFont>(family, sizePx, style, fontStatus);
}

std::unique_ptr<Font> TestFontFactory::MakeFont(std::u16string_view family, float sizePx, FontStyle style) {
  requested.emplace_back(family);
  const std::u16string name(family);
  if (missingFamilies.count(name) != 0) return nullptr;
  const DrawStatus status = failedFamilies.count(name) != 0 ? DrawStatus::kFontFamilyNotFound : DrawStatus::kOk;
  return std::make_unique<TestFont>(name, sizePx, style, status);
}

std::vector<Call> CallLog::Of(Op op) const {
  std::vector<Call> out;
  for (const Call& c : calls) {
    if (c.op == op) out.push_back(c);
  }
  return out;
}

std::vector<Call> CallLog::TextLines() const {
  std::vector<Call> out;
  for (const Call& c : calls) {
    if (c.op != Op::kText) continue;
    const std::vector<std::u16string_view> lines = Lines(c.text);
    for (size_t i = 0; i < lines.size(); ++i) {
      Call line = c;
      line.text.assign(lines[i]);
      line.points[0].y += static_cast<float>(i) * c.lineHeight;
      out.push_back(line);
    }
  }
  return out;
}

std::vector<Call> CallLog::Texts(std::u16string_view text) const {
  std::vector<Call> out;
  for (const Call& c : TextLines()) {
    if (c.text == text) out.push_back(c);
  }
  for (const Call& c : calls) {
    if (c.op == Op::kTextInBox && c.text == text) out.push_back(c);
  }
  return out;
}

bool TestSurface::Add(Call c) {
  c.surface = id_;
  c.clip = clip_;
  c.failed = log_->failIf && log_->failIf(c);
  log_->calls.push_back(c);
  if (c.failed) Record(DrawStatus::kGenericError);
  return !c.failed;
}

void TestSurface::FillRect(const RectF& r, Argb color) { Add(Make(Op::kFillRect, r, color)); }

void TestSurface::FrameRect(const RectF& r, Argb color) { Add(Make(Op::kFrameRect, r, color)); }

void TestSurface::DrawLine(Argb color, PointF from, PointF to) {
  Call c = Make(Op::kLine);
  c.color = color;
  c.points = {from, to};
  Add(c);
}

void TestSurface::FillPolygon(Argb color, const PointF* points, size_t count) {
  Call c = Make(Op::kPolygon);
  c.color = color;
  c.points.assign(points, points + count);
  Add(c);
}

void TestSurface::FillPath(Argb color, const Path& path) {
  Call c = Make(Op::kPath);
  c.color = color;
  c.points.assign(path.points(), path.points() + path.size());
  Add(c);
}

bool TestSurface::MeasureText(std::u16string_view text, const Font& font, PointF origin, RectF* box) {
  const auto& f = static_cast<const TestFont&>(font);
  Call c = Make(Op::kMeasure);
  c.text.assign(text);
  c.style = f.fontStyle;
  if (!Add(c)) return false;
  *box = {origin.x, origin.y, 0, 0};
  if (text.empty()) return true;
  for (std::u16string_view line : Lines(text)) {
    box->width = std::max(box->width, f.CharWidth() * static_cast<float>(line.size()));
    box->height += f.LineHeight(line);
  }
  return true;
}

void TestSurface::DrawTextAt(std::u16string_view text, const Font& font, Argb color, PointF at) {
  Call c = Make(Op::kText);
  c.text.assign(text);
  c.color = color;
  c.points = {at};
  c.style = font.style();
  c.lineHeight = static_cast<const TestFont&>(font).LineHeight();
  Add(c);
}

void TestSurface::DrawTextInBox(std::u16string_view text, const Font& font, Argb color, const RectF& box, bool) {
  Call c = Make(Op::kTextInBox, box);
  c.text.assign(text);
  c.color = color;
  c.style = font.style();
  Add(c);
}

bool TestSurface::PushClip(const RectF& r) {
  if (!Add(Make(Op::kPushClip, r))) return false;
  saved_.push_back(clip_);
  clip_ = r;
  return true;
}

void TestSurface::PopClip() {
  Add(Make(Op::kPopClip));
  if (saved_.empty()) return;
  clip_ = saved_.back();
  saved_.pop_back();
}

void TestSurface::FillGradient(const RectI& r, Argb from, Argb to, float angleDegrees) {
  Call c = Make(Op::kGradient);
  c.rectI = r;
  c.color = from;
  c.color2 = to;
  c.points = {{angleDegrees, 0}};
  Add(c);
}

void TestSurface::FrameRectInset(const RectI& r, Argb color) {
  Call c = Make(Op::kFrameInset);
  c.rectI = r;
  c.color = color;
  Add(c);
}

std::unique_ptr<OffscreenFrame> TestSurface::CreateOffscreen(SizeI size) {
  Call c = Make(Op::kOffscreen);
  c.rectI = {0, 0, size.width, size.height};
  if (!Add(c)) return nullptr;
  const int id = log_->surfaces++;
  auto surface = std::unique_ptr<TestSurface>(new TestSurface(log_, id));
  return std::make_unique<TestFrame>(std::move(surface), [this, size] {
    Call p = Make(Op::kPresent);
    p.rectI = {0, 0, size.width, size.height};
    Add(p);
  });
}

}  // namespace quillet::testing
