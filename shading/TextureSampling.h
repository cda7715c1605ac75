#pragma once
// Reading a bound map slot at a texture coordinate: tiling and offset (in
// pixels), the wrap rules for coordinates outside the image, nearest-pixel
// or bilinear sampling as the slot's filter says. Reads only; allocates nothing.

#include "host/toolkit/Point.h"
#include "settings/MaterialMap.h"
#include "shading/Colour3f.h"

// The map's colour at uv. An unbound slot, or one whose limits are below 1
// (an image narrower or lower than 3 pixels), gives black.
Colour3f SampleMap(const MaterialMap& slot, const TK_2dPoint& uv);

// The four colours around uv that bump mapping differentiates. The caller
// presets all four (normally to black); a neighbour outside the image, and
// every neighbour of an unusable slot, keeps its preset.
void SampleMapNeighbours(const MaterialMap& slot, const TK_2dPoint& uv, Colour3f& left, Colour3f& down,
                         Colour3f& right, Colour3f& up);
