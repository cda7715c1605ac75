#include "engine/RenderInputs.h"

#include "engine/Sampling.h"
#include "host/toolkit/ScnRenderSettings.h"
#include "settings/RenderUserData.h"

RenderInputs RenderInputs::Take(const TK_ScnRenderSettings& settings, const CDMRenderUserData& record,
                                const TK_Light& default_light) {
  RenderInputs inputs;
  inputs.ambient = Fractions(settings.m_ambient_color);
  inputs.background = Fractions(settings.m_background_color);
  inputs.antialias_level = EffectiveAntialiasLevel(settings.m_antialias_level);
  inputs.shadow_level = settings.m_shadow_level;
  inputs.shadow_map_width = settings.m_shadowmap_width;
  inputs.shadow_map_offset = settings.m_shadowmap_offset;
  inputs.band_height = record.m_favor_memory ? kMemoryBandHeight : kSpeedBandHeight;
  inputs.use_wallpaper = record.m_use_wallpaper;
  inputs.stretch_wallpaper = record.m_stretch_wallpaper;
  inputs.default_light = default_light;
  return inputs;
}
