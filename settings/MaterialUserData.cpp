#include "settings/MaterialUserData.h"

#include "host/toolkit/BinaryArchive.h"
#include "host/toolkit/Material.h"

TK_OBJECT_IMPLEMENT(CDMMaterialUserData, TK_UserData, "CA08EE53-9D33-4ab6-B2EF-B68CCFEAF030")

CDMMaterialUserData::CDMMaterialUserData() {
  m_userdata_uuid = m_CDMMaterialUserData_class_id.Uuid();
  m_userdata_copycount = 1;
}

CDMMaterialUserData::CDMMaterialUserData(const CDMMaterialUserData& other)
    : TK_UserData(other),
      m_material(other.m_material ? std::make_unique<CRenderMaterial>(*other.m_material) : nullptr),
      m_archive_major(other.m_archive_major),
      m_archive_minor(other.m_archive_minor) {}

CDMMaterialUserData& CDMMaterialUserData::operator=(const CDMMaterialUserData& other) {
  if (this != &other) {
    TK_UserData::operator=(other);
    m_material = other.m_material ? std::make_unique<CRenderMaterial>(*other.m_material) : nullptr;
    m_archive_major = other.m_archive_major;
    m_archive_minor = other.m_archive_minor;
  }
  return *this;
}

CDMMaterialUserData::~CDMMaterialUserData() = default;

std::unique_ptr<TK_Object> CDMMaterialUserData::DuplicateObject() const {
  auto copy = std::make_unique<CDMMaterialUserData>();
  *copy = *this;
  return copy;
}

bool CDMMaterialUserData::Write(TK_BinaryArchive& a) const {
  if (!a.WriteInt(1) || !a.WriteInt(2)) return false;
  if (!m_material) return true;
  const CRenderMaterial& m = *m_material;
  return m.TK_Material::Write(a) && m.m_texture_map.Write(a) && m.m_environment_map.Write(a) &&
         m.m_bump_map.Write(a) && m.m_transparency_map.Write(a) && a.WriteBool(m.m_two_sided) &&
         a.WriteBool(m.m_faceted) && a.WriteBool(m.m_use_luminosity_color) && a.WriteColor(m.m_luminosity_color) &&
         a.WriteDouble(m.m_luminosity) && a.WriteDouble(m.m_specular_level) && a.WriteDouble(m.m_reserved_a) &&
         a.WriteDouble(m.m_reserved_b) && m.m_specular_map.Write(a) && a.WriteDouble(m.m_reflectivity);
}

bool CDMMaterialUserData::Read(TK_BinaryArchive& a) {
  if (!a.ReadInt(m_archive_major) || !a.ReadInt(m_archive_minor)) return false;
  m_material = std::make_unique<CRenderMaterial>();
  CRenderMaterial& m = *m_material;
  const bool with_filter = m_archive_major >= 1 && m_archive_minor >= 1;
  if (!(m.TK_Material::Read(a) && m.m_texture_map.Read(a, with_filter) && m.m_environment_map.Read(a, with_filter) &&
        m.m_bump_map.Read(a, with_filter) && m.m_transparency_map.Read(a, with_filter) && a.ReadBool(m.m_two_sided) &&
        a.ReadBool(m.m_faceted) && a.ReadBool(m.m_use_luminosity_color) && a.ReadColor(m.m_luminosity_color) &&
        a.ReadDouble(m.m_luminosity) && a.ReadDouble(m.m_specular_level) && a.ReadDouble(m.m_reserved_a) &&
        a.ReadDouble(m.m_reserved_b)))
    return false;
  if (m_archive_major >= 1 && m_archive_minor >= 2) return m.m_specular_map.Read(a, true) && a.ReadDouble(m.m_reflectivity);
  return true;
}

bool CDMMaterialUserData::GetDescription(TK_wString& description) {
  description = L"DuskMoth material settings";
  return true;
}

CDMMaterialUserData* CDMMaterialUserData::FromMaterial(const TK_Material& material) {
  return Cast(material.GetUserData(m_CDMMaterialUserData_class_id.Uuid()));
}

bool CDMMaterialUserData::AttachTo(TK_Material& material, std::unique_ptr<CDMMaterialUserData>&& record) {
  // Checked here: a refused AttachUserData would destroy the record.
  if (!record || record->Owner() || material.GetUserData(record->m_userdata_uuid)) return false;
  return material.AttachUserData(std::move(record));
}

std::unique_ptr<CDMMaterialUserData> CDMMaterialUserData::DetachFrom(TK_Material& material) {
  CDMMaterialUserData* record = FromMaterial(material);
  if (!record) return nullptr;
  std::unique_ptr<TK_UserData> detached = material.DetachUserData(record);
  detached.release();  // the same object, now owned as its own class
  return std::unique_ptr<CDMMaterialUserData>(record);
}
