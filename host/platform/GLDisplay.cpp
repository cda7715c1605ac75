#include "host/platform/GLDisplay.h"

#include <EGL/eglext.h>

#include <mutex>

namespace {

// The shared display, opened by the first hold.
struct SharedDisplay {
  std::mutex mutex;
  EGLDisplay display = EGL_NO_DISPLAY;
  bool opened = false;
};

SharedDisplay& Shared() {
  static SharedDisplay shared;
  return shared;
}

EGLDisplay OpenDisplay() {
  const auto get_platform_display =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!get_platform_display) return EGL_NO_DISPLAY;
  EGLDisplay display = get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY) return EGL_NO_DISPLAY;
  EGLint major = 0, minor = 0;
  if (!eglInitialize(display, &major, &minor)) return EGL_NO_DISPLAY;
  return display;
}

}  // namespace

KvGLDisplay::KvGLDisplay() {
  SharedDisplay& shared = Shared();
  const std::lock_guard lock(shared.mutex);
  if (!shared.opened) {
    shared.display = OpenDisplay();
    shared.opened = true;
  }
  display_ = shared.display;
}

// The display is initialised once and kept until the process ends: terminating
// it unloads Mesa's driver, which keeps some allocations for the life of the
// process (they would read as leaks from an unnamed module), and initialising
// it again costs more than keeping it.
KvGLDisplay::~KvGLDisplay() = default;

std::vector<EGLConfig> KvGLDisplay::Configs() const {
  if (!IsValid()) return {};
  EGLint count = 0;
  if (!eglGetConfigs(display_, nullptr, 0, &count) || count <= 0) return {};
  std::vector<EGLConfig> configs(static_cast<std::size_t>(count));
  if (!eglGetConfigs(display_, configs.data(), count, &count)) return {};
  configs.resize(static_cast<std::size_t>(count));
  return configs;
}

EGLint KvGLDisplay::ConfigAttribute(EGLConfig config, EGLint attribute, EGLint fallback) const {
  EGLint value = fallback;
  if (!IsValid() || !eglGetConfigAttrib(display_, config, attribute, &value)) return fallback;
  return value;
}
