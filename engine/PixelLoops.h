#pragma once
// The pixel loops: a pure stage of the render. A loop casts the rows of the
// oversampled grid from the top through a row-shading function, fills the
// screen projection index band by band through a band function, announces
// each band, and filters the shaded rows into the target image's rows by
// the antialiasing level's kernel (Sampling.h). It owns only its line
// buffers; everything else is handed in for one run.

#include <atomic>
#include <cstdint>
#include <functional>

#include "host/sdk/RenderStatus.h"

// Sizes and levels of one run.
struct PixelLoopSizes {
  int image_width = 0;
  int image_height = 0;
  int level = 0;        // an effective antialiasing level, 0 .. kMaxAntialiasLevel
  int band_height = 0;  // the session's; the 4 x 4 level rounds it (LoopBandHeight)
};

// What a loop calls back.
struct PixelLoopStage {
  // Fills the index for rows first .. first + count - 1; false ends the loop.
  std::function<bool(int first, int count)> prepare_band;
  // A band starts: height and index as the progress payload carries them.
  std::function<void(int band_height, int band_index)> announce_band;
  // Shades oversampled row y into row[0 .. oversampled width - 1], each
  // sample blue | green << 8 | red << 16; stops early on an abort.
  std::function<void(int y, std::uint32_t* row)> shade_row;
};

// The target: image_width x image_height words in memory rows bottom-up, so
// that image row 0 is the last one (the view's 32-bit image). When
// rows_written is given, the loop stores there (with release order) how
// many rows from the top are wholly written, after writing them: a window
// on another thread may read those rows and no others.
struct PixelLoopTarget {
  std::uint32_t* bits = nullptr;
  std::atomic<int>* rows_written = nullptr;
};

// Runs the loop of the level: completed when done; aborted when the abort
// flag was raised or a band cannot be prepared. Rows
// finished before an abort stay in the target.
RenderStatus RunPixelLoop(const PixelLoopSizes& sizes, const std::atomic<bool>& abort, const PixelLoopStage& stage,
                          PixelLoopTarget target);
