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
  if (!m_material) return a.WriteInt(1) && a.WriteInt(2);
  return m_material->Record().Write(a, *m_material);
}

bool CDMMaterialUserData::Read(TK_BinaryArchive& a) {
  if (!MaterialRecord::ReadVersion(a, m_archive_major, m_archive_minor)) return false;
  // A fresh material, filled as far as the bytes go.
  m_material = std::make_unique<CRenderMaterial>();
  MaterialRecord record;
  const bool ok = record.ReadBody(a, *m_material, m_archive_major, m_archive_minor);
  m_material->SetRecord(record);
  return ok;
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
