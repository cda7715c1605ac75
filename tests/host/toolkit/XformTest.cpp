#include "host/toolkit/Xform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

TK_Xform FromRows(const double (&m)[4][4]) {
  TK_Xform x;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) x[i][j] = m[i][j];
  return x;
}

void ExpectNearPoint(const TK_3dPoint& a, const TK_3dPoint& b, double tol = 1e-12) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

TEST(Xform, PointsDivideByWAndVectorsIgnoreTranslation) {
  TK_Xform m = TK_Xform::Translation({1, 2, 3});
  m[3][3] = 2.0;  // w = 2 for every point
  ExpectNearPoint(m * TK_3dPoint(1, 1, 1), {1.0, 1.5, 2.0});
  const TK_3dVector v = m * TK_3dVector(1, 1, 1);
  EXPECT_EQ(v, TK_3dVector(1, 1, 1));

  // A point sent to infinity (w = 0) stays finite: its coordinates are not divided.
  TK_Xform p = TK_Xform::Identity();
  p[3][2] = -1.0;
  p[3][3] = 0.0;
  const TK_3dPoint q = p * TK_3dPoint(4, 5, 0);
  EXPECT_EQ(q, TK_3dPoint(4, 5, 0));
}

TEST(Xform, ProductAppliesRightOperandFirst) {
  const TK_Xform t = TK_Xform::Translation({10, 0, 0});
  const TK_Xform s = TK_Xform::Scale(2, 3, 4);
  ExpectNearPoint((t * s) * TK_3dPoint(1, 1, 1), {12, 3, 4});
  ExpectNearPoint((s * t) * TK_3dPoint(1, 1, 1), {22, 3, 4});
}

TEST(Xform, TransposeSwapsRowsAndColumns) {
  TK_Xform m = FromRows({{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}});
  m.Transpose();
  EXPECT_EQ(m[0][3], 13);
  EXPECT_EQ(m[3][0], 4);
  EXPECT_EQ(m[1][2], 10);
  EXPECT_EQ(m[2][2], 11);
  m.Transpose();
  EXPECT_EQ(m, FromRows({{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}}));
}

TEST(Xform, InvertGivesTheInverseOfGeneralAndBadlyScaledMatrices) {
  const TK_Xform cases[] = {
      FromRows({{2, -1, 0, 3}, {1, 3, 2, -4}, {0, 1, 5, 2}, {0.5, 0, 0.25, 1}}),
      FromRows({{0, 1, 0, 0}, {0, 0, 1, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}}),  // needs pivoting
      TK_Xform::Rotation(0.7, {1, 2, 3}, {4, 5, 6}),
  };
  for (const TK_Xform& m : cases) {
    TK_Xform inv = m;
    ASSERT_TRUE(inv.Invert());
    EXPECT_TRUE((m * inv).IsIdentity(1e-12));
    EXPECT_TRUE((inv * m).IsIdentity(1e-12));
  }
  // Rows of very different magnitude (pixels next to tiny units) are not
  // mistaken for a singular matrix; the inverse is exact to rounding.
  TK_Xform scaled = TK_Xform::Scale(1e8, 1e-8, 1) * TK_Xform::Translation({1e5, -3, 7});
  const TK_Xform expected = TK_Xform::Translation({-1e5, 3, -7}) * TK_Xform::Scale(1e-8, 1e8, 1);
  ASSERT_TRUE(scaled.Invert());
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(scaled[i][j], expected[i][j], 1e-15 * std::fabs(expected[i][j]));
}

TEST(Xform, InvertRefusesSingularMatricesAndLeavesThemAlone) {
  const TK_Xform singular = FromRows({{1, 2, 3, 4}, {2, 4, 6, 8}, {0, 1, 0, 0}, {0, 0, 0, 1}});
  TK_Xform m = singular;
  EXPECT_FALSE(m.Invert());
  EXPECT_EQ(m, singular);
  TK_Xform zero = TK_Xform::Zero();
  EXPECT_FALSE(zero.Invert());
  TK_Xform flat = TK_Xform::Scale(1, 1, 0);
  EXPECT_FALSE(flat.Invert());
  TK_Xform nan = TK_Xform::Identity();
  nan[1][1] = std::nan("");
  EXPECT_FALSE(nan.Invert());
}

TEST(Xform, RotationFollowsTheRightHandRuleAboutAnAxisThroughACentre) {
  const double quarter = std::numbers::pi / 2;
  // About +z through (1, 0, 0): (2, 0, 0) goes to (1, 1, 0).
  ExpectNearPoint(TK_Xform::Rotation(quarter, {0, 0, 1}, {1, 0, 0}) * TK_3dPoint(2, 0, 0), {1, 1, 0});
  // About +x: +y goes to +z; about +y: +z goes to +x. The axis length does not matter.
  ExpectNearPoint(TK_Xform::Rotation(quarter, {5, 0, 0}, {0, 0, 0}) * TK_3dPoint(0, 1, 0), {0, 0, 1});
  ExpectNearPoint(TK_Xform::Rotation(quarter, {0, 0.5, 0}, {0, 0, 0}) * TK_3dPoint(0, 0, 1), {1, 0, 0});
  // Points on the axis stay; the turn keeps distances to the axis.
  const TK_Xform r = TK_Xform::Rotation(1.1, {1, 1, 1}, {2, -1, 3});
  ExpectNearPoint(r * TK_3dPoint(4, 1, 5), {4, 1, 5});
  const TK_3dPoint p(7, 0, -2), rp = r * p;
  EXPECT_NEAR(rp.DistanceTo({2, -1, 3}), p.DistanceTo({2, -1, 3}), 1e-12);
  // Turning back undoes it.
  ExpectNearPoint(TK_Xform::Rotation(-1.1, {1, 1, 1}, {2, -1, 3}) * rp, p);

  bool ok = true;
  EXPECT_TRUE(TK_Xform::Rotation(1.0, {0, 0, 0}, {1, 2, 3}, &ok).IsIdentity());
  EXPECT_FALSE(ok);
}

}  // namespace
