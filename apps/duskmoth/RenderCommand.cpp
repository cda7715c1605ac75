#include "apps/duskmoth/RenderCommand.h"

#include <string>

#include "apps/duskmoth/DemoScene.h"
#include "apps/duskmoth/RenderPath.h"
#include "apps/duskmoth/SceneLoading.h"
#include "host/app/Doc.h"

void ApplyRenderOverrides(const RenderOptions& o, TK_ScnRenderSettings& s) {
  if (o.width && o.height) {
    s.m_custom_imagesize = 1;
    s.m_image_width = *o.width;
    s.m_image_height = *o.height;
  }
  if (o.antialias) s.m_antialias_level = *o.antialias;
  if (o.shadows) s.m_shadow_level = *o.shadows;
  if (o.shadow_map_size) s.m_shadowmap_width = s.m_shadowmap_height = *o.shadow_map_size;
  if (o.shadow_map_offset) s.m_shadowmap_offset = *o.shadow_map_offset;
}

int RunRender(const RenderOptions& options, std::ostream& err) {
  // The document lives only for this render, so the overrides never reach a file.
  CKavraDoc doc;
  // Its maps are read while the render gathers the scene: it outlives the render.
  DemoScene demo;
  if (options.scene) {
    if (!LoadScene(*options.scene, doc, err, !options.quiet)) return ParseOutcome::kFailed;
  } else if (std::string error; !demo.Build(doc, error)) {
    err << "duskmoth: " << error << '\n';
    return ParseOutcome::kFailed;
  }
  TK_ScnRenderSettings settings = doc.Properties().RenderSettings();
  ApplyRenderOverrides(options, settings);
  doc.Properties().SetRenderSettings(settings);
  return RenderDocument(doc, RenderRequest{options.output, options.favor_memory, options.quiet}, err);
}
