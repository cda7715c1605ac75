#include "apps/duskmoth/CameraChoice.h"

#include <cmath>
#include <numbers>

#include "host/app/Doc.h"
#include "host/import/FramingView.h"

namespace {

TK_3dVector Vector(const std::array<double, 3>& v) { return TK_3dVector(v[0], v[1], v[2]); }

// The first candidate not parallel to the direction (all are unit or zero).
TK_3dVector UpFor(const TK_3dVector& direction, const TK_Viewport& old) {
  const TK_3dVector candidates[] = {old.CameraUp(), old.CameraDirection(), TK_3dVector(0, 0, 1),
                                    TK_3dVector(0, 1, 0)};
  for (TK_3dVector up : candidates)
    if (up.Unitize() && TK_CrossProduct(direction, up).Length() > 1e-6) return up;
  return TK_3dVector(1, 0, 0);  // not reached: no direction runs along both z and y
}

}  // namespace

TK_BoundingBox SceneBox(const CKavraDoc& doc) {
  TK_BoundingBox box;
  for (int i = 0; i < doc.ObjectCount(); ++i)
    for (int m = 0; m < doc.ObjectAt(i)->RenderMeshCount(); ++m) box.Union(doc.ObjectAt(i)->RenderMesh(m)->BoundingBox());
  return box;
}

bool ChooseView(CKavraDoc& doc, const std::string& name, const std::string& subject, std::ostream& err) {
  std::string names;
  for (int i = 0; i < doc.ViewCount(); ++i) {
    const std::string view = doc.ViewAt(i)->View().m_name.ToUtf8();
    if (view == name) return doc.SetActiveView(i);
    names += (i == 0 ? "\"" : ", \"") + view + "\"";
  }
  err << "duskmoth: " << subject << ": no view named \"" << name << "\"; "
      << (names.empty() ? std::string("it has no views") : (doc.ViewCount() == 1 ? "the view is " : "the views are ") + names)
      << '\n';
  return false;
}

void OverrideCamera(CKavraDoc& doc, const RenderOptions& options) {
  if (!options.camera_location && !options.camera_angle) return;
  if (!doc.ActiveView()) {
    TK_ScnView view;
    view.m_name = L"Camera";
    doc.SetActiveView(doc.AddView(CKavraView(view, 640, 480)));
  }
  CKavraView& view = *doc.ActiveView();
  TK_Viewport& vp = view.View().m_vp;
  const TK_Viewport old = vp;
  if (options.camera_location && options.camera_target) {
    const TK_3dPoint location(Vector(*options.camera_location));
    TK_3dVector direction = Vector(*options.camera_target) - Vector(*options.camera_location);
    direction.Unitize();
    vp.SetCameraLocation(location);
    vp.SetCameraDirection(direction);
    vp.SetCameraUp(UpFor(direction, old));
  }
  if (options.camera_angle) {
    const double half = *options.camera_angle * std::numbers::pi / 180.0;
    if (vp.Projection() == TK::perspective) {
      vp.SetCameraAngle(half);
    } else {
      // At the target, or without one at the scene's centre.
      const TK_BoundingBox box = SceneBox(doc);
      const TK_3dPoint target = options.camera_target ? TK_3dPoint(Vector(*options.camera_target))
                                : box.IsValid()       ? box.Center()
                                                      : vp.CameraLocation() + vp.CameraDirection();
      const double distance = (target - vp.CameraLocation()).Length();
      double l, r, b, t, n, f;
      vp.GetFrustum(l, r, b, t, n, f);
      const double aspect = (r - l) / (t - b), side = distance * std::tan(half);
      const double hx = aspect >= 1 ? side * aspect : side, hy = aspect >= 1 ? side : side / aspect;
      vp.SetFrustum(-hx, hx, -hy, hy, n, f);
    }
  }
  framing::FitNearFar(vp, SceneBox(doc));
}
