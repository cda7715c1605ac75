#pragma once
// The lights scene setup makes: the default light of a scene without
// lights, and the camera a spot light's shadow map is drawn through.

#include "host/toolkit/BoundingBox.h"
#include "host/toolkit/Light.h"
#include "host/toolkit/Viewport.h"

// The application's default light placed at the camera, looking along it,
// turned 15 degrees about the camera's X axis and 20 about its up axis
// (about the middle of the camera's own box).
TK_Light MakeDefaultLight(const TK_Light& application_default, const TK_Viewport& camera);

// A spot light's shadow camera: at the light, along its direction, its
// spot angle as camera angle, at most kWidestShadowAngle; `far` is the
// distance to the scene box's farthest corner.
inline constexpr double kWidestShadowAngle = 89.0 * 3.14159265358979323846 / 180.0;
TK_Viewport ShadowLightCamera(const TK_Light& light, const TK_BoundingBox& scene_box, double& far);
