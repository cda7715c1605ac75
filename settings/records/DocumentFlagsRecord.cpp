#include "settings/records/DocumentFlagsRecord.h"

#include "host/toolkit/BinaryArchive.h"

TK_UUID DocumentFlagsRecord::PlugInUuid() { return *TK_UUID::FromString("1706366F-99F0-40D5-AAE1-41131FD6B2F5"); }

bool DocumentFlagsRecord::Write(TK_BinaryArchive& a) const {
  return a.WriteInt(1) && a.WriteInt(1) && a.WriteBool(use_wallpaper) && a.WriteBool(stretch_wallpaper) &&
         a.WriteBool(favor_memory);
}

bool DocumentFlagsRecord::Read(TK_BinaryArchive& a, int& major, int& minor) {
  if (!(a.ReadInt(major) && a.ReadInt(minor) && a.ReadBool(use_wallpaper) && a.ReadBool(stretch_wallpaper)))
    return false;
  if (major >= 1 && minor >= 1) return a.ReadBool(favor_memory);
  return true;
}
