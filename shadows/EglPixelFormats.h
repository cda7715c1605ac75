#pragma once
// The pixel formats of the headless OpenGL display: each EGL config of the
// display described as a pixel-format descriptor (format index i is the
// display's config i - 1), and the offscreen test of one format.

#include <memory>
#include <string>
#include <vector>

#include "host/platform/GLDisplay.h"
#include "host/platform/OffscreenGLContext.h"
#include "shadows/PixelFormatRecord.h"

// How a config reads as a descriptor:
//   EGL_RENDERABLE_TYPE has EGL_OPENGL_BIT     -> PFD_SUPPORT_OPENGL
//   EGL_COLOR_BUFFER_TYPE is EGL_RGB_BUFFER    -> pixel type RGBA (else colour index)
//   EGL_SURFACE_TYPE has EGL_WINDOW_BIT        -> PFD_DRAW_TO_WINDOW | PFD_DOUBLEBUFFER
//                                                 (EGL window surfaces are back-buffered)
//   EGL_SURFACE_TYPE has EGL_PBUFFER_BIT       -> PFD_DRAW_TO_BITMAP (an offscreen target)
//   software renderer                          -> PFD_GENERIC_FORMAT: the config's
//       EGL_CONFIG_CAVEAT is EGL_SLOW_CONFIG, or a context made on the display names
//       llvmpipe, softpipe or swrast as its renderer
//   colour bits EGL_BUFFER_SIZE, alpha EGL_ALPHA_SIZE, depth EGL_DEPTH_SIZE,
//   stencil EGL_STENCIL_SIZE; accumulation 0 (EGL has no accumulation buffer);
//   PFD_SWAP_COPY never (EGL does not say how buffers are swapped).
std::vector<PixelFormatDescriptor> DescribeEglPixelFormats(const KvGLDisplay& display);

// A width x height pbuffer of the format with a desktop-GL context current
// on it for the calling thread; null when the display lacks the format or
// the context cannot be made.
std::unique_ptr<KvOffscreenGLContext> CreateEglOffscreenContext(const KvGLDisplay& display, int format_index,
                                                                int width, int height);

// Whether a 10 x 10 pbuffer with a desktop-GL context made current on it
// works for the format; false for an index the display does not have.
bool EglPixelFormatDrawsOffscreen(const KvGLDisplay& display, int format_index);

// Whether the renderer string names a software rasteriser.
bool IsSoftwareRenderer(const std::string& renderer);
