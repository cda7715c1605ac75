#pragma once
// RenderInputs: every setting one render reads, taken once on the host's
// thread when the session is made: the document's render settings, the
// plug-in's record and the application's default light. The worker reads
// only this copy, never the document, the record or the application. A value.

#include "host/toolkit/Light.h"
#include "shading/Colour3f.h"

class CDMRenderUserData;
class TK_ScnRenderSettings;

struct RenderInputs {
  // Rows of pixel cells the index holds per band (plus one): the record's
  // memory-versus-speed preference chooses.
  static constexpr int kSpeedBandHeight = 32;
  static constexpr int kMemoryBandHeight = 4;
  // Shadow-map offset units per unit of depth bias.
  static constexpr double kDepthBiasPerOffset = 0.0002;

  static RenderInputs Take(const TK_ScnRenderSettings& settings, const CDMRenderUserData& record,
                           const TK_Light& default_light);

  Colour3f ambient;
  Colour3f background;
  int antialias_level = 0;  // effective (EffectiveAntialiasLevel)
  int shadow_level = 0;
  int shadow_map_width = 0;
  double shadow_map_offset = 0.0;
  int band_height = kSpeedBandHeight;
  bool use_wallpaper = false;
  bool stretch_wallpaper = false;
  // Lights a scene without lights; a copy of the application's.
  TK_Light default_light;
};
