#include "host/toolkit/BoundingBox.h"

#include <algorithm>
#include <cmath>

namespace {
bool IsFinite(const TK_3dPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }
}  // namespace

bool TK_BoundingBox::IsValid() const {
  return IsFinite(m_min) && IsFinite(m_max) && m_min.x <= m_max.x && m_min.y <= m_max.y && m_min.z <= m_max.z;
}

void TK_BoundingBox::Union(const TK_BoundingBox& other) {
  if (!other.IsValid()) return;
  if (!IsValid()) {
    *this = other;
    return;
  }
  for (int i = 0; i < 3; ++i) {
    m_min[i] = std::min(m_min[i], other.m_min[i]);
    m_max[i] = std::max(m_max[i], other.m_max[i]);
  }
}

void TK_BoundingBox::Union(const TK_3dPoint& point) { Union(TK_BoundingBox(point, point)); }

TK_3dPoint TK_BoundingBox::Center() const {
  return {0.5 * (m_min.x + m_max.x), 0.5 * (m_min.y + m_max.y), 0.5 * (m_min.z + m_max.z)};
}

TK_3dPoint TK_BoundingBox::Corner(int i) const {
  return {(i & 1) ? m_max.x : m_min.x, (i & 2) ? m_max.y : m_min.y, (i & 4) ? m_max.z : m_min.z};
}

TK_3dPoint TK_BoundingBox::FarPoint(const TK_3dPoint& p) const {
  if (!IsValid()) return p;
  TK_3dPoint far;
  for (int i = 0; i < 3; ++i) far[i] = std::fabs(p[i] - m_min[i]) > std::fabs(m_max[i] - p[i]) ? m_min[i] : m_max[i];
  return far;
}
