#pragma once
// CDMRenderUserData: the plug-in's own render settings (wallpaper use and
// stretching, memory-versus-speed preference). The plug-in object owns the
// one record and saves it as its document data; it is never attached.

#include "host/toolkit/Object.h"
#include "settings/records/DocumentFlagsRecord.h"

class CDMRenderUserData : public TK_UserData {
  TK_OBJECT_DECLARE(CDMRenderUserData)
public:
  CDMRenderUserData();
  // Copies take everything, the flags and the version pair included, so a
  // duplicate equals its source.
  CDMRenderUserData(const CDMRenderUserData&) = default;
  CDMRenderUserData& operator=(const CDMRenderUserData&) = default;
  ~CDMRenderUserData() override;

  std::unique_ptr<TK_Object> DuplicateObject() const override;
  // In the document-flags record's layout; both stop at the first failed
  // primitive.
  bool Write(TK_BinaryArchive& archive) const override;
  bool Read(TK_BinaryArchive& archive) override;
  bool GetDescription(TK_wString& description) override;
  bool Archive() const override { return true; }

  // The three flags as their stored record.
  DocumentFlagsRecord Flags() const;

  // Version pair of the last record read; 0.0 until one was read.
  int m_archive_major = 0;
  int m_archive_minor = 0;
  bool m_use_wallpaper = false;
  bool m_stretch_wallpaper = false;
  // Pixel cells are filled 4 rows at a time instead of 32.
  bool m_favor_memory = true;
};
