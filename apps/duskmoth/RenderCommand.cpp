#include "apps/duskmoth/RenderCommand.h"

#include <cerrno>
#include <chrono>
#include <string>

#include "apps/duskmoth/CameraChoice.h"
#include "apps/duskmoth/DemoScene.h"
#include "apps/duskmoth/InterruptRequest.h"
#include "apps/duskmoth/MemoryWatch.h"
#include "apps/duskmoth/OutputPath.h"
#include "apps/duskmoth/RenderPath.h"
#include "apps/duskmoth/RenderSummary.h"
#include "apps/duskmoth/SceneLoading.h"
#include "host/app/Doc.h"
#include "host/platform/KavraDib.h"

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

std::string SceneSubject(const RenderOptions& options) {
  return options.scene ? options.scene->string() : "the demo scene";
}

bool PrepareDocument(const RenderOptions& options, CKavraDoc& doc, DemoScene& demo, std::ostream& err,
                     const std::atomic<bool>* stop) {
  MemoryWatch memory(options.scene ? "reading the scene" : "making the demo scene");
  const bool ready = memory.Guard(false, [&] {
    if (options.scene) return LoadScene(*options.scene, doc, err, !options.quiet, stop);
    std::string error;
    if (demo.Build(doc, error)) return true;
    err << "duskmoth: " << error << '\n';
    return false;
  });
  if (memory.RanOut()) {
    memory.Report(err);
    return false;
  }
  if (!ready) return false;
  TK_ScnRenderSettings settings = doc.Properties().RenderSettings();
  ApplyRenderOverrides(options, settings);
  doc.Properties().SetRenderSettings(settings);
  if (options.view && !ChooseView(doc, *options.view, SceneSubject(options), err)) return false;
  OverrideCamera(doc, options);
  return true;
}

int RunRender(const RenderOptions& options, std::ostream& err) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  // Ctrl-C from the first moment on: reading the scene stops on it as the render does.
  const InterruptRequest interrupt;
  // A render is not lost for want of a place to put it.
  if (!CheckOutputPath(options.output, err)) return ParseOutcome::kFailed;
  // The document lives only for this render, so the overrides never reach a file.
  CKavraDoc doc;
  // Its maps are read while the render gathers the scene: it outlives the render.
  DemoScene demo;
  const bool prepared = PrepareDocument(options, doc, demo, err, &interrupt.Flag());
  ProgramPhases phases;
  phases.import = std::chrono::duration<double>(Clock::now() - start).count();
  if (interrupt.Raised()) return ReportInterrupted(err);
  if (!prepared) return ParseOutcome::kFailed;
  const std::string out = options.output.string();
  RenderRequest request{options.favor_memory, options.quiet, options.threads, {}};
  request.alpha = options.alpha;
  return RenderDocument(doc, request, err, [&](const RenderOutcome& outcome) {
    // A render that fails is the scene's failure; the image is named when it cannot be written.
    if (outcome.result != KvCommandResult::success)
      return outcome.Fail(options.scene ? options.scene->string() : "the demo scene", err);
    CKavraDib* image = outcome.Image();
    if (!image || !image->HasPixels()) {
      err << "duskmoth: " << out << ": the render left no image\n";
      return ParseOutcome::kFailed;
    }
    const Clock::time_point writing = Clock::now();
    outcome.memory.Enter("writing the image");
    if (!outcome.memory.Guard(false, [&] { return image->WriteToFile(TK_wString::FromUtf8(out), options.alpha); })) {
      if (outcome.memory.RanOut()) return outcome.memory.Report(err);
      ReportWriteError(options.output, errno, err);
      return ParseOutcome::kFailed;
    }
    phases.writing = std::chrono::duration<double>(Clock::now() - writing).count();
    // A blank image is written as asked, but never in silence.
    if (const std::optional<std::string> why = NothingShown(outcome.report); why && !options.quiet)
      err << "duskmoth: warning: " << out << " shows only the background: " << *why << '\n';
    // --stats asks for its lines even when the rest is quiet.
    if (!options.quiet || options.stats) {
      const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      err << SummaryLine(out, image->Width(), image->Height(), seconds, outcome.report) << '\n';
    }
    if (options.stats) err << StatsLines(phases, outcome.report, PeakMemoryKib());
    return ParseOutcome::kOk;
  });
}
