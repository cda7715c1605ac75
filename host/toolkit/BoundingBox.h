#pragma once
// An axis-aligned box in doubles. A default box is empty (invalid): it has
// no extent until a point or another box is added. A plain value.

#include "host/toolkit/Point.h"

class TK_BoundingBox {
public:
  TK_BoundingBox() = default;  // empty
  TK_BoundingBox(const TK_3dPoint& min, const TK_3dPoint& max) : m_min(min), m_max(max) {}

  const TK_3dPoint& Min() const { return m_min; }
  const TK_3dPoint& Max() const { return m_max; }
  // Finite corners with Min <= Max on every axis. A single point is valid.
  bool IsValid() const;

  void Set(const TK_3dPoint& point) { m_min = m_max = point; }
  // Union with an invalid box is the other box; non-finite points are ignored.
  void Union(const TK_BoundingBox& other);
  void Union(const TK_3dPoint& point);

  TK_3dPoint Center() const;
  // Corner i (0..7): bit 0 picks Max.x, bit 1 Max.y, bit 2 Max.z, else Min.
  TK_3dPoint Corner(int i) const;
  // The corner farthest from p (per axis the farther of Min and Max; on a
  // tie Max). An invalid box answers p itself.
  TK_3dPoint FarPoint(const TK_3dPoint& p) const;

  bool operator==(const TK_BoundingBox&) const = default;

  TK_3dPoint m_min{1, 1, 1};
  TK_3dPoint m_max{-1, -1, -1};
};
