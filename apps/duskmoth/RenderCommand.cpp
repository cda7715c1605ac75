#include "apps/duskmoth/RenderCommand.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "apps/duskmoth/CameraChoice.h"
#include "apps/duskmoth/DemoScene.h"
#include "apps/duskmoth/InterruptRequest.h"
#include "apps/duskmoth/MemoryWatch.h"
#include "apps/duskmoth/OutputPath.h"
#include "apps/duskmoth/RankGroup.h"
#include "apps/duskmoth/RenderPath.h"
#include "apps/duskmoth/RenderSummary.h"
#include "apps/duskmoth/SceneLoading.h"
#include "host/app/Doc.h"
#include "host/platform/InParts.h"
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
    if (options.scene) return LoadScene(*options.scene, doc, err, !options.quiet, stop, options.threads);
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

namespace {

constexpr int kInterrupted = 130;  // the exit code ReportInterrupted answers

// A failure every rank agreed on (`own` being this rank's part in it) ends
// the render on all of them; the first names the rank that stopped it,
// whose own message says why, or says that Ctrl-C stopped it.
int Stopped(const RankGroup& group, const RankGroup::Worst& worst, int own, std::ostream& err) {
  if (group.Rank() != 0 || group.Alone()) return group.Alone() ? own : worst.value;
  // One write per line: mpirun interleaves the ranks' output at each write.
  if (worst.value != kInterrupted)
    err << "duskmoth: the render stopped: rank " + std::to_string(worst.rank) + " of " + std::to_string(group.Size()) +
               " failed; no image written\n";
  else if (own != kInterrupted)
    ReportInterrupted(err);
  return worst.value;
}

// The render of this process, its share of the rows when it is one of several.
int RenderShare(const RenderOptions& options, const RankGroup& group, std::ostream& err) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const bool first = group.Rank() == 0;
  // Ctrl-C from the first moment on: reading the scene stops on it as the render does.
  const InterruptRequest interrupt(!group.Alone());
  // A render is not lost for want of a place to put it (the first rank writes it).
  const bool writable = !first || CheckOutputPath(options.output, err);
  if (!writable && group.Alone()) return ParseOutcome::kFailed;
  // The document lives only for this render, so the overrides never reach a file.
  CKavraDoc doc;
  // Its maps are read while the render gathers the scene: it outlives the render.
  DemoScene demo;
  const bool prepared = writable && PrepareDocument(options, doc, demo, err, &interrupt.Flag());
  ProgramPhases phases;
  phases.import = std::chrono::duration<double>(Clock::now() - start).count();
  const int ready = interrupt.Raised() ? kInterrupted : prepared ? ParseOutcome::kOk : ParseOutcome::kFailed;
  if (ready == kInterrupted) ReportInterrupted(err);
  if (const RankGroup::Worst worst = group.Agree(ready); worst.value != ParseOutcome::kOk)
    return Stopped(group, worst, ready, err);
  const std::string out = options.output.string();
  RenderRequest request{options.favor_memory, options.quiet, options.threads, {}};
  request.alpha = options.alpha;
  request.rows = group.Share();
  return RenderDocument(doc, request, err, [&](const RenderOutcome& outcome) {
    CKavraDib* image = outcome.result == KvCommandResult::success ? outcome.Image() : nullptr;
    int rendered = ParseOutcome::kOk;
    if (outcome.result != KvCommandResult::success) {
      // A render that fails is the scene's failure; the image is named when it cannot be written.
      rendered = outcome.Fail(options.scene ? options.scene->string() : "the demo scene", err);
    } else if (!image || !image->HasPixels() || image->BitsPerPixel() != 32) {
      err << "duskmoth: " << out << ": the render left no image\n";
      rendered = ParseOutcome::kFailed;
    }
    if (const RankGroup::Worst worst = group.Agree(rendered); worst.value != ParseOutcome::kOk)
      return Stopped(group, worst, rendered, err);
    const double rank_seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const Clock::time_point gathering = Clock::now();
    // Memory that runs out here ends this rank; mpirun then ends the others.
    outcome.memory.Enter("gathering the rows");
    if (!outcome.memory.Guard(false, [&] {
          group.GatherRows(reinterpret_cast<std::uint32_t*>(image->FindDIBBits()), image->Width(), image->Height());
          return true;
        }))
      return outcome.memory.Report(err);
    const double gather_seconds = std::chrono::duration<double>(Clock::now() - gathering).count();
    const std::vector<double> rank_times = group.GatherOnFirst(rank_seconds);
    if (!first) return int(ParseOutcome::kOk);
    // Ctrl-C that came while the rows were gathered still leaves no image.
    if (!group.Alone() && outcome.Interrupted()) return ReportInterrupted(err);
    const Clock::time_point writing = Clock::now();
    outcome.memory.Enter("writing the image");
    if (!outcome.memory.Guard(false, [&] { return image->WriteToFile(TK_wString::FromUtf8(out), options.alpha, options.threads.value_or(DefaultThreadCount())); })) {
      if (outcome.memory.RanOut()) return outcome.memory.Report(err);
      ReportWriteError(options.output, errno, err);
      return int(ParseOutcome::kFailed);
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
    if (options.stats) {
      err << StatsLines(phases, outcome.report, PeakMemoryKib());
      if (!group.Alone()) err << RankLines(rank_times, gather_seconds, image->Width(), image->Height());
    }
    return int(ParseOutcome::kOk);
  });
}

// Hands what is written on to `target` a whole line at a time (a progress
// line ends in a carriage return), so that mpirun, which interleaves the
// ranks' output at each write, never splits one of the first rank's lines.
class WholeLines : public std::streambuf {
public:
  explicit WholeLines(std::ostream& target) : target_(target) {}
  ~WholeLines() override { sync(); }
  WholeLines(const WholeLines&) = delete;
  WholeLines& operator=(const WholeLines&) = delete;

protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    line_ += traits_type::to_char_type(c);
    if (c == '\n' || c == '\r') sync();
    return c;
  }
  int sync() override {
    if (!line_.empty()) target_.write(line_.data(), std::streamsize(line_.size())).flush();
    line_.clear();
    return 0;
  }

private:
  std::ostream& target_;
  std::string line_;
};

// Each line of a rank other than the first, "duskmoth: X" as "duskmoth: rank R of N: X".
void ReportAsRank(const std::string& text, const RankGroup& group, std::ostream& err) {
  const std::string program = "duskmoth: ";
  const std::string rank = "rank " + std::to_string(group.Rank()) + " of " + std::to_string(group.Size()) + ": ";
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string line = text.substr(start, end - start);
    err << (line.starts_with(program) ? program + rank + line.substr(program.size()) : program + rank + line) + '\n';
    start = end + 1;
  }
}

}  // namespace

int RunRender(const RenderOptions& options, std::ostream& err) {
  std::string error;
  const std::unique_ptr<RankGroup> group = RankGroup::Join(error);
  if (!group) {
    err << "duskmoth: " << error << '\n';
    return ParseOutcome::kFailed;
  }
  if (group->Alone()) return RenderShare(options, *group, err);
  if (group->Rank() == 0) {
    WholeLines lines(err);
    std::ostream whole(&lines);
    return RenderShare(options, *group, whole);
  }
  // The other ranks show no progress, and say what went wrong naming themselves.
  RenderOptions quiet = options;
  quiet.quiet = true;
  quiet.stats = false;
  std::ostringstream held;
  const int code = RenderShare(quiet, *group, held);
  ReportAsRank(held.str(), *group, err);
  return code;
}
