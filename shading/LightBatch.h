#pragma once
// LightBatch: the light that reaches up to four hits, worked out together.
// Every lane runs the sequence of IEEE operations that lighting one hit
// alone takes (never fused), so four lanes give the bits of four separate
// calls; what changes is that the square roots and divisions of four hits
// wait together instead of one after another. The shader fills the lanes
// with what it resolved per hit and reads the colours back; nothing here
// owns anything.

#include "camera/SimdPath.h"
#include "host/toolkit/Light.h"
#include "host/toolkit/SimpleArray.h"
#include "shading/Colour3f.h"
#include "shading/HitRecord.h"

class SurfaceShader;

// Lanes 0 .. count - 1 are filled before lighting; the rest are not read.
struct LitHits {
  static constexpr int kLanes = 4;
  int count = 0;  // lanes in use, 1 .. kLanes
  const HitRecord* hits[kLanes];
  // The shading normal; made unit here in the lanes whose `unitize` bit is
  // set, else used as it stands.
  double normal[3][kLanes];
  unsigned unitize = 0;
  unsigned two_sided = 0;   // light from behind the normal counts too
  unsigned no_shadows = 0;  // no shadow lookups
  unsigned dark = 0;        // no material: black
  double exponent[kLanes];  // of the highlight; 0: none
  float diffuse[3][kLanes];
  float highlight[3][kLanes];  // the highlight's colour
  float base[3][kLanes];       // ambient and glow: the diffuse light before the lights
  // Results, lanes 0 .. count - 1: all light, and the specular light alone.
  Colour3f colour[kLanes];
  Colour3f specular[kLanes];
};

// Lights the lanes of `hits` with `lights`, in their order; the shader
// answers the shadow lookups of spot lights that cast shadows. Through the
// processor's path (ChosenSimdPath), or a named one where it is supported.
void LightHits(const TK_SimpleArray<TK_Light>& lights, const SurfaceShader& shader, LitHits& hits);
void LightHits(SimdPath path, const TK_SimpleArray<TK_Light>& lights, const SurfaceShader& shader, LitHits& hits);
