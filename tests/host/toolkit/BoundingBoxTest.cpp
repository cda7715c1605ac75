#include "host/toolkit/BoundingBox.h"
#include "host/toolkit/Interval.h"
#include "host/toolkit/Plane.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <tuple>

namespace {

TEST(BoundingBox, GrowsByUnionAndIgnoresInvalidBoxesAndNonFinitePoints) {
  TK_BoundingBox box;
  EXPECT_FALSE(box.IsValid());
  box.Union(TK_3dPoint(1, 2, 3));
  EXPECT_EQ(box, TK_BoundingBox({1, 2, 3}, {1, 2, 3}));
  box.Union(TK_3dPoint(-1, 5, 0));
  EXPECT_EQ(box, TK_BoundingBox({-1, 2, 0}, {1, 5, 3}));
  const TK_BoundingBox before = box;
  box.Union(TK_BoundingBox());
  box.Union(TK_3dPoint(NAN, 0, 0));
  box.Union(TK_3dPoint(0, INFINITY, 0));
  EXPECT_EQ(box, before);
  TK_BoundingBox empty;
  empty.Union(before);  // an invalid box becomes the valid one
  EXPECT_EQ(empty, before);
  box.Union(TK_BoundingBox({4, -7, 1}, {6, 0, 2}));
  EXPECT_EQ(box, TK_BoundingBox({-1, -7, 0}, {6, 5, 3}));
  EXPECT_FALSE(TK_BoundingBox({0, 0, 1}, {1, 1, 0}).IsValid());
}

TEST(BoundingBox, CentreCornersAndTheFarthestCorner) {
  const TK_BoundingBox box({-1, 0, 2}, {3, 4, 10});
  EXPECT_EQ(box.Center(), TK_3dPoint(1, 2, 6));
  std::set<std::tuple<double, double, double>> corners;
  for (int i = 0; i < 8; ++i) {
    const TK_3dPoint c = box.Corner(i);
    EXPECT_TRUE((c.x == -1 || c.x == 3) && (c.y == 0 || c.y == 4) && (c.z == 2 || c.z == 10)) << i;
    corners.insert({c.x, c.y, c.z});
  }
  EXPECT_EQ(corners.size(), 8u);
  EXPECT_EQ(box.Corner(0), box.Min());
  EXPECT_EQ(box.Corner(7), box.Max());

  const TK_BoundingBox far_box({0, 0, 0}, {10, 4, 2});
  for (const TK_3dPoint& p : {TK_3dPoint(1, 1, 1), TK_3dPoint(9, 3, 0.5), TK_3dPoint(-50, 2, 100), TK_3dPoint(20, -3, 1.5)}) {
    double best = 0;
    for (int i = 0; i < 8; ++i) best = std::max(best, p.DistanceTo(far_box.Corner(i)));
    EXPECT_DOUBLE_EQ(p.DistanceTo(far_box.FarPoint(p)), best);
  }
  EXPECT_EQ(far_box.FarPoint({5, 2, 1}), TK_3dPoint(10, 4, 2));  // ties take the maximum
  EXPECT_EQ(TK_BoundingBox().FarPoint({3, 4, 5}), TK_3dPoint(3, 4, 5));  // nothing is far in an empty box
}

TEST(IntervalAndPlane, ParametersAndDistances) {
  EXPECT_DOUBLE_EQ(TK_Interval(0.25, 1.0).ParameterAt(0.5), 0.625);
  EXPECT_DOUBLE_EQ(TK_Interval(4, 2).ParameterAt(0.25), 3.5);
  const TK_Plane plane({1, 2, 3}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0});
  EXPECT_EQ(plane.PointAt(2, -1), TK_3dPoint(1, 4, 2));
  EXPECT_DOUBLE_EQ(plane.DistanceTo({5, 9, 9}), 4.0);
  EXPECT_DOUBLE_EQ(plane.DistanceTo({-1, 0, 0}), -2.0);
}

}  // namespace
