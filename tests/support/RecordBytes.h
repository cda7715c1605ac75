#pragma once
// The renderer's material record with a non-default value in every field, and the same record
// laid down by hand in versions 1.0 to 1.2: the golden set its readers and writers are held to.

#include "settings/records/MaterialRecord.h"
#include "support/SampleMaterial.h"

inline MapRecord SampleMapRecord(int seed) {
  MapRecord m;
  m.enabled = seed % 2 == 1;
  m.amount = 0.1 * seed;
  m.tiling_u = 2.0 + seed;
  m.tiling_v = 3.0 + seed;
  m.offset_u = -4.0 - seed;
  m.offset_v = 5.5 + seed;
  m.filter = seed == 4 ? 1 : 0;  // the opposite of each slot's default
  m.file_name = TK_wString(L"/maps/slot" + std::to_wstring(seed) + L"\u00E9.png");
  return m;
}

inline MaterialRecord SampleMaterialRecord() {
  MaterialRecord r;
  r.texture = SampleMapRecord(1);
  r.specular = SampleMapRecord(2);
  r.environment = SampleMapRecord(3);
  r.bump = SampleMapRecord(4);
  r.transparency = SampleMapRecord(5);
  r.two_sided = false;
  r.faceted = true;
  r.use_luminosity_color = true;
  r.luminosity_color = TK_Color(9, 8, 7);
  r.luminosity = 0.3;
  r.specular_level = 0.07;
  r.reserved_a = 11.5;
  r.reserved_b = -12.5;
  r.reflectivity = 0.45;
  return r;
}

// A map block: offsets come before tiling; the filter from version 1.1 on.
inline void AppendMapBytes(LittleEndianBytes& b, const MapRecord& m, bool with_filter) {
  const std::wstring& name = m.file_name.str();
  b.Bool(m.enabled).Double(m.amount).Double(m.offset_u).Double(m.offset_v).Double(m.tiling_u).Double(m.tiling_v);
  b.String(std::u16string(name.begin(), name.end()));
  if (with_filter) b.Int(m.filter);
}

// SampleMaterial() with SampleMaterialRecord() in the layout of version 1.minor.
inline std::vector<std::uint8_t> SampleMaterialRecordBytes(int minor) {
  LittleEndianBytes b;
  b.Int(1).Int(minor);
  AppendSampleMaterialBytes(b);
  for (int seed : {1, 3, 4, 5}) AppendMapBytes(b, SampleMapRecord(seed), minor >= 1);  // texture, environment, bump, transparency
  b.Bool(false).Bool(true).Bool(true).Color(0x070809).Double(0.3).Double(0.07).Double(11.5).Double(-12.5);
  if (minor >= 2) {
    AppendMapBytes(b, SampleMapRecord(2), true);  // specular, stored last
    b.Double(0.45);
  }
  return b.bytes;
}
