#include "apps/duskmoth/RenderSummary.h"

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <utility>

namespace {

std::string Count(long long n, const char* one, const char* many) {
  return GroupedNumber(n) + " " + (n == 1 ? one : many);
}

// Below a minute in seconds with the decimals asked for, else minutes and seconds.
std::string Duration(double seconds, int decimals) {
  char text[48];
  if (!(seconds >= 0)) seconds = 0;
  if (seconds < 60)
    std::snprintf(text, sizeof text, "%.*f s", decimals, seconds);
  else
    std::snprintf(text, sizeof text, "%lld min %.0f s", static_cast<long long>(seconds / 60),
                  std::floor(std::fmod(seconds, 60.0)));
  return text;
}

}  // namespace

std::string GroupedNumber(long long n) {
  const std::string digits = std::to_string(n < 0 ? -n : n);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return n < 0 ? "-" + text : text;
}

std::string SummaryLine(const std::string& output, int width, int height, double seconds,
                        const KvRenderReport& report) {
  std::string line = "Wrote " + output + ": " + std::to_string(width) + " x " + std::to_string(height) + " in " +
                     Duration(seconds, 2);
  if (report.counted)
    line += " (" + Count(report.triangles, "triangle", "triangles") + ", " + Count(report.lights, "light", "lights") +
            ", " + Count(report.shadow_maps, "shadow map", "shadow maps") + ", " +
            Count(report.samples, "sample", "samples") + ")";
  return line;
}

std::string StatsLines(const ProgramPhases& program, const KvRenderReport& report, long peak_kib) {
  const std::pair<const char*, std::optional<double>> phases[] = {
      {"import", program.import},        {"gathering", report.gathering},
      {"projection", report.projection}, {"shadow maps", report.shadow_maps_drawing},
      {"pixels", report.pixels},         {"writing", program.writing}};
  std::string text = "Phases:";
  bool first = true;
  for (const auto& [name, seconds] : phases) {
    if (!seconds) continue;
    text += std::string(first ? " " : ", ") + name + " " + Duration(*seconds, 3);
    first = false;
  }
  char memory[48];
  std::snprintf(memory, sizeof memory, "%.1f MiB", double(peak_kib) / 1024.0);
  return text + "\nPeak memory: " + memory + "\n";
}

std::string RankLines(const std::vector<double>& rank_seconds, double gather_seconds, int width, int height) {
  std::string text = "Ranks:";
  for (std::size_t r = 0; r < rank_seconds.size(); ++r)
    text += std::string(r ? ", " : " ") + std::to_string(r) + " " + Duration(rank_seconds[r], 3);
  const double megapixels = double(width) * double(height) / 1e6;
  return text + "\nGathering the rows: " + Duration(gather_seconds, 3) + ", " +
         Duration(megapixels > 0 ? gather_seconds / megapixels : 0, 4) + " per megapixel\n";
}

long PeakMemoryKib() {
  rusage usage{};
  return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : 0;
}

std::optional<std::string> NothingShown(const KvRenderReport& report) {
  if (!report.counted) return std::nullopt;
  if (report.triangles == 0) return "the scene has no triangles";
  if (report.faces_in_view == 0) return "no object is in view";
  if (report.all_see_through) return "every material is fully transparent";
  return std::nullopt;
}
