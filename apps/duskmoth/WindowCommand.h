#pragma once
// `duskmoth window`: renders the scene as `render` does, into a Qt render
// window that stays open until the user closes it. For scripts it takes a
// screenshot of the whole window instead (when the render is done, at a
// zoom, or as soon as the render reaches a percentage) and closes it.

#include <ostream>

#include "apps/duskmoth/CommandLine.h"

// The render window's Zoom menu command for a zoom of 1..10 or -2..-10: its
// menu numbers them 32777 (1:1), 32778.. (in 2x..10x), 32787.. (out 2x..10x).
int ZoomMenuCommand(int zoom);

// Answers the program's exit code: 0 when the window was closed or the
// screenshot written, 1 when the render or the screenshot failed (or there
// is no display), 130 after Ctrl-C.
int RunWindow(const WindowOptions& options, std::ostream& err);
