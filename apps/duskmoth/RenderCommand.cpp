#include "apps/duskmoth/RenderCommand.h"

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
  if (options.scene) {
    if (!LoadScene(*options.scene, doc, err, !options.quiet)) return ParseOutcome::kFailed;
  } else if (!BuildDemoScene(doc)) {
    err << "duskmoth: the built-in demo scene could not be built\n";
    return ParseOutcome::kFailed;
  }
  TK_ScnRenderSettings settings = doc.Properties().RenderSettings();
  ApplyRenderOverrides(options, settings);
  doc.Properties().SetRenderSettings(settings);
  return RenderDocument(doc, RenderRequest{options.output, options.favor_memory, options.quiet}, err);
}
