#pragma once
// CDMMaterialUserData: the renderer's settings of one host material, kept as
// user data attached to it. The record owns its CRenderMaterial; the host
// material owns the attached record.

#include <memory>

#include "host/toolkit/Object.h"
#include "settings/RenderMaterial.h"

class CDMMaterialUserData : public TK_UserData {
  TK_OBJECT_DECLARE(CDMMaterialUserData)
public:
  CDMMaterialUserData();
  // Deep copies: the target gets its own CRenderMaterial (or none), the
  // version pair and the user-data part.
  CDMMaterialUserData(const CDMMaterialUserData& other);
  CDMMaterialUserData& operator=(const CDMMaterialUserData& other);
  ~CDMMaterialUserData() override;

  std::unique_ptr<TK_Object> DuplicateObject() const override;
  // Layout, version 1.2: int 1, int 2; then, when there is a material: the
  // TK_Material part, map blocks texture, environment, bump, transparency,
  // bool two-sided, bool faceted, bool use luminosity colour, colour
  // luminosity colour, double luminosity, double specular level, doubles
  // reserved A and B, map block specular, double reflectivity. Read replaces
  // the material with a default one and fills it: map filters from version
  // 1.1, the specular map and reflectivity from 1.2. Both stop at the first
  // failed primitive; a record without a material does not read back.
  bool Write(TK_BinaryArchive& archive) const override;
  bool Read(TK_BinaryArchive& archive) override;
  bool GetDescription(TK_wString& description) override;
  bool Archive() const override { return true; }

  // The record attached to a host material, or null.
  static CDMMaterialUserData* FromMaterial(const TK_Material& material);
  // Attaches the record to the material, which then owns it. Fails when the
  // record is null or the material already carries one; the caller then
  // keeps the record.
  static bool AttachTo(TK_Material& material, std::unique_ptr<CDMMaterialUserData>&& record);
  // Detaches the material's record and hands it to the caller; null when it has none.
  static std::unique_ptr<CDMMaterialUserData> DetachFrom(TK_Material& material);

  std::unique_ptr<CRenderMaterial> m_material;
  // Version pair of the last record read; 0.0 until one was read.
  int m_archive_major = 0;
  int m_archive_minor = 0;
};
