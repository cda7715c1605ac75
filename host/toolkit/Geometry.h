#pragma once
// Abstract base of the toolkit's geometric objects: everything that can be
// moved by a TK_Xform and has a bounding box (meshes, lights, viewports).

#include "host/toolkit/BoundingBox.h"
#include "host/toolkit/Object.h"
#include "host/toolkit/Xform.h"

class TK_Geometry : public TK_Object {
  TK_OBJECT_DECLARE(TK_Geometry)
public:
  TK_Geometry() = default;
  // Applies the transform; false when it cannot (the object is then unchanged).
  virtual bool Transform(const TK_Xform& xform) = 0;
  virtual TK_BoundingBox BoundingBox() const = 0;

  // Rotates by angle radians about the axis through centre (right-hand
  // rule). False for a zero axis or when Transform fails.
  bool Rotate(double angle, const TK_3dVector& axis, const TK_3dPoint& centre);
};
