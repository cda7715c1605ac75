#pragma once
// TK_Material: a host material (name, colours, shine, transparency, three
// bitmap file names and the material plug-in's identifier). A plain value;
// like every toolkit object it owns its attached user data, and copies carry
// the records whose copy count is non-zero.

#include "host/toolkit/Color.h"
#include "host/toolkit/Object.h"
#include "host/toolkit/String.h"
#include "host/toolkit/Uuid.h"

class TK_Material : public TK_Object {
  TK_OBJECT_DECLARE(TK_Material)
public:
  // Defaults: white diffuse and specular, black ambient and emission, shine
  // 0, opaque, no bitmaps, no plug-in.
  TK_Material() = default;

  // Upper bound of Shine(); glossiness is Shine() / MaxShine().
  static constexpr double MaxShine() { return 255.0; }

  const TK_wString& Name() const { return name_; }
  void SetName(const TK_wString& name) { name_ = name; }
  TK_Color Diffuse() const { return diffuse_; }
  void SetDiffuse(TK_Color c) { diffuse_ = c; }
  TK_Color Ambient() const { return ambient_; }
  void SetAmbient(TK_Color c) { ambient_ = c; }
  TK_Color Specular() const { return specular_; }
  void SetSpecular(TK_Color c) { specular_ = c; }
  TK_Color Emission() const { return emission_; }
  void SetEmission(TK_Color c) { emission_ = c; }
  double Shine() const { return shine_; }
  // Clamped to 0..MaxShine(); NaN becomes 0.
  void SetShine(double shine);
  double Transparency() const { return transparency_; }
  // Clamped to 0..1; NaN becomes 0.
  void SetTransparency(double transparency);
  const TK_wString& TextureBitmapFileName() const { return texture_file_; }
  void SetTextureBitmapFileName(const TK_wString& f) { texture_file_ = f; }
  const TK_wString& BumpBitmapFileName() const { return bump_file_; }
  void SetBumpBitmapFileName(const TK_wString& f) { bump_file_ = f; }
  const TK_wString& EmapBitmapFileName() const { return emap_file_; }
  void SetEmapBitmapFileName(const TK_wString& f) { emap_file_ = f; }
  const TK_UUID& MaterialPlugInUuid() const { return plugin_uuid_; }
  void SetMaterialPlugInUuid(const TK_UUID& uuid) { plugin_uuid_ = uuid; }

  // Copies the material's own fields only, never the user data (a record
  // attached to `other` must not end up nested in this material).
  void CopyPropertiesFrom(const TK_Material& other);

  // Every material field; attached user data takes no part.
  bool operator==(const TK_Material& other) const;

  std::unique_ptr<TK_Object> DuplicateObject() const override;
  // Layout, version 1.0: int 1, int 0, string name, colours diffuse,
  // ambient, specular, emission, double shine, double transparency, strings
  // texture, bump and environment file names, uuid plug-in. User data is
  // not part of it (the document stores it beside the material). Read
  // accepts major version 1 only, changes nothing unless every field was
  // read, and clamps shine and transparency to their ranges.
  bool Write(TK_BinaryArchive& archive) const override;
  bool Read(TK_BinaryArchive& archive) override;

private:
  TK_wString name_;
  TK_Color diffuse_{255, 255, 255};
  TK_Color ambient_{0, 0, 0};
  TK_Color specular_{255, 255, 255};
  TK_Color emission_{0, 0, 0};
  double shine_ = 0.0;
  double transparency_ = 0.0;
  TK_wString texture_file_;
  TK_wString bump_file_;
  TK_wString emap_file_;
  TK_UUID plugin_uuid_;
};
