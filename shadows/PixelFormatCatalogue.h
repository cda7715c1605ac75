#pragma once
// The pixel-format catalogue: the usable OpenGL pixel formats sorted into
// four kinds and scored against a reference, the best three of each kind
// kept. The module holds one catalogue, built once when it is first asked
// for (so that a render without shadow maps never brings up OpenGL) and
// only read afterwards, also from render workers. The classification itself is a function over descriptors, so
// that any list of descriptors can be examined.

#include <functional>
#include <vector>

#include "shadows/PixelFormatRecord.h"

// Whether format (record.format_index) can draw into a bitmap of the depth.
using PixelFormatBitmapTest = std::function<bool(const PixelFormatRecord& record, int bitmap_bits)>;

// Reference of the scoring: kind 0, double-buffered window format with
// swap copy, colour bits = screen depth, depth 16, no alpha, accumulation
// or stencil.
inline constexpr std::int32_t kReferencePixelFormatFlags =
    PFD_DOUBLEBUFFER | PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_SWAP_COPY;

// The score of a classified record (kind and fields filled) against the
// reference for the screen depth.
int ScorePixelFormat(const PixelFormatRecord& record, int screen_depth);

// descriptors[i] is format index i + 1. Answers the catalogue: at most three
// records of kind 0, then of kind 1, 2 and 3, each group best first.
std::vector<PixelFormatRecord> ClassifyPixelFormats(const std::vector<PixelFormatDescriptor>& descriptors,
                                                    const PixelFormatBitmapTest& bitmap_test, int screen_depth);

// The first record of the kind, else the first record; a record with format
// index 0 (no format) when the list is empty.
PixelFormatRecord FindPixelFormat(const std::vector<PixelFormatRecord>& catalogue, int kind);

// The module's catalogue. Building examines the platform's formats; with no
// OpenGL display the catalogue stays empty. Always true. The queries build
// it first, from any thread, once. Without the address space to start
// OpenGL they throw std::bad_alloc and leave it unbuilt for a later call.
bool BuildPixelFormatCatalogue();
int PixelFormatCount();
PixelFormatRecord FindPixelFormat(int kind);
