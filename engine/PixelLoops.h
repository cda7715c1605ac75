#pragma once
// The pixel loops: a pure stage of the render. A loop casts the rows of the
// oversampled grid through a row-shading function, fills the screen
// projection index band by band through a band function, announces the
// bands as their rows are written, and filters the shaded rows into the
// target image's rows by the antialiasing level's kernel (Sampling.h), on
// one or more threads. It owns only its line buffers and threads;
// everything else is handed in for one run.

#include <atomic>
#include <cstdint>
#include <functional>

#include "host/sdk/RenderStatus.h"
#include "host/sdk/RowShare.h"

// Sizes and levels of one run.
struct PixelLoopSizes {
  int image_width = 0;
  int image_height = 0;
  int level = 0;        // an effective antialiasing level, 0 .. kMaxAntialiasLevel
  int band_height = 0;  // the session's; the 4 x 4 level rounds it (LoopBandHeight)
  bool coverage = false;  // samples carry coverage in bits 24-31, filtered like the colour; else bits 24-31 are dropped
};

// What one worker of a loop calls back; each worker has its own.
struct PixelLoopStage {
  // Fills the index for rows first .. first + count - 1; false ends the loop.
  std::function<bool(int first, int count)> prepare_band;
  // Shades oversampled row y into row[0 .. oversampled width - 1], each
  // sample blue | green << 8 | red << 16 (| coverage << 24 when the sizes
  // ask for it); stops early on an abort.
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

// One run: its sizes, how many workers share the rows, each worker's stage
// (made on the calling thread before the workers start) and the progress.
struct PixelLoopRun {
  PixelLoopSizes sizes;
  int threads = 1;
  std::function<PixelLoopStage(int worker)> make_stage;
  // A band's progress, as the payload carries it: band height and index.
  // Called in increasing order, never from two threads at once, each only
  // once every image row it claims is written; the sequence is the same
  // for any number of workers.
  std::function<void(int band_height, int band_index)> announce_band;
  // The rows this process renders when several share the image: its blocks
  // are shared out among the workers, the rows of other blocks are left as
  // they are but count as written (to rows_written and the announcements),
  // so that progress runs as for the whole image.
  RowShare share{};
};

// Runs the loop of the level: completed when done; aborted when the abort
// flag was raised or a band cannot be prepared. One worker casts the rows
// from the top on the calling thread; more split the image into blocks of
// rows, each cast on its own (rows a filter shares across a block's edge
// are cast by both), so the image is the same bit for bit. Rows finished
// before an abort stay in the target.
RenderStatus RunPixelLoop(const PixelLoopRun& run, const std::atomic<bool>& abort, PixelLoopTarget target);
