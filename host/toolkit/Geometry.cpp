#include "host/toolkit/Geometry.h"

TK_VIRTUAL_OBJECT_IMPLEMENT(TK_Geometry, TK_Object, "7989721C-1512-4E72-B745-1D772C47FCD2")

bool TK_Geometry::Rotate(double angle, const TK_3dVector& axis, const TK_3dPoint& centre) {
  bool ok = false;
  const TK_Xform r = TK_Xform::Rotation(angle, axis, centre, &ok);
  return ok && Transform(r);
}
