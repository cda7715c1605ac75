#pragma once
// MapRecord: the stored settings of one map slot of a render material, in
// the block layout the material record uses. A value.

#include "host/toolkit/String.h"

class TK_BinaryArchive;

struct MapRecord {
  bool enabled = false;
  double amount = 1.0;  // 1.0 is 100 %
  double tiling_u = 1.0;
  double tiling_v = 1.0;
  double offset_u = 0.0;  // in pixels of the image
  double offset_v = 0.0;
  int filter = 1;  // 1: bilinear filtering; anything else: nearest pixel
  TK_wString file_name;

  // The bump slot's defaults: amount 0.025, no filtering.
  static MapRecord BumpDefaults();

  // Block layout: bool enabled, double amount, double offset U, double
  // offset V, double tiling U, double tiling V, string file name, int filter.
  // The filter is read only when with_filter is set (records of version 1.1
  // on); both stop at the first failed primitive.
  bool Write(TK_BinaryArchive& archive) const;
  bool Read(TK_BinaryArchive& archive, bool with_filter);
  bool operator==(const MapRecord&) const = default;
};
