#pragma once
// One host material with a non-default value in every field, and the same
// material laid down by hand in its version 1.0 archive layout.

#include "host/toolkit/Material.h"
#include "support/LittleEndianBytes.h"

inline TK_Material SampleMaterial() {
  TK_Material m;
  m.SetName(L"Brass \u00E9");
  m.SetDiffuse(TK_Color(200, 150, 40));
  m.SetAmbient(TK_Color(10, 20, 30));
  m.SetSpecular(TK_Color(250, 240, 230));
  m.SetEmission(TK_Color(1, 2, 3));
  m.SetShine(64.5);
  m.SetTransparency(0.25);
  m.SetTextureBitmapFileName(L"/maps/Brass.PNG");
  m.SetBumpBitmapFileName(L"/maps/dents.png");
  m.SetEmapBitmapFileName(L"/maps/sky.jpg");
  m.SetMaterialPlugInUuid(*TK_UUID::FromString("1706366F-99F0-40D5-AAE1-41131FD6B2F5"));
  return m;
}

inline void AppendSampleMaterialBytes(LittleEndianBytes& b) {
  b.Int(1).Int(0).String(u"Brass \u00E9");
  b.Color(200 | 150 << 8 | 40 << 16).Color(10 | 20 << 8 | 30 << 16).Color(250 | 240 << 8 | 230 << 16);
  b.Color(1 | 2 << 8 | 3 << 16).Double(64.5).Double(0.25);
  b.String(u"/maps/Brass.PNG").String(u"/maps/dents.png").String(u"/maps/sky.jpg");
  b.Bytes({0x6F, 0x36, 0x06, 0x17, 0xF0, 0x99, 0xD5, 0x40, 0xAA, 0xE1, 0x41, 0x13, 0x1F, 0xD6, 0xB2, 0xF5});
}
