#include "host/platform/OffscreenGLContext.h"

#include <sys/mman.h>

#include <EGL/eglext.h>
#include <GL/gl.h>

#include <atomic>

namespace {

// Once a context was current the driver stays loaded for the process's life.
std::atomic<bool>& DriverStarted() {
  static std::atomic<bool> started{false};
  return started;
}

}  // namespace

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
  if (current_) DriverStarted().store(true, std::memory_order_relaxed);
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

bool KvOffscreenGLContext::RoomToStart() noexcept {
  // Measured with Mesa 22's llvmpipe: loading the driver and LLVM takes
  // about 250 MB of address space, with more for a moment while it
  // compiles; a later context on the loaded driver needs far less.
  const std::size_t kRoom = std::size_t(DriverStarted().load(std::memory_order_relaxed) ? 128 : 384) << 20;
  // An inaccessible mapping counts against the limit but takes no memory.
  void* probe = ::mmap(nullptr, kRoom, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (probe == MAP_FAILED) return false;
  ::munmap(probe, kRoom);
  return true;
}
