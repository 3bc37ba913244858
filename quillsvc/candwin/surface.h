// The drawing interface the widgets and the candidate window are written against. GDI+ implements it
// on Windows; a deterministic surface with fixed glyph metrics implements it for the native tests.
//
// Failures travel as a sticky last status: an operation that fails records its status on the surface,
// a success leaves the recorded one as it is, and TakeStatus reads and resets it. The widget manager
// takes it before each widget and skips the widget when it was not Ok, so one failure costs only the
// next widget of a frame. Drawing objects (brushes, pens, formats, regions) live inside one operation;
// fonts are kept, and each font keeps what stays the same for it from one paint to the next: the sizes
// of the texts measured with it and its other styles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/settings_record.h"
#include "quillsvc/candwin/geometry.h"
#include "quillsvc/candwin/path.h"

namespace quillet {

// The numbering is the one GDI+ reports, so that its statuses pass through unchanged.
enum class DrawStatus : int32_t {
  kOk = 0,
  kGenericError = 1,
  kInvalidParameter = 2,
  kOutOfMemory = 3,
  kFontFamilyNotFound = 14,
};

// Style bits, as GDI+ numbers them.
enum class FontStyle : int32_t { kRegular = 0, kBold = 1, kItalic = 2, kBoldItalic = 3 };

// The boxes of the texts last measured with one font, relative to the point they were measured from;
// at most kCapacity, the least recently used making room.
class TextSizeCache {
 public:
  static constexpr size_t kCapacity = 64;

  // The box of `text` measured from `origin`; false when it is not kept.
  bool Find(std::u16string_view text, PointF origin, RectF* box);
  void Keep(std::u16string_view text, PointF origin, const RectF& box);
  size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    std::u16string text;
    RectF offsetBox;  // x and y relative to the origin
    uint64_t used = 0;
  };
  std::vector<Entry> entries_;
  uint64_t clock_ = 0;
};

// A font made once and kept (the widget manager owns four); sizes are in pixels.
class Font {
 public:
  Font() = default;
  virtual ~Font() = default;
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  // Anything but Ok marks a font that must not be used.
  virtual DrawStatus status() const = 0;
  virtual FontStyle style() const = 0;
  // The same family and pixel size in another style; null when it cannot be made.
  virtual std::unique_ptr<Font> WithStyle(FontStyle style) const = 0;

  // WithStyle made once and kept with this font; null (nothing kept) when it cannot be made.
  const Font* Styled(FontStyle style) const;
  // What was measured with this font (see MeasureTextOnce).
  TextSizeCache& measured() const { return measured_; }

 private:
  mutable std::unique_ptr<Font> styled_;
  mutable TextSizeCache measured_;
};

class FontFactory {
 public:
  virtual ~FontFactory() = default;
  // A font of `family` (an empty name stands for the default family) at `sizePx` pixels. A family that
  // is not installed falls back to one that is and draws real glyphs; null only when no font object
  // could be made at all.
  virtual std::unique_ptr<Font> MakeFont(std::u16string_view family, float sizePx, FontStyle style) = 0;
};

class Surface;

// A bitmap compatible with a window surface, drawn onto it at (0, 0) with its own size by Present.
class OffscreenFrame {
 public:
  virtual ~OffscreenFrame() = default;
  virtual Surface& surface() = 0;
  virtual void Present() = 0;
};

class Surface {
 public:
  virtual ~Surface() = default;

  virtual void FillRect(const RectF& r, Argb color) = 0;
  // 1-pixel pen, centred on the outline.
  virtual void FrameRect(const RectF& r, Argb color) = 0;
  virtual void DrawLine(Argb color, PointF from, PointF to) = 0;
  // Alternate fill mode.
  virtual void FillPolygon(Argb color, const PointF* points, size_t count) = 0;
  virtual void FillPath(Argb color, const Path& path) = 0;

  // The bounding box of `text` laid out from `origin` with no size limit and no format. False (status
  // recorded, *box untouched) when it could not be measured.
  virtual bool MeasureText(std::u16string_view text, const Font& font, PointF origin, RectF* box) = 0;
  // From a point: no layout box, no format, no clipping.
  virtual void DrawTextAt(std::u16string_view text, const Font& font, Argb color, PointF at) = 0;
  // Centred horizontally in `box`; `trim` cuts at a character boundary where the text does not fit.
  virtual void DrawTextInBox(std::u16string_view text, const Font& font, Argb color, const RectF& box, bool trim) = 0;

  // Saves the current clip and narrows it to `r`; false when the clip could not be saved (then it is
  // left as it was and PopClip must not be called). PopClip restores the saved clip.
  virtual bool PushClip(const RectF& r) = 0;
  virtual void PopClip() = 0;

  // The window's own background: a linear gradient over `r` at `angleDegrees` (not scaled, tiled),
  // and a 1-pixel border drawn inside `r`.
  virtual void FillGradient(const RectI& r, Argb from, Argb to, float angleDegrees) = 0;
  virtual void FrameRectInset(const RectI& r, Argb color) = 0;

  // Null (status recorded) when the bitmap or its surface cannot be made.
  virtual std::unique_ptr<OffscreenFrame> CreateOffscreen(SizeI size) = 0;

  DrawStatus status() const { return status_; }
  DrawStatus TakeStatus() {
    const DrawStatus s = status_;
    status_ = DrawStatus::kOk;
    return s;
  }
  void Record(DrawStatus s) {
    if (s != DrawStatus::kOk) status_ = s;
  }

 private:
  DrawStatus status_ = DrawStatus::kOk;
};

// MeasureText, once per text and font: the box of a text measured before with the same font is moved to
// `origin` instead of being measured again. Failures are not kept (the next call measures again).
bool MeasureTextOnce(Surface& s, std::u16string_view text, const Font& font, PointF origin, RectF* box);

// Narrows the clip for a scope and restores the previous clip at its end.
class ClipScope {
 public:
  ClipScope(Surface& s, const RectF& r) : s_(s), pushed_(s.PushClip(r)) {}
  ~ClipScope() {
    if (pushed_) s_.PopClip();
  }
  ClipScope(const ClipScope&) = delete;
  ClipScope& operator=(const ClipScope&) = delete;

 private:
  Surface& s_;
  bool pushed_;
};

}  // namespace quillet
