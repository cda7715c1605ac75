// The program at its limits: running out of memory ends it with status 1
// and one line naming the phase, never a signal; Ctrl-C in a dialog or at
// the settings prompt ends it as interrupted and leaves the document as it was.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/ProgramRun.h"
#include "support/TempDir.h"

namespace {

// A scene file `name` seen from `camera`, of `count` objects, object i
// written as `object`, then i x `step`, then `after`.
std::string Repeated(const TempDir& dir, const std::string& name, const char* camera, int count, const char* object,
                     const char* after, double step) {
  const std::string path = (dir / name).string();
  std::ofstream out(path);
  out << R"({"camera": )" << camera << R"(, "objects": [)";
  for (int i = 0; i < count; ++i) out << (i ? "," : "") << object << step * i << after;
  out << "]}";
  return path;
}

// `count` spheres of two million triangles each, side by side.
std::string Spheres(const TempDir& dir, int count) {
  return Repeated(dir, "spheres" + std::to_string(count) + ".json", R"({"location": [0, -12, 3], "target": [0, 0, 0]})",
                  count, R"({"type": "sphere", "segments": 1024, "rings": 1024, "translate": [)", ", 0, 0]}", 2.5);
}

// 128 opaque panes one behind the other, each wider than the view: every
// cell of a band holds a reference to many of them, so the pixel phase's
// first wide band needs hundreds of MiB where its set-up needs little.
std::string Panes(const TempDir& dir) {
  return Repeated(dir, "panes.json", R"({"location": [0, -6, 0], "target": [0, 0, 0]})", 128,
                  R"({"type": "plane", "size": [400, 300], "rotate": [90, 0, 0], "translate": [0, )", ", 0]}", 0.1);
}

TEST(ProgramLimits, RunningOutOfMemoryNamesThePhaseInEveryPhase) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers reserve more address space than any limit here";
#endif
  TempDir dir;
  const std::string four = Spheres(dir, 4), two = Spheres(dir, 2), panes = Panes(dir),
                    out = (dir / "never.png").string();
  const struct {
    rlim_t megabytes;
    std::vector<std::string> scene;  // the demo scene, with shadows, when empty
    const char* size;
    const char* phase;
  } cases[] = {
      {200, {four}, "64x48", "reading the scene"},
      {400, {two}, "64x48", "gathering the scene"},
      {620, {two}, "64x48", "calculating screen projections"},
      {400, {}, "64x48", "calculating lights and shadow maps"},
      {800, {"--shadows", "0"}, "16384x16384", "initializing"},
      // One worker filing bands of many rows: its first band runs out at once.
      // The limit lies about 100 MiB above what the same render needs in
      // bands of a few rows and as far below what it needs in wide ones; a
      // 16384 x 16384 image left only a few MiB between its set-up and its
      // last bands, which one more thread's malloc arena could cross.
      {375, {panes, "--favor-speed", "--threads", "1", "--aa", "0"}, "16384x256", "rendering"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"render", "-o", out, "--size", c.size, "--quiet"};
    args.insert(args.end(), c.scene.begin(), c.scene.end());
    const ProgramRun run = RunDuskmoth(args, {}, "", {}, c.megabytes);
    EXPECT_EQ(run.exit_code, 1) << c.phase << "\n" << run.err;
    EXPECT_EQ(run.err, std::string("duskmoth: out of memory while ") + c.phase + "\n");
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

TEST(ProgramLimits, CtrlCInADialogOrAtThePromptLeavesTheDocument) {
  TempDir dir;
  const std::string doc = (dir / "scene.kvd").string();
  ASSERT_EQ(RunDuskmoth({"import", DM_SOURCE_DIR "/examples/scenes/showcase.json", "-o", doc}, {}).exit_code, 0);
  const auto before = std::filesystem::last_write_time(doc);
  for (const char* command : {"material", "properties", "options"}) {
    // Long enough for the dialog or the prompt to be waiting.
    const ProgramRun run =
        RunDuskmoth({command, doc}, {"QT_QPA_PLATFORM=offscreen"}, "", std::chrono::milliseconds(1500));
    EXPECT_EQ(run.exit_code, 130) << command << "\n" << run.err;
    EXPECT_EQ(run.Lines().back(), "duskmoth: interrupted") << command;
    EXPECT_EQ(std::filesystem::last_write_time(doc), before) << command;
  }
}

}  // namespace
