#pragma once
// A 4x4 transform of the toolkit in doubles, m_xform[row][column], acting on
// column vectors: p' = M * (x, y, z, 1). Loaded into OpenGL, which reads
// column-major, it is handed over transposed. A plain value.

#include "host/toolkit/Point.h"

class TK_Xform {
public:
  double m_xform[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

  TK_Xform() = default;  // identity

  static TK_Xform Identity() { return TK_Xform(); }
  static TK_Xform Zero();
  static TK_Xform Translation(const TK_3dVector& delta);
  static TK_Xform Scale(double sx, double sy, double sz);
  // Rotation by angle radians about the axis through centre, right-hand rule.
  // A zero axis gives the identity and *ok (when given) false.
  static TK_Xform Rotation(double angle, const TK_3dVector& axis, const TK_3dPoint& centre, bool* ok = nullptr);

  double* operator[](int row) { return m_xform[row]; }
  const double* operator[](int row) const { return m_xform[row]; }

  TK_Xform operator*(const TK_Xform& rhs) const;  // applies rhs first
  bool operator==(const TK_Xform& o) const;

  void Transpose();
  // Replaces the transform by its inverse. A singular (or non-finite)
  // transform answers false and is left unchanged.
  bool Invert();
  bool IsIdentity(double tol = 0.0) const;
};

// Point times transform, divided by the resulting w. A w of 0 (a point at
// infinity) leaves x, y, z undivided, so the result stays finite.
TK_3dPoint operator*(const TK_Xform& xform, const TK_3dPoint& point);
// Vectors take the upper-left 3x3 part only: no translation, no division.
TK_3dVector operator*(const TK_Xform& xform, const TK_3dVector& vector);
