#include "host/toolkit/Xform.h"

#include <algorithm>
#include <cmath>
#include <utility>

TK_Xform TK_Xform::Zero() {
  TK_Xform x;
  for (auto& row : x.m_xform) std::fill(row, row + 4, 0.0);
  return x;
}

TK_Xform TK_Xform::Translation(const TK_3dVector& delta) {
  TK_Xform x;
  x.m_xform[0][3] = delta.x;
  x.m_xform[1][3] = delta.y;
  x.m_xform[2][3] = delta.z;
  return x;
}

TK_Xform TK_Xform::Scale(double sx, double sy, double sz) {
  TK_Xform x;
  x.m_xform[0][0] = sx;
  x.m_xform[1][1] = sy;
  x.m_xform[2][2] = sz;
  return x;
}

TK_Xform TK_Xform::Rotation(double angle, const TK_3dVector& axis, const TK_3dPoint& centre, bool* ok) {
  TK_3dVector k = axis;
  const bool good = k.Unitize() && std::isfinite(angle);
  if (ok) *ok = good;
  if (!good) return TK_Xform();
  // Rodrigues: R = cI + s[k]x + (1 - c) k k^T, then x' = R (x - centre) + centre.
  const double s = std::sin(angle), c = std::cos(angle), t = 1.0 - c;
  TK_Xform r;
  r.m_xform[0][0] = c + t * k.x * k.x;
  r.m_xform[0][1] = t * k.x * k.y - s * k.z;
  r.m_xform[0][2] = t * k.x * k.z + s * k.y;
  r.m_xform[1][0] = t * k.y * k.x + s * k.z;
  r.m_xform[1][1] = c + t * k.y * k.y;
  r.m_xform[1][2] = t * k.y * k.z - s * k.x;
  r.m_xform[2][0] = t * k.z * k.x - s * k.y;
  r.m_xform[2][1] = t * k.z * k.y + s * k.x;
  r.m_xform[2][2] = c + t * k.z * k.z;
  for (int i = 0; i < 3; ++i)
    r.m_xform[i][3] = centre[i] - (r.m_xform[i][0] * centre.x + r.m_xform[i][1] * centre.y + r.m_xform[i][2] * centre.z);
  return r;
}

TK_Xform TK_Xform::operator*(const TK_Xform& rhs) const {
  TK_Xform p = Zero();
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 4; ++k) p.m_xform[i][j] += m_xform[i][k] * rhs.m_xform[k][j];
  return p;
}

bool TK_Xform::operator==(const TK_Xform& o) const {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      if (m_xform[i][j] != o.m_xform[i][j]) return false;
  return true;
}

void TK_Xform::Transpose() {
  for (int i = 0; i < 4; ++i)
    for (int j = i + 1; j < 4; ++j) std::swap(m_xform[i][j], m_xform[j][i]);
}

bool TK_Xform::Invert() {
  // Gauss-Jordan with partial pivoting on [D M | D], D scaling every row of M
  // to a largest entry of 1, so that the singularity test does not depend on
  // the units of each row (screen pixels next to unit clip coordinates).
  double a[4][8];
  for (int i = 0; i < 4; ++i) {
    double row_max = 0.0;
    for (int j = 0; j < 4; ++j) {
      if (!std::isfinite(m_xform[i][j])) return false;
      row_max = std::max(row_max, std::fabs(m_xform[i][j]));
    }
    if (row_max == 0.0) return false;
    for (int j = 0; j < 4; ++j) {
      a[i][j] = m_xform[i][j] / row_max;
      a[i][j + 4] = i == j ? 1.0 / row_max : 0.0;
    }
  }
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int r = col + 1; r < 4; ++r)
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    // Rows dependent up to rounding: the inverse would be noise.
    if (!(std::fabs(a[pivot][col]) > 1e-13)) return false;
    if (pivot != col)
      for (int j = 0; j < 8; ++j) std::swap(a[pivot][j], a[col][j]);
    const double p = a[col][col];
    for (int j = 0; j < 8; ++j) a[col][j] /= p;
    for (int r = 0; r < 4; ++r) {
      if (r == col || a[r][col] == 0.0) continue;
      const double f = a[r][col];
      for (int j = 0; j < 8; ++j) a[r][j] -= f * a[col][j];
    }
  }
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) m_xform[i][j] = a[i][j + 4];
  return true;
}

bool TK_Xform::IsIdentity(double tol) const {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      if (!(std::fabs(m_xform[i][j] - (i == j ? 1.0 : 0.0)) <= tol)) return false;
  return true;
}

TK_3dPoint operator*(const TK_Xform& xform, const TK_3dPoint& p) {
  const auto& m = xform.m_xform;
  double out[4];
  for (int i = 0; i < 4; ++i) out[i] = m[i][0] * p.x + m[i][1] * p.y + m[i][2] * p.z + m[i][3];
  if (out[3] != 0.0 && out[3] != 1.0) return {out[0] / out[3], out[1] / out[3], out[2] / out[3]};
  return {out[0], out[1], out[2]};
}

TK_3dVector operator*(const TK_Xform& xform, const TK_3dVector& v) {
  const auto& m = xform.m_xform;
  return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
          m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
}
