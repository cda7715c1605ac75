#pragma once
// KvRenderReport: what a render command tells the program about a render
// that completed: how much the renderer rendered and how long each phase
// took. A plain value in the command context; the renderer fills the counts
// and its phases, the host adds the time it took to gather the scene.

#include <optional>

struct KvRenderReport {
  // Whether the renderer filled the counts below; a renderer may report none.
  bool counted = false;
  long long triangles = 0;
  int lights = 0;       // the lights the render used, a default light included
  int shadow_maps = 0;  // the shadow maps drawn
  long long samples = 0;
  long long faces_in_view = 0;  // the triangles that project into the image
  bool all_see_through = false;  // every surface is fully transparent: the image shows only the background

  // Seconds per phase; none for a phase that was not timed.
  std::optional<double> gathering;    // the host hands the document's meshes and lights over
  std::optional<double> projection;   // the renderer sets up and projects the faces to the screen
  std::optional<double> shadow_maps_drawing;
  std::optional<double> pixels;       // the pixels are computed
};
