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

// `count` spheres of two million triangles each, side by side.
std::string Spheres(const TempDir& dir, int count) {
  const std::string path = (dir / ("spheres" + std::to_string(count) + ".json")).string();
  std::ofstream out(path);
  out << R"({"camera": {"location": [0, -12, 3], "target": [0, 0, 0]}, "objects": [)";
  for (int i = 0; i < count; ++i)
    out << (i ? "," : "") << R"({"type": "sphere", "segments": 1024, "rings": 1024, "translate": [)" << 2.5 * i
        << ", 0, 0]}";
  out << "]}";
  return path;
}

TEST(ProgramLimits, RunningOutOfMemoryNamesThePhaseInEveryPhase) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers reserve more address space than any limit here";
#endif
  TempDir dir;
  const std::string four = Spheres(dir, 4), two = Spheres(dir, 2), out = (dir / "never.png").string();
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
      {1200, {"--shadows", "0"}, "16384x16384", "rendering"},
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
