// The headless OpenGL display, offscreen contexts and the catalogue built
// from the display's configs.

#include <gtest/gtest.h>

#include <thread>

#include "host/platform/GLDisplay.h"
#include "host/platform/OffscreenGLContext.h"
#include "shadows/EglPixelFormats.h"
#include "shadows/PixelFormatCatalogue.h"

namespace {

// The software rasteriser's configs, when Mesa answers on this machine.
bool MesaSoftwareDisplay() {
  const KvGLDisplay display;
  for (const EGLConfig config : display.Configs()) {
    if ((display.ConfigAttribute(config, EGL_SURFACE_TYPE) & EGL_PBUFFER_BIT) == 0) continue;
    const KvOffscreenGLContext context(config, 1, 1);
    if (context.IsValid()) return IsSoftwareRenderer(context.Renderer());
  }
  return false;
}

}  // namespace

TEST(GLDisplay, HoldsShareOneDisplayAcrossThreads) {
  const KvGLDisplay first;
  if (!first.IsValid()) GTEST_SKIP() << "no headless OpenGL display on this machine";
  const KvGLDisplay second;
  EXPECT_EQ(first.Handle(), second.Handle());
  EGLDisplay from_thread = EGL_NO_DISPLAY;
  std::thread([&from_thread] {
    const KvGLDisplay held;
    from_thread = held.Handle();
  }).join();
  EXPECT_EQ(from_thread, first.Handle());
  // The thread's hold ended while ours remain: the display still answers.
  EXPECT_FALSE(first.Configs().empty());
}

TEST(GLDisplay, DisplayComesBackAfterTheLastHoldEnds) {
  std::size_t configs = 0;
  {
    const KvGLDisplay display;
    if (!display.IsValid()) GTEST_SKIP() << "no headless OpenGL display on this machine";
    configs = display.Configs().size();
  }
  const KvGLDisplay again;
  ASSERT_TRUE(again.IsValid());
  EXPECT_EQ(again.Configs().size(), configs);
}

TEST(OffscreenGLContext, DrawsOnAPbufferAndRefusesEmptySizes) {
  const KvGLDisplay display;
  if (!display.IsValid() || display.Configs().empty()) GTEST_SKIP() << "no headless OpenGL display";
  const std::vector<EGLConfig> configs = display.Configs();
  const EGLConfig config = configs.front();
  const KvOffscreenGLContext empty(config, 0, 10);
  EXPECT_FALSE(empty.IsValid());
  EXPECT_TRUE(empty.Renderer().empty());
  int working = 0;
  for (const EGLConfig c : configs) {
    if ((display.ConfigAttribute(c, EGL_SURFACE_TYPE) & EGL_PBUFFER_BIT) == 0) continue;
    if ((display.ConfigAttribute(c, EGL_RENDERABLE_TYPE) & EGL_OPENGL_BIT) == 0) continue;
    const KvOffscreenGLContext context(c, 10, 10);
    if (!context.IsValid()) continue;
    ++working;
    EXPECT_FALSE(context.Renderer().empty());
    break;
  }
  EXPECT_GT(working, 0) << "no pbuffer config with desktop OpenGL";
}

TEST(EglPixelFormats, DescribesEveryConfigAndTestsIndicesInRange) {
  const KvGLDisplay display;
  if (!display.IsValid()) GTEST_SKIP() << "no headless OpenGL display";
  const std::vector<PixelFormatDescriptor> descriptors = DescribeEglPixelFormats(display);
  ASSERT_EQ(descriptors.size(), display.Configs().size());
  for (const PixelFormatDescriptor& d : descriptors) {
    EXPECT_EQ(d.accum_bits, 0);
    EXPECT_GE(d.color_bits, d.alpha_bits);
    // Double buffering stands only for window surfaces.
    if (d.flags & PFD_DOUBLEBUFFER) {
      EXPECT_TRUE(d.flags & PFD_DRAW_TO_WINDOW);
    }
  }
  EXPECT_FALSE(EglPixelFormatDrawsOffscreen(display, 0));
  EXPECT_FALSE(EglPixelFormatDrawsOffscreen(display, int(descriptors.size()) + 1));
}

TEST(EglPixelFormats, RecognisesSoftwareRenderers) {
  EXPECT_TRUE(IsSoftwareRenderer("llvmpipe (LLVM 15.0.6, 256 bits)"));
  EXPECT_TRUE(IsSoftwareRenderer("softpipe"));
  EXPECT_FALSE(IsSoftwareRenderer("NVIDIA H100 80GB HBM3/PCIe/SSE2"));
  EXPECT_FALSE(IsSoftwareRenderer(""));
}

TEST(PixelFormatCatalogue, ModuleCatalogueBuildsFromTheDisplay) {
  EXPECT_TRUE(BuildPixelFormatCatalogue());
  // Built once: a second call changes nothing.
  const int count = PixelFormatCount();
  EXPECT_TRUE(BuildPixelFormatCatalogue());
  EXPECT_EQ(PixelFormatCount(), count);
  EXPECT_LE(count, 12);
  if (!MesaSoftwareDisplay()) {
    // Without Mesa's software rasteriser there may be no bitmap kind; an
    // empty catalogue still answers format index 0.
    if (count == 0) {
      EXPECT_EQ(FindPixelFormat(kGenericBitmap).format_index, 0);
    }
    GTEST_SKIP() << "no Mesa software display here";
  }
  const PixelFormatRecord bitmap = FindPixelFormat(kGenericBitmap);
  EXPECT_EQ(bitmap.kind, kGenericBitmap);
  EXPECT_GT(bitmap.format_index, 0);
  EXPECT_EQ(bitmap.bitmap_color_bits, 32);
  EXPECT_GT(bitmap.depth_bits, 0);
  const KvGLDisplay display;
  EXPECT_TRUE(EglPixelFormatDrawsOffscreen(display, bitmap.format_index));
}
