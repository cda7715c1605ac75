#include "host/toolkit/Xform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "support/Near.h"

namespace {

TK_Xform FromRows(const double (&m)[4][4]) {
  TK_Xform x;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) x[i][j] = m[i][j];
  return x;
}

TEST(Xform, PointsDivideByWVectorsIgnoreTranslationAndProductsApplyTheRightOperandFirst) {
  TK_Xform m = TK_Xform::Translation({1, 2, 3});
  m[3][3] = 2.0;  // w = 2 for every point
  EXPECT_TRUE(Near(m * TK_3dPoint(1, 1, 1), TK_3dPoint(1.0, 1.5, 2.0), 1e-12));
  EXPECT_EQ(m * TK_3dVector(1, 1, 1), TK_3dVector(1, 1, 1));
  // A point sent to infinity (w = 0) stays finite: its coordinates are not divided.
  TK_Xform p = TK_Xform::Identity();
  p[3][2] = -1.0;
  p[3][3] = 0.0;
  EXPECT_EQ(p * TK_3dPoint(4, 5, 0), TK_3dPoint(4, 5, 0));

  const TK_Xform t = TK_Xform::Translation({10, 0, 0}), s = TK_Xform::Scale(2, 3, 4);
  EXPECT_TRUE(Near((t * s) * TK_3dPoint(1, 1, 1), TK_3dPoint(12, 3, 4), 1e-12));
  EXPECT_TRUE(Near((s * t) * TK_3dPoint(1, 1, 1), TK_3dPoint(22, 3, 4), 1e-12));
}

TEST(Xform, TransposeSwapsRowsAndColumns) {
  const double rows[4][4] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}};
  TK_Xform m = FromRows(rows);
  m.Transpose();
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_EQ(m[i][j], rows[j][i]);
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
  TK_Xform nan = TK_Xform::Identity();
  nan[1][1] = std::nan("");
  const TK_Xform cases[] = {FromRows({{1, 2, 3, 4}, {2, 4, 6, 8}, {0, 1, 0, 0}, {0, 0, 0, 1}}), TK_Xform::Zero(),
                            TK_Xform::Scale(1, 1, 0), nan};
  for (const TK_Xform& singular : cases) {
    TK_Xform m = singular;
    EXPECT_FALSE(m.Invert());
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) EXPECT_TRUE(m[i][j] == singular[i][j] || std::isnan(m[i][j]));
  }
}

TEST(Xform, RotationFollowsTheRightHandRuleAboutAnAxisThroughACentre) {
  const double quarter = std::numbers::pi / 2;
  // About +z through (1, 0, 0): (2, 0, 0) goes to (1, 1, 0).
  EXPECT_TRUE(Near(TK_Xform::Rotation(quarter, {0, 0, 1}, {1, 0, 0}) * TK_3dPoint(2, 0, 0), TK_3dPoint(1, 1, 0), 1e-12));
  // About +x: +y goes to +z; about +y: +z goes to +x. The axis length does not matter.
  EXPECT_TRUE(Near(TK_Xform::Rotation(quarter, {5, 0, 0}, {0, 0, 0}) * TK_3dPoint(0, 1, 0), TK_3dPoint(0, 0, 1), 1e-12));
  EXPECT_TRUE(Near(TK_Xform::Rotation(quarter, {0, 0.5, 0}, {0, 0, 0}) * TK_3dPoint(0, 0, 1), TK_3dPoint(1, 0, 0), 1e-12));
  // Points on the axis stay; the turn keeps distances to the axis; turning back undoes it.
  const TK_Xform r = TK_Xform::Rotation(1.1, {1, 1, 1}, {2, -1, 3});
  EXPECT_TRUE(Near(r * TK_3dPoint(4, 1, 5), TK_3dPoint(4, 1, 5), 1e-12));
  const TK_3dPoint p(7, 0, -2), rp = r * p;
  EXPECT_NEAR(rp.DistanceTo({2, -1, 3}), p.DistanceTo({2, -1, 3}), 1e-12);
  EXPECT_TRUE(Near(TK_Xform::Rotation(-1.1, {1, 1, 1}, {2, -1, 3}) * rp, p, 1e-12));

  bool ok = true;
  EXPECT_TRUE(TK_Xform::Rotation(1.0, {0, 0, 0}, {1, 2, 3}, &ok).IsIdentity());
  EXPECT_FALSE(ok);
}

}  // namespace
