#pragma once
// The lines `duskmoth render` ends with: the image written, its size, the
// time taken and what the renderer rendered; with --stats also the time of
// each phase and the program's peak memory. Texts made from values.

#include <optional>
#include <string>
#include <vector>

#include "host/sdk/RenderReport.h"

// 1234567 as "1,234,567".
std::string GroupedNumber(long long n);

// "Wrote out.png: 800 x 600 in 1.24 s (12,345 triangles, 2 lights, 1 shadow
// map, 480,000 samples)"; the counts only when the renderer gave them.
std::string SummaryLine(const std::string& output, int width, int height, double seconds,
                        const KvRenderReport& report);

// Why a completed render shows only the background, when it does: "the
// scene has no triangles", "no object is in view" or "every material is
// fully transparent"; nothing for a render that showed something or gave no counts.
std::optional<std::string> NothingShown(const KvRenderReport& report);

// The program's own phases around the render's.
struct ProgramPhases {
  double import = 0;   // reading the scene, or building the demo scene
  double writing = 0;  // encoding and writing the image
};

// "Phases: import 0.120 s, gathering ..., writing 0.010 s" and "Peak memory:
// 85.3 MiB", each ending in a line feed; phases the renderer did not time
// are left out.
std::string StatsLines(const ProgramPhases& program, const KvRenderReport& report, long peak_kib);

// Under mpirun, "Ranks: 0 1.204 s, 1 1.187 s" (each rank's time from its
// start to the gather) and "Gathering the rows: 0.012 s, 0.004 s per
// megapixel", each ending in a line feed.
std::string RankLines(const std::vector<double>& rank_seconds, double gather_seconds, int width, int height);

// The program's peak resident memory so far in KiB (getrusage's ru_maxrss).
long PeakMemoryKib();
