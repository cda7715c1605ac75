#pragma once
// MaterialMap: one map slot of a render material (texture, specular,
// environment, bump or transparency): the stored settings of its record plus
// run-time fields that the material cache binds. The slot never owns its
// bitmap.

#include "settings/records/MapRecord.h"

class COruDib;

struct MaterialMap : MapRecord {
  MaterialMap() = default;
  explicit MaterialMap(const MapRecord& stored) : MapRecord(stored) {}

  // Run-time, set by the material cache and never stored: the loaded
  // bitmap's width - 2 and height - 2 (0 without a bitmap), and the bitmap.
  int width_limit = 0;
  int height_limit = 0;
  const COruDib* bitmap = nullptr;

  // The bump slot's defaults: amount 0.025, no filtering.
  static MaterialMap BumpDefaults() { return MaterialMap(MapRecord::BumpDefaults()); }
};
