#pragma once
// A camera's projection as a model file states it, for formats whose cameras
// Assimp 5.2 reports wrongly: the importer takes the angles from here.

struct StatedCamera {
  bool perspective = true;
  double yfov = 0.0;    // full vertical angle in radians (perspective); 0 when not stated
  double xfov = 0.0;    // full horizontal angle in radians; 0 when not stated
  double aspect = 0.0;  // width / height; 0 when the file leaves it open
  double xmag = 0.0;    // half width and half height (orthographic); 0 when not stated
  double ymag = 0.0;
};
