#include "engine/SceneLights.h"

#include <algorithm>
#include <cmath>

TK_Light MakeDefaultLight(const TK_Light& application_default, const TK_Viewport& camera) {
  TK_Light light = application_default;
  light.SetStyle(TK::camera_point_light);
  light.Enable(true);
  light.SetLocation(camera.CameraLocation());
  light.SetDirection(camera.CameraDirection());
  const TK_3dPoint centre = camera.BoundingBox().Center();
  light.Rotate(-0.2617993877991494, camera.CameraX(), centre);  // -15 degrees
  light.Rotate(-0.3490658503988659, camera.CameraY(), centre);  // -20 degrees
  return light;
}

TK_Viewport ShadowLightCamera(const TK_Light& light, const TK_BoundingBox& scene_box, double& far) {
  TK_Viewport camera;
  camera.SetProjection(TK::perspective);
  const TK_3dVector d = light.Direction();
  camera.SetCameraDirection(d);
  camera.SetCameraLocation(light.Location());
  const double l = std::sqrt(d.x * d.x + d.y * d.y);
  camera.SetCameraUp(l == 0 ? TK_3dVector(0, 1, 0) : TK_3dVector(-d.z * d.x / l, -d.z * d.y / l, l));
  far = light.Location().DistanceTo(scene_box.FarPoint(light.Location()));
  // A spot light may light a whole hemisphere (90 degrees), which no
  // perspective camera sees: the map takes the widest angle it can instead
  // of the camera's default.
  camera.SetCameraAngle(std::min(light.SpotAngleRadians(), kWidestShadowAngle));
  return camera;
}
