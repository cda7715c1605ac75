#pragma once
// RenderStatus: the codes a render worker sends its view with
// WM_RENDER_STATUS (SdkRenderViewWnd.h), and the payload each carries: the
// band progress word, or kNoStatusPayload. Codes 4 and 6 are never sent.

#include "host/platform/WinTypes.h"

enum class RenderStatus : int {
  initializing = 1,            // setup starts
  setup_done = 2,              // the image holds the background
  completed = 3,               // every pixel is done; sent, so the worker waits for the view
  progress = 5,                // a band of rows starts; payload: PackBandProgress
  aborted = 7,                 // stopped early: an abort or a setup failure
  screen_projections = 8,      // lights and shadow-map objects made, the faces are being projected
  lights_and_shadow_maps = 9,  // faces projected, the shadow maps are being drawn
};

// The payload of every status but progress.
inline constexpr LPARAM kNoStatusPayload = -1;

constexpr WPARAM StatusWord(RenderStatus status) { return WPARAM(status); }

// A band's progress: its height in the high 16 bits, its index in the low
// 16 bits, so that height x index image rows are done.
struct BandProgress {
  int band_height;
  int band_index;
};

constexpr LPARAM PackBandProgress(int band_height, int band_index) {
  return LPARAM(band_height) << 16 | LPARAM(band_index);
}

constexpr BandProgress UnpackBandProgress(LPARAM payload) {
  return BandProgress{int((payload >> 16) & 0xFFFF), int(payload & 0xFFFF)};
}
