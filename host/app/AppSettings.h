#pragma once
// CKavraAppSettings: application-wide settings of the host (the default light
// a renderer uses when a scene has none). A plain value owned by CKavraApp.

#include "host/toolkit/Light.h"

class CKavraAppSettings {
public:
  // A white point light of intensity 1, enabled, at the origin.
  CKavraAppSettings();

  const TK_Light& DefaultLight() const { return default_light_; }
  void SetDefaultLight(const TK_Light& light) { default_light_ = light; }

private:
  TK_Light default_light_;
};
