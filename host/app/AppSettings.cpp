#include "host/app/AppSettings.h"

CKavraAppSettings::CKavraAppSettings() {
  default_light_.SetStyle(TK::point_light);
  default_light_.SetDiffuse(TK_Color(255, 255, 255));
  default_light_.SetIntensity(1.0);
  default_light_.Enable(true);
}
