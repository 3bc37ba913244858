// Points and rectangles of the candidate window. Widgets work in float client pixels; the window, the
// screen and the monitor work areas in integer pixels. "Inside" means left and top inclusive, right
// and bottom exclusive.
#pragma once

#include <cstdint>

namespace quillet {

struct PointF {
  float x = 0;
  float y = 0;
};

struct RectF {
  float x = 0;
  float y = 0;
  float width = 0;
  float height = 0;

  float right() const { return x + width; }
  float bottom() const { return y + height; }
  bool Contains(PointF p) const { return p.x >= x && p.y >= y && p.x < x + width && p.y < y + height; }
};

// Edges, as the window system gives them.
struct RectI {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  int32_t width() const { return right - left; }
  int32_t height() const { return bottom - top; }
  RectI MovedTo(int32_t x, int32_t y) const { return {x, y, x + width(), y + height()}; }
  bool operator==(const RectI& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
  bool operator!=(const RectI& o) const { return !(*this == o); }
};

struct SizeI {
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const SizeI& o) const { return width == o.width && height == o.height; }
};

}  // namespace quillet
