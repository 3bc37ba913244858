#include "quillsvc/candwin/path.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

// A tab outline: x 10, y 0, width 60, height 20.
Path Tab() {
  Path p;
  const PointF outline[] = {{30, 0}, {50, 0}, {70, 20}, {10, 20}, {30, 0}};
  p.AddLines(outline, 5);
  return p;
}

TEST(PathTest, SlantedSidesBoundTheInside) {
  const Path p = Tab();
  EXPECT_TRUE(p.Contains({40, 10}));
  EXPECT_TRUE(p.Contains({21, 10}));   // just inside the left slope (x 20 at this height)
  EXPECT_FALSE(p.Contains({19, 10}));  // just outside it
  EXPECT_TRUE(p.Contains({59, 10}));
  EXPECT_FALSE(p.Contains({61, 10}));
  EXPECT_FALSE(p.Contains({12, 1}));  // the empty corner left of the slope, inside the bounding box
}

TEST(PathTest, LeftAndTopEdgesAreInsideRightAndBottomOutside) {
  const Path p = Tab();
  EXPECT_TRUE(p.Contains({20, 10}));   // on the left slope
  EXPECT_FALSE(p.Contains({60, 10}));  // on the right slope
  EXPECT_TRUE(p.Contains({40, 0}));
  EXPECT_FALSE(p.Contains({40, 20}));
}

TEST(PathTest, ResetEmptiesAndExtraPointsAreRefused) {
  Path p = Tab();
  p.Reset();
  EXPECT_FALSE(p.Contains({40, 10}));
  const PointF many[Path::kMaxPoints + 1] = {};
  EXPECT_FALSE(p.AddLines(many, Path::kMaxPoints + 1));
  EXPECT_EQ(p.size(), Path::kMaxPoints);
}

}  // namespace
}  // namespace quillet
