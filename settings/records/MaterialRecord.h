#pragma once
// MaterialRecord: the renderer's settings of one host material as they are
// stored (record class "CDMMaterialUserData", version 1.2), and the one
// writer and reader of that layout: the plug-in's user-data record and the
// host's scene import both go through it. A value.

#include "host/toolkit/Color.h"
#include "host/toolkit/Uuid.h"
#include "settings/records/MapRecord.h"

class TK_BinaryArchive;
class TK_Material;

struct MaterialRecord {
  MapRecord texture;
  MapRecord specular;
  MapRecord environment;
  MapRecord bump = MapRecord::BumpDefaults();
  MapRecord transparency;
  bool two_sided = true;
  bool faceted = false;
  bool use_luminosity_color = false;
  TK_Color luminosity_color;
  double luminosity = 0.0;
  // Shading scales the specular colour by 100 x this value.
  double specular_level = 0.01;
  double reserved_a = 0.0;  // carried unchanged
  double reserved_b = 0.0;  // carried unchanged
  double reflectivity = 0.0;

  static constexpr const char* kClassName = "CDMMaterialUserData";
  // The record's class and user-data identifier.
  static TK_UUID ClassUuid();

  // What the renderer makes of a host material without a record: defaults,
  // with the host's texture, bump and environment files in those maps, each
  // enabled exactly when it names a file.
  static MaterialRecord FromHostMaterial(const TK_Material& host);

  // Layout, version 1.2: int 1, int 2, the host material's own layout, map
  // blocks texture, environment, bump, transparency, bool two-sided, bool
  // faceted, bool use luminosity colour, colour luminosity colour, double
  // luminosity, double specular level, doubles reserved A and B, map block
  // specular, double reflectivity.
  bool Write(TK_BinaryArchive& archive, const TK_Material& host) const;
  // Reads the version pair, then the rest into host and this record (see
  // ReadBody). Stops at the first failed primitive.
  bool Read(TK_BinaryArchive& archive, TK_Material& host, int& major, int& minor);
  static bool ReadVersion(TK_BinaryArchive& archive, int& major, int& minor);
  // What follows the version pair: map filters from version 1.1, the
  // specular map and reflectivity from 1.2 (older records keep the defaults
  // there). Fields up to a failed primitive keep what was read.
  bool ReadBody(TK_BinaryArchive& archive, TK_Material& host, int major, int minor);
  bool operator==(const MaterialRecord&) const = default;
};
