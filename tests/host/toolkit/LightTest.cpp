#include "host/toolkit/Light.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "support/Near.h"

namespace {

TEST(Light, AttenuationIsTheInverseOfTheQuadraticAndZeroWhenNotPositive) {
  TK_Light light;
  EXPECT_DOUBLE_EQ(light.Attenuation(123.0), 1.0);  // constant by default
  const struct { double a, b, c, distance, expected; } cases[] = {
      {0, 0, 1, 2.0, 0.25},     {0, 0, 1, 0.0, 0.0},  // denominator 0
      {1, 0.5, 0.25, 2.0, 1.0 / 3.0}, {1, -1, 0, 1.0, 0.0},
      {1, -1, 0, 3.0, 0.0},     // negative
      {1, -1, 0, 0.5, 2.0},     {0, 0, 0, 5.0, 0.0},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(light.SetAttenuation(c.a, c.b, c.c));
    EXPECT_DOUBLE_EQ(light.Attenuation(c.distance), c.expected) << c.a << " " << c.b << " " << c.c << " at " << c.distance;
  }
  EXPECT_FALSE(light.SetAttenuation(1, NAN, 0));
  EXPECT_EQ(light.AttenuationCoefficients(), TK_3dVector(0, 0, 0));
}

TEST(Light, EachStyleIsExactlyOneKindAndUnknownStylesAreRefused) {
  EXPECT_EQ(int(TK::camera_point_light), 7);  // stored in documents
  TK_Light light;
  EXPECT_TRUE(light.IsPointLight());
  for (TK::light_style style : {TK::point_light, TK::directional_light, TK::spot_light, TK::linear_light,
                                TK::rectangular_light, TK::camera_point_light}) {
    ASSERT_TRUE(light.SetStyle(style));
    EXPECT_EQ(light.Style(), style);
    const int kinds = int(light.IsPointLight()) + int(light.IsDirectionalLight()) + int(light.IsSpotLight()) +
                      int(light.IsLinearLight()) + int(light.IsRectangularLight());
    EXPECT_EQ(kinds, 1) << style;
  }
  EXPECT_TRUE(light.IsPointLight());  // the camera light is a point light
  EXPECT_FALSE(light.SetStyle(TK::unknown_light_style));
  EXPECT_FALSE(light.SetStyle(TK::light_style(6)));
  EXPECT_EQ(light.Style(), TK::camera_point_light);
}

TEST(Light, FieldsStayInRange) {
  TK_Light light;
  for (auto [in, out] : {std::pair{1.5, 1.0}, {-0.5, 0.0}, {0.3, 0.3}}) {
    ASSERT_TRUE(light.SetShadowIntensity(in));
    EXPECT_EQ(light.ShadowIntensity(), out) << in;
  }
  EXPECT_FALSE(light.SetSpotAngleRadians(0.0));
  EXPECT_FALSE(light.SetSpotAngleRadians(2.0));
  ASSERT_TRUE(light.SetSpotAngleRadians(std::numbers::pi / 2));
  ASSERT_TRUE(light.SetDirection({0, 0, -5}));
  EXPECT_EQ(light.Direction(), TK_3dVector(0, 0, -5));  // stored as given, not made unit
  EXPECT_FALSE(light.SetLocation({NAN, 0, 0}));
  EXPECT_EQ(light.Location(), TK_3dPoint(0, 0, 0));
}

TEST(Light, TransformsMoveTheLocationAndTurnOnlyVectors) {
  TK_Light light;
  ASSERT_TRUE(light.SetStyle(TK::rectangular_light));
  ASSERT_TRUE(light.SetLocation({2, 0, 0}));
  ASSERT_TRUE(light.SetDirection({1, 0, 0}));
  ASSERT_TRUE(light.SetLength({0, 3, 0}));
  ASSERT_TRUE(light.SetWidth({0, 0, 2}));
  EXPECT_EQ(light.BoundingBox(), TK_BoundingBox({2, 0, 0}, {2, 3, 2}));
  TK_Light turned = light;
  // Right-hand rule about +z through (1, 0, 0).
  ASSERT_TRUE(turned.Rotate(std::numbers::pi / 2, {0, 0, 1}, {1, 0, 0}));
  EXPECT_TRUE(Near(turned.Location(), TK_3dPoint(1, 1, 0), 1e-12));
  EXPECT_TRUE(Near(turned.Direction(), TK_3dVector(0, 1, 0), 1e-12));
  EXPECT_TRUE(Near(turned.Length(), TK_3dVector(-3, 0, 0), 1e-12));
  EXPECT_TRUE(Near(turned.Width(), TK_3dVector(0, 0, 2), 1e-12));
  TK_Light moved = light;
  ASSERT_TRUE(moved.Transform(TK_Xform::Translation({5, 5, 5})));
  EXPECT_EQ(moved.Location(), TK_3dPoint(7, 5, 5));
  EXPECT_EQ(moved.Direction(), light.Direction());
  EXPECT_EQ(moved.Length(), light.Length());
}

TEST(Light, DuplicatesKeepTheClassAndEqualityWatchesEveryField) {
  TK_Light light;
  ASSERT_TRUE(light.SetStyle(TK::spot_light));
  light.SetName(L"Key");
  ASSERT_TRUE(light.SetIntensity(2.5));
  const std::unique_ptr<TK_Object> dup = light.DuplicateObject();
  ASSERT_NE(TK_Light::Cast(dup.get()), nullptr);
  EXPECT_TRUE(*TK_Light::Cast(dup.get()) == light);
  TK_Light other = light;
  ASSERT_TRUE(other.SetSpotExponent(3));
  EXPECT_FALSE(other == light);
}

}  // namespace
