#include "host/toolkit/Light.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

void ExpectNearVector(const TK_3dVector& a, const TK_3dVector& b, double tol = 1e-12) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

TEST(LightAttenuation, InverseOfTheQuadraticAndZeroWhenNotPositive) {
  TK_Light light;
  EXPECT_EQ(light.AttenuationCoefficients(), TK_3dVector(1, 0, 0));
  EXPECT_DOUBLE_EQ(light.Attenuation(0.0), 1.0);
  EXPECT_DOUBLE_EQ(light.Attenuation(123.0), 1.0);
  ASSERT_TRUE(light.SetAttenuation(0, 0, 1));
  EXPECT_DOUBLE_EQ(light.Attenuation(2.0), 0.25);
  EXPECT_EQ(light.Attenuation(0.0), 0.0);  // denominator 0
  ASSERT_TRUE(light.SetAttenuation(1, 0.5, 0.25));
  EXPECT_DOUBLE_EQ(light.Attenuation(2.0), 1.0 / 3.0);
  ASSERT_TRUE(light.SetAttenuation(1, -1, 0));
  EXPECT_EQ(light.Attenuation(1.0), 0.0);
  EXPECT_EQ(light.Attenuation(3.0), 0.0);  // negative
  EXPECT_DOUBLE_EQ(light.Attenuation(0.5), 2.0);
  ASSERT_TRUE(light.SetAttenuation(0, 0, 0));
  EXPECT_EQ(light.Attenuation(5.0), 0.0);
  EXPECT_FALSE(light.SetAttenuation(1, NAN, 0));
  EXPECT_EQ(light.AttenuationCoefficients(), TK_3dVector(0, 0, 0));
}

TEST(LightStyle, KindsAreDistinctAndTheDefaultLightStyleIsAPointLight) {
  EXPECT_EQ(int(TK::camera_point_light), 7);
  TK_Light light;
  const TK::light_style styles[] = {TK::point_light, TK::directional_light, TK::spot_light, TK::linear_light,
                                    TK::rectangular_light, TK::camera_point_light};
  for (TK::light_style style : styles) {
    ASSERT_TRUE(light.SetStyle(style));
    EXPECT_EQ(light.Style(), style);
    const int kinds = int(light.IsPointLight()) + int(light.IsDirectionalLight()) + int(light.IsSpotLight()) +
                      int(light.IsLinearLight()) + int(light.IsRectangularLight());
    EXPECT_EQ(kinds, 1) << style;
  }
  ASSERT_TRUE(light.SetStyle(TK::camera_point_light));
  EXPECT_TRUE(light.IsPointLight());
  EXPECT_FALSE(light.SetStyle(TK::unknown_light_style));
  EXPECT_FALSE(light.SetStyle(TK::light_style(6)));
  EXPECT_EQ(light.Style(), TK::camera_point_light);
}

TEST(LightFields, RangesAreKept) {
  TK_Light light;
  ASSERT_TRUE(light.SetShadowIntensity(1.5));
  EXPECT_EQ(light.ShadowIntensity(), 1.0);
  ASSERT_TRUE(light.SetShadowIntensity(-0.5));
  EXPECT_EQ(light.ShadowIntensity(), 0.0);
  ASSERT_TRUE(light.SetShadowIntensity(0.3));
  EXPECT_EQ(light.ShadowIntensity(), 0.3);
  EXPECT_FALSE(light.SetSpotAngleRadians(0.0));
  EXPECT_FALSE(light.SetSpotAngleRadians(2.0));
  ASSERT_TRUE(light.SetSpotAngleRadians(std::numbers::pi / 2));
  ASSERT_TRUE(light.SetSpotAngleRadians(0.4));
  EXPECT_EQ(light.SpotAngleRadians(), 0.4);
  // The direction is stored as given, not made unit.
  ASSERT_TRUE(light.SetDirection({0, 0, -5}));
  EXPECT_EQ(light.Direction(), TK_3dVector(0, 0, -5));
  EXPECT_FALSE(light.SetLocation({NAN, 0, 0}));
  EXPECT_EQ(light.Location(), TK_3dPoint(0, 0, 0));
}

TEST(LightTransform, MovesLocationAndTurnsVectors) {
  TK_Light light;
  ASSERT_TRUE(light.SetStyle(TK::rectangular_light));
  ASSERT_TRUE(light.SetLocation({2, 0, 0}));
  ASSERT_TRUE(light.SetDirection({1, 0, 0}));
  ASSERT_TRUE(light.SetLength({0, 3, 0}));
  ASSERT_TRUE(light.SetWidth({0, 0, 2}));
  TK_Light turned = light;
  // Right-hand rule about +z through (1, 0, 0).
  ASSERT_TRUE(turned.Rotate(std::numbers::pi / 2, {0, 0, 1}, {1, 0, 0}));
  ExpectNearVector(TK_3dVector(turned.Location()), {1, 1, 0});
  ExpectNearVector(turned.Direction(), {0, 1, 0});
  ExpectNearVector(turned.Length(), {-3, 0, 0});
  ExpectNearVector(turned.Width(), {0, 0, 2});
  // Translations do not move vectors.
  TK_Light moved = light;
  ASSERT_TRUE(moved.Transform(TK_Xform::Translation({5, 5, 5})));
  EXPECT_EQ(moved.Location(), TK_3dPoint(7, 5, 5));
  EXPECT_EQ(moved.Direction(), light.Direction());
  EXPECT_EQ(moved.Length(), light.Length());
  const TK_BoundingBox box = light.BoundingBox();
  EXPECT_EQ(box.Min(), TK_3dPoint(2, 0, 0));
  EXPECT_EQ(box.Max(), TK_3dPoint(2, 3, 2));
}

TEST(LightObject, CopiesCompareEqualAndKeepTheClass) {
  TK_Light light;
  ASSERT_TRUE(light.SetStyle(TK::spot_light));
  light.SetName(L"Key");
  ASSERT_TRUE(light.SetIntensity(2.5));
  const std::unique_ptr<TK_Object> dup = light.DuplicateObject();
  const TK_Light* copy = TK_Light::Cast(dup.get());
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(*copy == light);
  TK_Light other = light;
  ASSERT_TRUE(other.SetSpotExponent(3));
  EXPECT_FALSE(other == light);
}

}  // namespace
