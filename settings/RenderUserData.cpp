#include "settings/RenderUserData.h"

#include "host/toolkit/BinaryArchive.h"

TK_OBJECT_IMPLEMENT(CDMRenderUserData, TK_UserData, "61A1375D-8F84-43b5-826D-2D6FAE6E6535")

CDMRenderUserData::CDMRenderUserData() {
  m_userdata_uuid = m_CDMRenderUserData_class_id.Uuid();
  m_userdata_copycount = 1;
}

CDMRenderUserData::~CDMRenderUserData() = default;

std::unique_ptr<TK_Object> CDMRenderUserData::DuplicateObject() const {
  auto copy = std::make_unique<CDMRenderUserData>();
  *copy = *this;
  return copy;
}

bool CDMRenderUserData::Write(TK_BinaryArchive& a) const {
  return a.WriteInt(1) && a.WriteInt(1) && a.WriteBool(m_use_wallpaper) && a.WriteBool(m_stretch_wallpaper) &&
         a.WriteBool(m_favor_memory);
}

bool CDMRenderUserData::Read(TK_BinaryArchive& a) {
  if (!(a.ReadInt(m_archive_major) && a.ReadInt(m_archive_minor) && a.ReadBool(m_use_wallpaper) &&
        a.ReadBool(m_stretch_wallpaper)))
    return false;
  if (m_archive_major >= 1 && m_archive_minor >= 1) return a.ReadBool(m_favor_memory);
  return true;
}

bool CDMRenderUserData::GetDescription(TK_wString& description) {
  description = L"DuskMoth render settings";
  return true;
}
