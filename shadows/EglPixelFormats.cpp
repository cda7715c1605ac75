#include "shadows/EglPixelFormats.h"

#include <new>
#include <string>

#include "host/platform/OffscreenGLContext.h"

namespace {

// All configs of one display share its driver: one context on the first
// pbuffer config capable of desktop OpenGL tells whether it is software.
bool DisplayRendersInSoftware(const KvGLDisplay& display, const std::vector<EGLConfig>& configs) {
  for (const EGLConfig config : configs) {
    if ((display.ConfigAttribute(config, EGL_RENDERABLE_TYPE) & EGL_OPENGL_BIT) == 0) continue;
    if ((display.ConfigAttribute(config, EGL_SURFACE_TYPE) & EGL_PBUFFER_BIT) == 0) continue;
    const KvOffscreenGLContext context(config, 1, 1);
    if (context.IsValid()) return IsSoftwareRenderer(context.Renderer());
  }
  return false;
}

}  // namespace

bool IsSoftwareRenderer(const std::string& renderer) {
  for (const char* name : {"llvmpipe", "softpipe", "swrast"})
    if (renderer.find(name) != std::string::npos) return true;
  return false;
}

std::vector<PixelFormatDescriptor> DescribeEglPixelFormats(const KvGLDisplay& display) {
  const std::vector<EGLConfig> configs = display.Configs();
  const bool software = DisplayRendersInSoftware(display, configs);
  std::vector<PixelFormatDescriptor> descriptors;
  descriptors.reserve(configs.size());
  for (const EGLConfig config : configs) {
    PixelFormatDescriptor d;
    if (display.ConfigAttribute(config, EGL_RENDERABLE_TYPE) & EGL_OPENGL_BIT) d.flags |= PFD_SUPPORT_OPENGL;
    d.pixel_type = display.ConfigAttribute(config, EGL_COLOR_BUFFER_TYPE) == EGL_RGB_BUFFER ? PFD_TYPE_RGBA
                                                                                            : PFD_TYPE_COLORINDEX;
    const EGLint surfaces = display.ConfigAttribute(config, EGL_SURFACE_TYPE);
    if (surfaces & EGL_WINDOW_BIT) d.flags |= PFD_DRAW_TO_WINDOW | PFD_DOUBLEBUFFER;
    if (surfaces & EGL_PBUFFER_BIT) d.flags |= PFD_DRAW_TO_BITMAP;
    if (software || display.ConfigAttribute(config, EGL_CONFIG_CAVEAT) == EGL_SLOW_CONFIG)
      d.flags |= PFD_GENERIC_FORMAT;
    d.color_bits = display.ConfigAttribute(config, EGL_BUFFER_SIZE);
    d.alpha_bits = display.ConfigAttribute(config, EGL_ALPHA_SIZE);
    d.depth_bits = display.ConfigAttribute(config, EGL_DEPTH_SIZE);
    d.stencil_bits = display.ConfigAttribute(config, EGL_STENCIL_SIZE);
    d.accum_bits = 0;
    descriptors.push_back(d);
  }
  return descriptors;
}

std::unique_ptr<KvOffscreenGLContext> CreateEglOffscreenContext(const KvGLDisplay& display, int format_index,
                                                                int width, int height) {
  const std::vector<EGLConfig> configs = display.Configs();
  if (format_index < 1 || std::size_t(format_index) > configs.size()) return nullptr;
  std::unique_ptr<KvOffscreenGLContext> context(
      new (std::nothrow) KvOffscreenGLContext(configs[std::size_t(format_index) - 1], width, height));
  if (!context || !context->IsValid()) return nullptr;
  return context;
}

bool EglPixelFormatDrawsOffscreen(const KvGLDisplay& display, int format_index) {
  return CreateEglOffscreenContext(display, format_index, 10, 10) != nullptr;
}
