#pragma once
// Enumerations of the geometry toolkit, in the TK namespace: coordinate
// systems of a viewport, view projections and light styles. The numeric
// values are stored in documents and compared by the renderer: keep them.
// Unscoped, so both TK::perspective and TK::view_projection::perspective read.

#include <optional>

namespace TK {

// The coordinate systems a TK_Viewport converts between (TK_Viewport::GetXform).
enum coordinate_system { world, camera, clip, screen };

enum view_projection { unknown = 0, parallel = 1, perspective = 2 };

// What kind of source a TK_Light is. camera_point_light is the style the
// renderer gives its default light; it lights like a point light at its
// location. Value 6 is unused.
enum light_style {
  unknown_light_style = 0,
  point_light = 1,
  directional_light = 2,
  spot_light = 3,
  linear_light = 4,
  rectangular_light = 5,
  camera_point_light = 7,
};

// The enumerator a stored number names, or none. Readers of stored numbers
// go through these: casting a number that names no enumerator gives a value
// the enumeration cannot hold.
inline std::optional<view_projection> ViewProjectionOf(int value) {
  if (value < unknown || value > perspective) return std::nullopt;
  return view_projection(value);
}
inline std::optional<light_style> LightStyleOf(int value) {
  if (value < unknown_light_style || value > camera_point_light || value == 6) return std::nullopt;
  return light_style(value);
}

}  // namespace TK
