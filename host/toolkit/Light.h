#pragma once
// A light source of the toolkit: style, placement (location, direction, and
// the length and width spans of linear and rectangular lights), colour,
// intensity, spot cone, shadow intensity and distance attenuation. A value.

#include <cmath>
#include <memory>

#include "host/toolkit/Color.h"
#include "host/toolkit/Geometry.h"
#include "host/toolkit/String.h"
#include "host/toolkit/TK.h"

class TK_Light : public TK_Geometry {
  TK_OBJECT_DECLARE(TK_Light)
public:
  // An enabled white point light at the origin shining down -z, intensity 1,
  // shadow intensity 1, spot half-angle pi/6, exponent 0, attenuation (1, 0, 0).
  TK_Light() = default;

  void Enable(bool enabled = true) { enabled_ = enabled; }
  bool IsEnabled() const { return enabled_; }

  // Only values of TK::light_style other than unknown are accepted.
  bool SetStyle(TK::light_style style);
  TK::light_style Style() const { return style_; }
  // camera_point_light counts as a point light: shading lights from its location.
  bool IsPointLight() const { return style_ == TK::point_light || style_ == TK::camera_point_light; }
  bool IsDirectionalLight() const { return style_ == TK::directional_light; }
  bool IsSpotLight() const { return style_ == TK::spot_light; }
  bool IsLinearLight() const { return style_ == TK::linear_light; }
  bool IsRectangularLight() const { return style_ == TK::rectangular_light; }

  // Vector and point setters refuse non-finite values (answer false).
  const TK_3dPoint& Location() const { return location_; }
  bool SetLocation(const TK_3dPoint& location);
  // Not made unit: stored as given.
  const TK_3dVector& Direction() const { return direction_; }
  bool SetDirection(const TK_3dVector& direction);
  // The unit vector against the direction (zero for a zero direction),
  // kept with it: shading lights every point of a directional light along
  // it.
  const TK_3dVector& UnitTowardLight() const { return toward_; }
  // Spans from the location: a linear light runs from Location() to
  // Location() + Length(); a rectangular light also spans Width().
  const TK_3dVector& Length() const { return length_; }
  bool SetLength(const TK_3dVector& length);
  const TK_3dVector& Width() const { return width_; }
  bool SetWidth(const TK_3dVector& width);

  TK_Color Diffuse() const { return diffuse_; }
  void SetDiffuse(TK_Color colour) { diffuse_ = colour; }
  double Intensity() const { return intensity_; }
  bool SetIntensity(double intensity);
  // Clamped to 0..1.
  double ShadowIntensity() const { return shadow_intensity_; }
  bool SetShadowIntensity(double shadow_intensity);
  // The cone's half-angle, in (0, pi/2].
  double SpotAngleRadians() const { return spot_angle_; }
  bool SetSpotAngleRadians(double half_angle);
  // cos(SpotAngleRadians()), kept with the angle: shading compares every
  // lit point's off-axis cosine with it.
  double SpotAngleCosine() const { return spot_cosine_; }
  double SpotExponent() const { return spot_exponent_; }
  bool SetSpotExponent(double exponent);

  // Attenuation(d) = 1 / (c0 + c1 d + c2 d^2), and 0 when that denominator
  // is not positive (or not a number).
  bool SetAttenuation(double c0, double c1, double c2);
  TK_3dVector AttenuationCoefficients() const { return attenuation_; }
  double Attenuation(double distance) const;

  const TK_wString& Name() const { return name_; }
  void SetName(const TK_wString& name) { name_ = name; }

  // Moves the location and turns direction, length and width (the 3x3 part
  // of the transform); false (unchanged) when a result is not finite.
  bool Transform(const TK_Xform& xform) override;
  // The location, spread by the length and width spans.
  TK_BoundingBox BoundingBox() const override;
  std::unique_ptr<TK_Object> DuplicateObject() const override { return std::make_unique<TK_Light>(*this); }

  bool operator==(const TK_Light& o) const;

private:
  static TK_3dVector Toward(TK_3dVector direction) {
    direction = -direction;
    direction.Unitize();
    return direction;
  }

  bool enabled_ = true;
  TK::light_style style_ = TK::point_light;
  TK_3dPoint location_{0, 0, 0};
  TK_3dVector direction_{0, 0, -1};
  TK_3dVector toward_ = Toward(direction_);
  TK_3dVector length_{0, 0, 0};
  TK_3dVector width_{0, 0, 0};
  TK_Color diffuse_{255, 255, 255};
  double intensity_ = 1.0;
  double shadow_intensity_ = 1.0;
  double spot_angle_ = 0.5235987755982988;  // pi/6
  double spot_cosine_ = std::cos(spot_angle_);
  double spot_exponent_ = 0.0;
  TK_3dVector attenuation_{1, 0, 0};
  TK_wString name_;
};
