#include "host/platform/OffscreenGLContext.h"

#include <EGL/eglext.h>
#include <GL/gl.h>

KvOffscreenGLContext::KvOffscreenGLContext(EGLConfig config, int width, int height) {
  if (!display_.IsValid() || width < 1 || height < 1) return;
  const EGLDisplay display = display_.Handle();
  const EGLint surface_attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  surface_ = eglCreatePbufferSurface(display, config, surface_attributes);
  if (surface_ == EGL_NO_SURFACE) return;
  // The API is chosen per thread: desktop OpenGL, compatibility profile, so
  // that the fixed-function calls are there.
  if (!eglBindAPI(EGL_OPENGL_API)) return;
  const EGLint context_attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                       EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  context_ = eglCreateContext(display, config, EGL_NO_CONTEXT, context_attributes);
  if (context_ == EGL_NO_CONTEXT) return;
  current_ = eglMakeCurrent(display, surface_, surface_, context_) == EGL_TRUE;
}

KvOffscreenGLContext::~KvOffscreenGLContext() {
  if (!display_.IsValid()) return;
  const EGLDisplay display = display_.Handle();
  if (current_) eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display, context_);
  if (surface_ != EGL_NO_SURFACE) eglDestroySurface(display, surface_);
  // Frees the thread's EGL state, so that the display can end with the
  // last hold whatever thread made the context.
  eglReleaseThread();
}

std::string KvOffscreenGLContext::Renderer() const {
  if (!current_) return {};
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  return renderer ? renderer : "";
}
