#include "settings/records/MaterialRecord.h"

#include "host/toolkit/BinaryArchive.h"
#include "host/toolkit/Material.h"

TK_UUID MaterialRecord::ClassUuid() { return *TK_UUID::FromString("CA08EE53-9D33-4ab6-B2EF-B68CCFEAF030"); }

MaterialRecord MaterialRecord::FromHostMaterial(const TK_Material& host) {
  MaterialRecord r;
  r.texture.file_name = host.TextureBitmapFileName();
  r.bump.file_name = host.BumpBitmapFileName();
  r.environment.file_name = host.EmapBitmapFileName();
  r.texture.enabled = !r.texture.file_name.IsEmpty();
  r.bump.enabled = !r.bump.file_name.IsEmpty();
  r.environment.enabled = !r.environment.file_name.IsEmpty();
  return r;
}

bool MaterialRecord::Write(TK_BinaryArchive& a, const TK_Material& host) const {
  return a.WriteInt(1) && a.WriteInt(2) && host.Write(a) && texture.Write(a) && environment.Write(a) &&
         bump.Write(a) && transparency.Write(a) && a.WriteBool(two_sided) && a.WriteBool(faceted) &&
         a.WriteBool(use_luminosity_color) && a.WriteColor(luminosity_color) && a.WriteDouble(luminosity) &&
         a.WriteDouble(specular_level) && a.WriteDouble(reserved_a) && a.WriteDouble(reserved_b) &&
         specular.Write(a) && a.WriteDouble(reflectivity);
}

bool MaterialRecord::Read(TK_BinaryArchive& a, TK_Material& host, int& major, int& minor) {
  return ReadVersion(a, major, minor) && ReadBody(a, host, major, minor);
}

bool MaterialRecord::ReadVersion(TK_BinaryArchive& a, int& major, int& minor) {
  return a.ReadInt(major) && a.ReadInt(minor);
}

bool MaterialRecord::ReadBody(TK_BinaryArchive& a, TK_Material& host, int major, int minor) {
  const bool with_filter = major >= 1 && minor >= 1;
  if (!(host.Read(a) && texture.Read(a, with_filter) && environment.Read(a, with_filter) &&
        bump.Read(a, with_filter) && transparency.Read(a, with_filter) && a.ReadBool(two_sided) &&
        a.ReadBool(faceted) && a.ReadBool(use_luminosity_color) && a.ReadColor(luminosity_color) &&
        a.ReadDouble(luminosity) && a.ReadDouble(specular_level) && a.ReadDouble(reserved_a) &&
        a.ReadDouble(reserved_b)))
    return false;
  if (major >= 1 && minor >= 2) return specular.Read(a, true) && a.ReadDouble(reflectivity);
  return true;
}
