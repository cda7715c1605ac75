#include "host/toolkit/BoundingBox.h"
#include "host/toolkit/Interval.h"
#include "host/toolkit/Plane.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <tuple>

namespace {

TEST(BoundingBox, StartsEmptyAndGrowsByUnion) {
  TK_BoundingBox box;
  EXPECT_FALSE(box.IsValid());
  box.Union(TK_3dPoint(1, 2, 3));
  ASSERT_TRUE(box.IsValid());
  EXPECT_EQ(box.Min(), TK_3dPoint(1, 2, 3));
  EXPECT_EQ(box.Max(), TK_3dPoint(1, 2, 3));
  box.Union(TK_3dPoint(-1, 5, 0));
  EXPECT_EQ(box.Min(), TK_3dPoint(-1, 2, 0));
  EXPECT_EQ(box.Max(), TK_3dPoint(1, 5, 3));
  // Invalid boxes and non-finite points add nothing.
  const TK_BoundingBox before = box;
  box.Union(TK_BoundingBox());
  box.Union(TK_3dPoint(NAN, 0, 0));
  box.Union(TK_3dPoint(0, INFINITY, 0));
  EXPECT_EQ(box, before);
  // An invalid box united with a valid one becomes it.
  TK_BoundingBox empty;
  empty.Union(before);
  EXPECT_EQ(empty, before);
  TK_BoundingBox other({4, -7, 1}, {6, 0, 2});
  box.Union(other);
  EXPECT_EQ(box.Min(), TK_3dPoint(-1, -7, 0));
  EXPECT_EQ(box.Max(), TK_3dPoint(6, 5, 3));
  box.Set({9, 9, 9});
  EXPECT_EQ(box.Min(), box.Max());
  EXPECT_FALSE(TK_BoundingBox({0, 0, 1}, {1, 1, 0}).IsValid());
}

TEST(BoundingBox, CentreAndCorners) {
  const TK_BoundingBox box({-1, 0, 2}, {3, 4, 10});
  EXPECT_EQ(box.Center(), TK_3dPoint(1, 2, 6));
  std::set<std::tuple<double, double, double>> corners;
  for (int i = 0; i < 8; ++i) {
    const TK_3dPoint c = box.Corner(i);
    EXPECT_TRUE(c.x == -1 || c.x == 3);
    EXPECT_TRUE(c.y == 0 || c.y == 4);
    EXPECT_TRUE(c.z == 2 || c.z == 10);
    corners.insert({c.x, c.y, c.z});
  }
  EXPECT_EQ(corners.size(), 8u);
  EXPECT_EQ(box.Corner(0), box.Min());
  EXPECT_EQ(box.Corner(7), box.Max());
}

TEST(BoundingBox, FarPointIsTheFarthestCorner) {
  const TK_BoundingBox box({0, 0, 0}, {10, 4, 2});
  const TK_3dPoint probes[] = {{1, 1, 1}, {9, 3, 0.5}, {-50, 2, 100}, {5, 2, 1}, {20, -3, 1.5}};
  for (const TK_3dPoint& p : probes) {
    const TK_3dPoint far = box.FarPoint(p);
    double best = 0;
    for (int i = 0; i < 8; ++i) best = std::max(best, p.DistanceTo(box.Corner(i)));
    EXPECT_DOUBLE_EQ(p.DistanceTo(far), best);
  }
  EXPECT_EQ(box.FarPoint({1, 1, 1}), TK_3dPoint(10, 4, 2));
  EXPECT_EQ(box.FarPoint({9, 3, 1.5}), TK_3dPoint(0, 0, 0));
  EXPECT_EQ(box.FarPoint({5, 2, 1}), TK_3dPoint(10, 4, 2));  // ties take the maximum
  // An empty box has nothing far away.
  EXPECT_EQ(TK_BoundingBox().FarPoint({3, 4, 5}), TK_3dPoint(3, 4, 5));
}

TEST(Interval, ParameterAtBlendsTheEnds) {
  const TK_Interval shadow(0.25, 1.0);
  EXPECT_DOUBLE_EQ(shadow.ParameterAt(0.0), 0.25);
  EXPECT_DOUBLE_EQ(shadow.ParameterAt(1.0), 1.0);
  EXPECT_DOUBLE_EQ(shadow.ParameterAt(0.5), 0.625);
  EXPECT_DOUBLE_EQ(TK_Interval(4, 2).ParameterAt(0.25), 3.5);
}

TEST(Plane, PointAtAndDistance) {
  const TK_Plane plane({1, 2, 3}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0});
  EXPECT_EQ(plane.PointAt(0, 0), TK_3dPoint(1, 2, 3));
  EXPECT_EQ(plane.PointAt(2, -1), TK_3dPoint(1, 4, 2));
  EXPECT_DOUBLE_EQ(plane.DistanceTo({5, 9, 9}), 4.0);
  EXPECT_DOUBLE_EQ(plane.DistanceTo({-1, 0, 0}), -2.0);
}

}  // namespace
