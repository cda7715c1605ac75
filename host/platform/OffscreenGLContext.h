#pragma once
// KvOffscreenGLContext: a desktop-OpenGL compatibility context on a pbuffer
// of width x height, current on the creating thread while the object lives.
// It holds the display for its life; destruction releases the context from
// the thread and destroys it and the surface.

#include <string>

#include "host/platform/GLDisplay.h"

class KvOffscreenGLContext {
public:
  // Invalid when the config cannot back a pbuffer of that size or the
  // context cannot be made current.
  KvOffscreenGLContext(EGLConfig config, int width, int height);
  ~KvOffscreenGLContext();
  KvOffscreenGLContext(const KvOffscreenGLContext&) = delete;
  KvOffscreenGLContext& operator=(const KvOffscreenGLContext&) = delete;

  // Whether the process has the address space a context needs to start.
  // Mesa's software renderer crashes instead of failing when it runs out
  // while it starts (it compiles shaders with LLVM, and each of its threads
  // reserves a stack), so under an address-space limit (ulimit -v) callers
  // ask first and treat "no" as memory running out.
  static bool RoomToStart() noexcept;

  bool IsValid() const { return current_; }
  const KvGLDisplay& Display() const { return display_; }
  // GL_RENDERER of the context ("llvmpipe (...)" and the like); empty when
  // invalid.
  std::string Renderer() const;

private:
  KvGLDisplay display_;
  EGLSurface surface_ = EGL_NO_SURFACE;
  EGLContext context_ = EGL_NO_CONTEXT;
  bool current_ = false;
};
