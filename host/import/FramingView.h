#pragma once
// The view a scene gets when it brings no camera of its own: a perspective
// camera looking at the centre of the scene's box from the front right and
// above (a three-quarter view), far enough back that the box's bounding
// sphere fits the narrower side of the image. A function of values.

#include "host/toolkit/BoundingBox.h"
#include "host/toolkit/ScnView.h"

namespace framing {

// Half-angle of the narrower side of the framing camera.
inline constexpr double kHalfAngleDegrees = 20.0;

// `up` is the scene's up axis (+z for the host's own scenes, +y for models
// in the usual interchange convention); `aspect` is image width / height.
// An invalid box is framed as a unit box at the origin.
TK_ScnView FramingView(const TK_BoundingBox& box, const TK_3dVector& up, double aspect);

// Puts the viewport's near and far planes around the box as its camera sees
// it (near at least far / 10000). Leaves them when the box is invalid, lies
// behind the camera or the camera has no frame.
void FitNearFar(TK_Viewport& vp, const TK_BoundingBox& box);

}  // namespace framing
