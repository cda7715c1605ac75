#include "apps/duskmoth/RenderSummary.h"

#include <gtest/gtest.h>

// Minutes past 60 s, no counts from a renderer that gives none, and only the phases that were timed.
TEST(RenderSummary, LongRendersTakeMinutesAndWhatWasNotTimedIsLeftOut) {
  KvRenderReport report;
  EXPECT_EQ(SummaryLine("o.png", 8, 6, 125.7, report), "Wrote o.png: 8 x 6 in 2 min 5 s");
  report.gathering = 0.0126, report.pixels = 61.0;
  EXPECT_EQ(StatsLines({0.5, 0.25}, report, 2048 + 512),
            "Phases: import 0.500 s, gathering 0.013 s, pixels 1 min 1 s, writing 0.250 s\nPeak memory: 2.5 MiB\n");
}
