#pragma once
// KvGLDisplay: a hold on the process's one headless EGL display (Mesa's
// surfaceless platform, desktop OpenGL). The first hold initialises it and it
// stays initialised until the process ends; holds may live on any thread. A
// display that could not be made leaves every hold invalid (it is not retried).

#include <EGL/egl.h>

#include <vector>

class KvGLDisplay {
public:
  KvGLDisplay();
  ~KvGLDisplay();
  KvGLDisplay(const KvGLDisplay&) = delete;
  KvGLDisplay& operator=(const KvGLDisplay&) = delete;

  bool IsValid() const { return display_ != EGL_NO_DISPLAY; }
  EGLDisplay Handle() const { return display_; }

  // Every config of the display, in the display's order; empty when invalid.
  std::vector<EGLConfig> Configs() const;
  // The config's attribute; fallback when it cannot be read.
  EGLint ConfigAttribute(EGLConfig config, EGLint attribute, EGLint fallback = 0) const;

private:
  EGLDisplay display_ = EGL_NO_DISPLAY;
};
