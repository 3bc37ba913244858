// A closed polygon of a few points: the outline of a tab, filled by the surface and tested for hits
// without one. Alternate (even-odd) fill rule, as the surfaces fill it.
#pragma once

#include <array>
#include <cstddef>

#include "quillsvc/candwin/geometry.h"

namespace quillet {

class Path {
 public:
  static constexpr size_t kMaxPoints = 8;

  void Reset() { count_ = 0; }
  // Appends the points as one connected line; the figure closes on its first point. Points beyond
  // kMaxPoints are dropped (false).
  bool AddLines(const PointF* points, size_t count);
  // Even-odd rule: a point on a left or top edge is inside, on a right or bottom edge outside.
  bool Contains(PointF p) const;

  const PointF* points() const { return points_.data(); }
  size_t size() const { return count_; }

 private:
  std::array<PointF, kMaxPoints> points_{};
  size_t count_ = 0;
};

}  // namespace quillet
