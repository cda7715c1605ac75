// Classification, scoring and the module's one catalogue.

#include "shadows/PixelFormatCatalogue.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <new>

#include "host/platform/GLDisplay.h"
#include "host/platform/OffscreenGLContext.h"
#include "shadows/EglPixelFormats.h"

namespace {

// Headless: there is no screen to ask, and the images the shadow maps are
// read back into are 32-bit bitmaps; 32 stands for the screen depth.
constexpr int kScreenDepth = 32;

struct Catalogue {
  std::once_flag built;
  std::vector<PixelFormatRecord> records;
};

Catalogue& TheCatalogue() {
  static Catalogue catalogue;
  return catalogue;
}

bool Has(std::uint32_t flags, std::uint32_t bit) { return (flags & bit) != 0; }

// The class (1..6) the descriptor falls in, or 0 when it is not usable.
int PixelFormatClass(const PixelFormatDescriptor& d) {
  const bool doubled = Has(d.flags, PFD_DOUBLEBUFFER);
  const bool generic = Has(d.flags, PFD_GENERIC_FORMAT);
  const bool swap_copy = Has(d.flags, PFD_SWAP_COPY);
  const bool window = Has(d.flags, PFD_DRAW_TO_WINDOW);
  const bool bitmap = Has(d.flags, PFD_DRAW_TO_BITMAP);
  const bool full_colour = d.color_bits > 8 && d.depth_bits > 0;
  if (doubled && full_colour) return (generic ? 3 : 1) + (swap_copy ? 0 : 1);
  if (!doubled && generic && !swap_copy && bitmap && !window && d.color_bits >= 8 && d.depth_bits > 0) return 5;
  if (!doubled && window && d.color_bits > 8 && d.depth_bits >= 8) return 6;
  return 0;
}

int KindOfClass(int pixel_format_class) {
  switch (pixel_format_class) {
    case 1: case 2: return kAcceleratedDoubleBuffered;
    case 3: case 4: return kGenericDoubleBuffered;
    case 5: return kGenericBitmap;
    default: return kSingleBufferedWindow;
  }
}

// The first bitmap depth the format draws into raises the score (more when
// it is the format's own depth); none lowers it.
void TestBitmapDepths(PixelFormatRecord& record, const PixelFormatBitmapTest& bitmap_test) {
  record.bitmap_color_bits = 0;
  for (const int bits : {32, 24, 16}) {
    if (bitmap_test && bitmap_test(record, bits)) {
      record.bitmap_color_bits = bits;
      record.score += bits == record.color_bits ? 5 : 2;
      return;
    }
  }
  record.score -= 10;
}

// Tries the bitmap formats, best score first, and stops as soon as no
// format left can reach the best three (a try raises a score by 5 at most):
// on a real display each try makes an OpenGL context, and a software
// display offers dozens of formats. The formats left untried are dropped;
// they could not have been kept.
void TestBitmapFormats(std::vector<PixelFormatRecord>& list, const PixelFormatBitmapTest& bitmap_test) {
  std::stable_sort(list.begin(), list.end(),
                   [](const PixelFormatRecord& a, const PixelFormatRecord& b) { return a.score > b.score; });
  std::vector<int> best;  // the best three scores after the test, highest first
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (best.size() == 3 && list[i].score + 5 < best.back()) {
      list.resize(i);
      return;
    }
    TestBitmapDepths(list[i], bitmap_test);
    best.insert(std::upper_bound(best.begin(), best.end(), list[i].score, std::greater<int>()), list[i].score);
    if (best.size() > 3) best.pop_back();
  }
}

void AppendBest(std::vector<PixelFormatRecord>& list, std::vector<PixelFormatRecord>& catalogue) {
  std::stable_sort(list.begin(), list.end(),
                   [](const PixelFormatRecord& a, const PixelFormatRecord& b) { return a.score > b.score; });
  const std::size_t count = std::min<std::size_t>(3, list.size());
  catalogue.insert(catalogue.end(), list.begin(), list.begin() + std::ptrdiff_t(count));
}

}  // namespace

int ScorePixelFormat(const PixelFormatRecord& record, int screen_depth) {
  int score = 0;
  switch (record.kind) {
    case kAcceleratedDoubleBuffered: score += 60; break;
    case kGenericDoubleBuffered: score += 40; break;
    case kGenericBitmap: score += 30; break;
    default: score += Has(std::uint32_t(record.flags), PFD_GENERIC_FORMAT) ? 0 : 8; break;
  }
  if (record.flags == std::int32_t(kReferencePixelFormatFlags))
    score += 15;
  else
    score += 2 * std::popcount(std::uint32_t(record.flags) & kReferencePixelFormatFlags);
  if (record.color_bits == screen_depth)
    score += 15;
  else if (record.color_bits <= 8)
    score += 1;
  else if (record.kind == kGenericBitmap)
    score += 4 * ((32 - std::abs(screen_depth - record.color_bits)) / 8);
  else
    score += 3 * (record.color_bits / 8);
  if (record.depth_bits == 16) score += 6;
  else if (record.depth_bits > 16) score += 2;
  if (record.alpha_bits == 0) score += 4;
  else if (record.alpha_bits > 0) score += 1;
  if (record.stencil_bits == 0) score += 2;
  return score;
}

std::vector<PixelFormatRecord> ClassifyPixelFormats(const std::vector<PixelFormatDescriptor>& descriptors,
                                                    const PixelFormatBitmapTest& bitmap_test, int screen_depth) {
  std::vector<PixelFormatRecord> lists[7];
  for (std::size_t i = 0; i < descriptors.size(); ++i) {
    const PixelFormatDescriptor& d = descriptors[i];
    if (!Has(d.flags, PFD_SUPPORT_OPENGL) || d.pixel_type != PFD_TYPE_RGBA) continue;
    const int pixel_format_class = PixelFormatClass(d);
    if (pixel_format_class == 0) continue;
    PixelFormatRecord record;
    record.format_index = std::int32_t(i + 1);
    record.kind = KindOfClass(pixel_format_class);
    record.flags = std::int32_t(d.flags);
    record.color_bits = d.color_bits;
    record.alpha_bits = d.alpha_bits;
    record.accum_bits = d.accum_bits;
    record.depth_bits = d.depth_bits;
    record.stencil_bits = d.stencil_bits;
    record.bitmap_color_bits = d.color_bits;
    record.score = ScorePixelFormat(record, screen_depth);
    lists[pixel_format_class].push_back(record);
  }
  TestBitmapFormats(lists[5], bitmap_test);
  lists[1].insert(lists[1].end(), lists[2].begin(), lists[2].end());
  lists[3].insert(lists[3].end(), lists[4].begin(), lists[4].end());
  std::vector<PixelFormatRecord> catalogue;
  for (const int list : {1, 3, 5, 6}) AppendBest(lists[list], catalogue);
  return catalogue;
}

PixelFormatRecord FindPixelFormat(const std::vector<PixelFormatRecord>& catalogue, int kind) {
  for (const PixelFormatRecord& record : catalogue)
    if (record.kind == kind) return record;
  // An empty catalogue answers format index 0, which callers take as "no
  // format", rather than reading past the end.
  return catalogue.empty() ? PixelFormatRecord{} : catalogue.front();
}

bool BuildPixelFormatCatalogue() {
  Catalogue& catalogue = TheCatalogue();
  // Built once: workers read it afterwards without locking. Without the
  // room to start OpenGL, std::bad_alloc leaves it unbuilt for a later try.
  std::call_once(catalogue.built, [&catalogue] {
    if (!KvOffscreenGLContext::RoomToStart()) throw std::bad_alloc();
    const KvGLDisplay display;
    if (!display.IsValid()) return;
    const std::vector<PixelFormatDescriptor> descriptors = DescribeEglPixelFormats(display);
    // A pbuffer has no bitmap depth of its own: its pixels are read back into
    // a bitmap of any depth. So a format works with every depth or none, and
    // one try per format answers for all three.
    int tried = 0;
    bool works = false;
    const PixelFormatBitmapTest bitmap_test = [&](const PixelFormatRecord& record, int) {
      if (record.format_index != tried) {
        tried = record.format_index;
        works = EglPixelFormatDrawsOffscreen(display, record.format_index);
      }
      return works;
    };
    catalogue.records = ClassifyPixelFormats(descriptors, bitmap_test, kScreenDepth);
  });
  return true;
}

int PixelFormatCount() {
  BuildPixelFormatCatalogue();
  return int(TheCatalogue().records.size());
}

PixelFormatRecord FindPixelFormat(int kind) {
  BuildPixelFormatCatalogue();
  return FindPixelFormat(TheCatalogue().records, kind);
}
