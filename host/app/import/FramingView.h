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

}  // namespace framing
