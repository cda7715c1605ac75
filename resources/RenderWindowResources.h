#pragma once
// The render window's resources, by number: menu and icon 12000, the open
// hand cursor 132 and the view's background pattern, bitmap 6001. Built on
// first use and kept for the module's lifetime; a number the module does
// not have answers null, as a missing resource does.

#include "host/platform/Menu.h"
#include "host/platform/Pixmap.h"

// Render window menu commands.
namespace render_commands {
inline constexpr int kSaveAs = 101;
inline constexpr int kCopy = 102;
inline constexpr int kPrint = 103;
inline constexpr int kExit = 104;
inline constexpr int kDisplayHelp = 105;
inline constexpr int kNormalViewing = 32777;  // zoom 1
inline constexpr int kZoomIn2x = 32778;       // .. 32786: zoom 2 .. 10
inline constexpr int kZoomOut2x = 32787;      // .. 32795: zoom -2 .. -10
inline constexpr int kLastZoom = 32795;
}  // namespace render_commands

const KvMenuItem* LoadMenuResource(unsigned id);
const KvIcon* LoadIconResource(unsigned id);
const KvCursorShape* LoadCursorResource(unsigned id);
const KvPixmap* LoadBitmapResource(unsigned id);
