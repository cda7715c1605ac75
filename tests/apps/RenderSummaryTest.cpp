#include "apps/duskmoth/RenderSummary.h"

#include <gtest/gtest.h>

namespace {

KvRenderReport Counts(long long triangles, int lights, int maps, long long samples) {
  KvRenderReport report;
  report.counted = true;
  report.triangles = triangles, report.lights = lights, report.shadow_maps = maps, report.samples = samples;
  return report;
}

TEST(RenderSummary, SaysWhatWasWrittenInGoodEnglish) {
  const struct { KvRenderReport report; double seconds; const char* line; } cases[] = {
      {Counts(12345, 2, 1, 480000), 1.2449, "Wrote o.png: 8 x 6 in 1.24 s (12,345 triangles, 2 lights, 1 shadow map, 480,000 samples)"},
      {Counts(1, 1, 0, 1234567890123), 0.006, "Wrote o.png: 8 x 6 in 0.01 s (1 triangle, 1 light, 0 shadow maps, 1,234,567,890,123 samples)"},
      {Counts(0, 0, 2, 999), 125.7, "Wrote o.png: 8 x 6 in 2 min 5 s (0 triangles, 0 lights, 2 shadow maps, 999 samples)"},
      {KvRenderReport(), 3, "Wrote o.png: 8 x 6 in 3.00 s"},  // a renderer that counts nothing
  };
  for (const auto& c : cases) EXPECT_EQ(SummaryLine("o.png", 8, 6, c.seconds, c.report), c.line);
  EXPECT_EQ(GroupedNumber(-1000), "-1,000");
}

TEST(RenderSummary, StatsLeaveOutThePhasesARendererDidNotTime) {
  KvRenderReport report = Counts(1, 1, 0, 1);
  report.gathering = 0.0125, report.pixels = 61.0;
  EXPECT_EQ(StatsLines({0.5, 0.25}, report, 2048 + 512),
            "Phases: import 0.500 s, gathering 0.013 s, pixels 1 min 1 s, writing 0.250 s\nPeak memory: 2.5 MiB\n");
  EXPECT_GT(PeakMemoryKib(), 0);
}

}  // namespace
