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

bool CDMRenderUserData::Write(TK_BinaryArchive& a) const { return Flags().Write(a); }

bool CDMRenderUserData::Read(TK_BinaryArchive& a) {
  DocumentFlagsRecord flags = Flags();
  const bool ok = flags.Read(a, m_archive_major, m_archive_minor);
  m_use_wallpaper = flags.use_wallpaper;
  m_stretch_wallpaper = flags.stretch_wallpaper;
  m_favor_memory = flags.favor_memory;
  return ok;
}

DocumentFlagsRecord CDMRenderUserData::Flags() const {
  DocumentFlagsRecord flags;
  flags.use_wallpaper = m_use_wallpaper;
  flags.stretch_wallpaper = m_stretch_wallpaper;
  flags.favor_memory = m_favor_memory;
  return flags;
}

bool CDMRenderUserData::GetDescription(TK_wString& description) {
  description = L"DuskMoth render settings";
  return true;
}
