#include "host/toolkit/Light.h"

#include <algorithm>
#include <cmath>
#include <numbers>

TK_OBJECT_IMPLEMENT(TK_Light, TK_Geometry, "5528A3AB-764C-469B-A10A-9498199D7CA6")

namespace {
bool Finite(const TK_3dVector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
bool Finite(const TK_3dPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

template <typename T> bool SetFinite(T& field, const T& value, bool finite) {
  if (!finite) return false;
  field = value;
  return true;
}
}  // namespace

bool TK_Light::SetStyle(TK::light_style style) {
  switch (style) {
    case TK::point_light:
    case TK::directional_light:
    case TK::spot_light:
    case TK::linear_light:
    case TK::rectangular_light:
    case TK::camera_point_light:
      style_ = style;
      return true;
    default:
      return false;
  }
}

bool TK_Light::SetLocation(const TK_3dPoint& location) { return SetFinite(location_, location, Finite(location)); }
bool TK_Light::SetDirection(const TK_3dVector& direction) {
  if (!SetFinite(direction_, direction, Finite(direction))) return false;
  toward_ = Toward(direction_);
  return true;
}
bool TK_Light::SetLength(const TK_3dVector& length) { return SetFinite(length_, length, Finite(length)); }
bool TK_Light::SetWidth(const TK_3dVector& width) { return SetFinite(width_, width, Finite(width)); }
bool TK_Light::SetIntensity(double intensity) { return SetFinite(intensity_, intensity, std::isfinite(intensity)); }
bool TK_Light::SetSpotExponent(double exponent) { return SetFinite(spot_exponent_, exponent, std::isfinite(exponent)); }

bool TK_Light::SetShadowIntensity(double shadow_intensity) {
  if (std::isnan(shadow_intensity)) return false;
  shadow_intensity_ = std::clamp(shadow_intensity, 0.0, 1.0);
  return true;
}

bool TK_Light::SetSpotAngleRadians(double half_angle) {
  if (!SetFinite(spot_angle_, half_angle, half_angle > 0.0 && half_angle <= 0.5 * std::numbers::pi)) return false;
  spot_cosine_ = std::cos(spot_angle_);
  return true;
}

bool TK_Light::SetAttenuation(double c0, double c1, double c2) {
  const TK_3dVector c(c0, c1, c2);
  return SetFinite(attenuation_, c, Finite(c));
}

double TK_Light::Attenuation(double d) const {
  const double denominator = attenuation_.x + attenuation_.y * d + attenuation_.z * d * d;
  return denominator > 0.0 ? 1.0 / denominator : 0.0;
}

bool TK_Light::Transform(const TK_Xform& xform) {
  const TK_3dPoint l = xform * location_;
  const TK_3dVector d = xform * direction_, len = xform * length_, w = xform * width_;
  if (!Finite(l) || !Finite(d) || !Finite(len) || !Finite(w)) return false;
  location_ = l;
  direction_ = d;
  toward_ = Toward(direction_);
  length_ = len;
  width_ = w;
  return true;
}

TK_BoundingBox TK_Light::BoundingBox() const {
  TK_BoundingBox box;
  box.Set(location_);
  box.Union(location_ + length_);
  box.Union(location_ + width_);
  box.Union(location_ + length_ + width_);
  return box;
}

bool TK_Light::operator==(const TK_Light& o) const {
  return enabled_ == o.enabled_ && style_ == o.style_ && location_ == o.location_ && direction_ == o.direction_ &&
         length_ == o.length_ && width_ == o.width_ && diffuse_ == o.diffuse_ && intensity_ == o.intensity_ &&
         shadow_intensity_ == o.shadow_intensity_ && spot_angle_ == o.spot_angle_ &&
         spot_exponent_ == o.spot_exponent_ && attenuation_ == o.attenuation_ && name_ == o.name_;
}
