// The base of every widget of the candidate window, and the palette convention they share: with
// c = colorSet, slot c is the text or glyph colour, slot c + 2 fills the widget and slot c + 4 is its
// 1-pixel border. Highlighted parts (the selected row, a pressed arrow) use the highlight slots directly.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/settings_record.h"
#include "quillsvc/candwin/geometry.h"
#include "quillsvc/candwin/surface.h"

namespace quillet {

// Slot 0 to 5 of a palette, in the record's order; anything else reads as transparent.
Argb PaletteSlot(const ElementColors& p, int32_t slot);

class CWidgetBase {
 public:
  explicit CWidgetBase(bool shown) : visible(shown) {}
  virtual ~CWidgetBase() = default;
  CWidgetBase(const CWidgetBase&) = delete;
  CWidgetBase& operator=(const CWidgetBase&) = delete;

  // -1 when `p` is not on the widget, otherwise a widget-specific index.
  virtual int32_t HitTest(PointF p) const = 0;
  // Sets the position to `origin` and computes the size.
  virtual void Measure(Surface& s, PointF origin, const Font& font) = 0;
  // `palettes` holds `count` palettes: one for most widgets, one per tab for the tab strip. `font` may
  // be null for widgets without text.
  virtual void Draw(Surface& s, const ElementColors* const* palettes, size_t count, const Font* font) = 0;

  Argb Foreground(const ElementColors& p) const { return PaletteSlot(p, colorSet); }
  Argb Background(const ElementColors& p) const { return PaletteSlot(p, colorSet + 2); }
  Argb Border(const ElementColors& p) const { return PaletteSlot(p, colorSet + 4); }

  bool visible;
  RectF bounds;
  int32_t colorSet = 0;  // 0 normal, 1 highlight; nothing here changes it
};

}  // namespace quillet
