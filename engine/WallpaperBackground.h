#pragma once
// The wallpaper background of a render: the view's wallpaper scaled (kept
// in aspect, or stretched), optionally made grey, and centred on the
// background colour at the oversampled size.

#include <memory>

#include "host/platform/KavraDib.h"
#include "host/toolkit/String.h"

// Scaled wallpaper size for a width x height background from a wb x hb
// wallpaper: stretched to fill, or keeping the wallpaper's aspect and
// filling the narrower fit, the width rounded up to a multiple of 4.
SIZE ScaledWallpaperSize(int width, int height, int wb, int hb, bool stretch);

// A 24-bit width x height image of the background colour with the
// wallpaper file centred on it; none when the file cannot be read or a
// size is empty.
std::unique_ptr<CKavraDib> MakeWallpaperBackground(int width, int height, const TK_wString& file_name, bool grey,
                                                   bool stretch, COLORREF background);
