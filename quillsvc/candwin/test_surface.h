// A deterministic surface and font factory for native tests: fixed glyph metrics, every call recorded,
// failures injected by a predicate.
//
// Metrics: every UTF-16 code unit is half the font size wide, a line is 1.25 times the size high (a
// 16-pixel font: 8 per character, 20 per line); an empty text measures 0 x 0. A text of several lines
// (separated by '\n') is as wide as its widest line and has its lines one line height apart. A line
// with a character from U+3000 on measures half as high again, as if a fallback font drew it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "quillsvc/candwin/surface.h"

namespace quillet::testing {

class TestFont : public Font {
 public:
  TestFont(std::u16string family, float sizePx, FontStyle style, DrawStatus status)
      : family(std::move(family)), sizePx(sizePx), fontStyle(style), fontStatus(status) {}
  DrawStatus status() const override { return fontStatus; }
  FontStyle style() const override { return fontStyle; }
  std::unique_ptr<Font> WithStyle(FontStyle style) const override;

  float CharWidth() const { return sizePx / 2; }
  float LineHeight() const { return sizePx * 1.25f; }
  // The height of one line of `line` (no '\n' in it): higher with a fallback font's character.
  float LineHeight(std::u16string_view line) const;

  std::u16string family;
  float sizePx;
  FontStyle fontStyle;
  DrawStatus fontStatus;
};

class TestFontFactory : public FontFactory {
 public:
  std::unique_ptr<Font> MakeFont(std::u16string_view family, float sizePx, FontStyle style) override;

  std::set<std::u16string> failedFamilies;   // fonts of these families come back in a failed state
  std::set<std::u16string> missingFamilies;  // these give null (no font object at all)
  std::vector<std::u16string> requested;     // every family asked for
};

enum class Op {
  kFillRect,
  kFrameRect,
  kLine,
  kPolygon,
  kPath,
  kMeasure,
  kText,
  kTextInBox,
  kPushClip,
  kPopClip,
  kGradient,
  kFrameInset,
  kOffscreen,
  kPresent,
};

struct Call {
  Op op = Op::kFillRect;
  int surface = 0;  // 0 the window surface, 1 and up its off-screen frames in order of creation
  RectF rect;
  RectI rectI;
  Argb color = 0;
  Argb color2 = 0;
  std::u16string text;
  std::vector<PointF> points;
  FontStyle style = FontStyle::kRegular;
  std::optional<RectF> clip;  // in force when the call was made; none = unclipped
  bool failed = false;
  float lineHeight = 0;  // of the font of a text call: where its second and further lines go
};

struct CallLog {
  std::vector<Call> calls;
  // Returning true makes the call fail: its status is recorded on the surface and, for drawing, nothing
  // is drawn.
  std::function<bool(const Call&)> failIf;
  int surfaces = 1;

  std::vector<Call> Of(Op op) const;
  // The text calls (drawn at a point) one line at a time, in drawing order: a call of several lines
  // becomes one call per line, each at its own point.
  std::vector<Call> TextLines() const;
  // Lines drawn as `text` (at a point, one line of a text of several, or in a box).
  std::vector<Call> Texts(std::u16string_view text) const;
};

class TestSurface : public Surface {
 public:
  TestSurface() : log_(std::make_shared<CallLog>()) {}

  void FillRect(const RectF& r, Argb color) override;
  void FrameRect(const RectF& r, Argb color) override;
  void DrawLine(Argb color, PointF from, PointF to) override;
  void FillPolygon(Argb color, const PointF* points, size_t count) override;
  void FillPath(Argb color, const Path& path) override;
  bool MeasureText(std::u16string_view text, const Font& font, PointF origin, RectF* box) override;
  void DrawTextAt(std::u16string_view text, const Font& font, Argb color, PointF at) override;
  void DrawTextInBox(std::u16string_view text, const Font& font, Argb color, const RectF& box, bool trim) override;
  bool PushClip(const RectF& r) override;
  void PopClip() override;
  void FillGradient(const RectI& r, Argb from, Argb to, float angleDegrees) override;
  void FrameRectInset(const RectI& r, Argb color) override;
  std::unique_ptr<OffscreenFrame> CreateOffscreen(SizeI size) override;

  CallLog& log() { return *log_; }
  const std::optional<RectF>& clip() const { return clip_; }
  int id() const { return id_; }

 private:
  TestSurface(std::shared_ptr<CallLog> log, int id) : log_(std::move(log)), id_(id) {}
  // Records the call; false when it is made to fail.
  bool Add(Call c);

  std::shared_ptr<CallLog> log_;
  int id_ = 0;
  std::optional<RectF> clip_;
  std::vector<std::optional<RectF>> saved_;
};

}  // namespace quillet::testing
