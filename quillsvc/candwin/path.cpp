#include "quillsvc/candwin/path.h"

namespace quillet {

bool Path::AddLines(const PointF* points, size_t count) {
  bool all = true;
  for (size_t i = 0; i < count; ++i) {
    if (count_ == kMaxPoints) {
      all = false;
      break;
    }
    points_[count_++] = points[i];
  }
  return all;
}

bool Path::Contains(PointF p) const {
  if (count_ < 3) return false;
  // Crossings of a ray to the right. An edge counts for rows from its top end (inclusive) to its
  // bottom end (exclusive), and only when it lies strictly right of the point: left and top edges are
  // then inside, right and bottom edges outside.
  bool inside = false;
  for (size_t i = 0, j = count_ - 1; i < count_; j = i++) {
    const PointF a = points_[i];
    const PointF b = points_[j];
    if ((a.y > p.y) == (b.y > p.y)) continue;
    const float x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
    if (p.x < x) inside = !inside;
  }
  return inside;
}

}  // namespace quillet
