#pragma once
// A plane with a frame: origin and three axes (zaxis the normal). The axes
// are taken as given; a frame from a viewport is orthonormal. A plain value.

#include "host/toolkit/Point.h"

class TK_Plane {
public:
  TK_Plane() = default;
  TK_Plane(const TK_3dPoint& o, const TK_3dVector& x, const TK_3dVector& y, const TK_3dVector& z)
      : origin(o), xaxis(x), yaxis(y), zaxis(z) {}

  // origin + s * xaxis + t * yaxis
  TK_3dPoint PointAt(double s, double t) const { return origin + xaxis * s + yaxis * t; }
  // (p - origin) . zaxis: the signed distance for a unit zaxis.
  double DistanceTo(const TK_3dPoint& p) const { return TK_DotProduct(zaxis, p - origin); }

  TK_3dPoint origin{0, 0, 0};
  TK_3dVector xaxis{1, 0, 0};
  TK_3dVector yaxis{0, 1, 0};
  TK_3dVector zaxis{0, 0, 1};
};
