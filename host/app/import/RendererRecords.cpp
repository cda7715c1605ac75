#include "host/app/import/RendererRecords.h"

#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/app/DocumentDataClient.h"
#include "host/app/UnknownUserData.h"
#include "host/toolkit/BinaryArchive.h"
#include "host/toolkit/Material.h"

namespace renderer_records {
namespace {

bool WriteMap(TK_BinaryArchive& a, const RendererMapSettings& m) {
  return a.WriteBool(m.enabled) && a.WriteDouble(m.amount) && a.WriteDouble(m.offset_u) &&
         a.WriteDouble(m.offset_v) && a.WriteDouble(m.tiling_u) && a.WriteDouble(m.tiling_v) &&
         a.WriteString(m.file_name) && a.WriteInt(m.filter);
}

bool ReadMap(TK_BinaryArchive& a, RendererMapSettings& m, bool with_filter) {
  return a.ReadBool(m.enabled) && a.ReadDouble(m.amount) && a.ReadDouble(m.offset_u) && a.ReadDouble(m.offset_v) &&
         a.ReadDouble(m.tiling_u) && a.ReadDouble(m.tiling_v) && a.ReadString(m.file_name) &&
         (!with_filter || a.ReadInt(m.filter));
}

}  // namespace

TK_UUID MaterialRecordUuid() { return *TK_UUID::FromString("CA08EE53-9D33-4ab6-B2EF-B68CCFEAF030"); }
TK_UUID PlugInUuid() { return *TK_UUID::FromString("1706366F-99F0-40D5-AAE1-41131FD6B2F5"); }

std::vector<std::uint8_t> WriteMaterialRecord(const TK_Material& host, const RendererMaterialSettings& s) {
  TK_BinaryArchive a;
  const bool ok = a.WriteInt(1) && a.WriteInt(2) && host.Write(a) && WriteMap(a, s.texture) &&
                  WriteMap(a, s.environment) && WriteMap(a, s.bump) && WriteMap(a, s.transparency) &&
                  a.WriteBool(s.two_sided) && a.WriteBool(s.faceted) && a.WriteBool(s.use_luminosity_color) &&
                  a.WriteColor(s.luminosity_color) && a.WriteDouble(s.luminosity) &&
                  a.WriteDouble(s.specular_level) && a.WriteDouble(s.reserved_a) && a.WriteDouble(s.reserved_b) &&
                  WriteMap(a, s.specular) && a.WriteDouble(s.reflectivity);
  return ok ? a.TakeBuffer() : std::vector<std::uint8_t>();
}

bool ReadMaterialRecord(std::span<const std::uint8_t> bytes, TK_Material& host, RendererMaterialSettings& out) {
  TK_BinaryArchive a(bytes);
  int major = 0, minor = 0;
  TK_Material m;
  RendererMaterialSettings s;
  if (!a.ReadInt(major) || !a.ReadInt(minor) || !m.Read(a)) return false;
  const bool with_filter = major >= 1 && minor >= 1;
  if (!(ReadMap(a, s.texture, with_filter) && ReadMap(a, s.environment, with_filter) &&
        ReadMap(a, s.bump, with_filter) && ReadMap(a, s.transparency, with_filter) && a.ReadBool(s.two_sided) &&
        a.ReadBool(s.faceted) && a.ReadBool(s.use_luminosity_color) && a.ReadColor(s.luminosity_color) &&
        a.ReadDouble(s.luminosity) && a.ReadDouble(s.specular_level) && a.ReadDouble(s.reserved_a) &&
        a.ReadDouble(s.reserved_b)))
    return false;
  if (major >= 1 && minor >= 2 && !(ReadMap(a, s.specular, true) && a.ReadDouble(s.reflectivity))) return false;
  host.CopyPropertiesFrom(m);
  out = s;
  return true;
}

std::vector<std::uint8_t> WriteDocumentFlags(const RendererDocumentFlags& f) {
  TK_BinaryArchive a;
  const bool ok = a.WriteInt(1) && a.WriteInt(1) && a.WriteBool(f.use_wallpaper) && a.WriteBool(f.stretch_wallpaper) &&
                  a.WriteBool(f.favor_memory);
  return ok ? a.TakeBuffer() : std::vector<std::uint8_t>();
}

bool ReadDocumentFlags(std::span<const std::uint8_t> bytes, RendererDocumentFlags& out) {
  TK_BinaryArchive a(bytes);
  int major = 0, minor = 0;
  RendererDocumentFlags f = out;
  if (!(a.ReadInt(major) && a.ReadInt(minor) && a.ReadBool(f.use_wallpaper) && a.ReadBool(f.stretch_wallpaper)))
    return false;
  if (major >= 1 && minor >= 1 && !a.ReadBool(f.favor_memory)) return false;
  out = f;
  return true;
}

bool AttachMaterialRecord(TK_Material& material, std::vector<std::uint8_t> bytes, const TK_ClassId* record_class) {
  std::unique_ptr<TK_UserData> record;
  if (record_class) {
    std::unique_ptr<TK_Object> object = record_class->Create();
    if (!TK_UserData::Cast(object.get())) return false;
    record.reset(static_cast<TK_UserData*>(object.release()));
    TK_BinaryArchive archive(bytes);
    if (!record->Read(archive)) return false;
  } else {
    record = std::make_unique<CKavraUnknownUserData>(MaterialRecordUuid(), std::move(bytes));
    // What the record's own constructor would set: found by its identifier,
    // and carried along when the host copies the material.
    record->m_userdata_uuid = MaterialRecordUuid();
    record->m_userdata_copycount = 1;
  }
  if (TK_UserData* old = material.GetUserData(MaterialRecordUuid())) material.DetachUserData(old);
  return material.AttachUserData(std::move(record));
}

std::vector<std::uint8_t> MaterialRecordBytes(const TK_Material& material) {
  const TK_UserData* record = material.GetUserData(MaterialRecordUuid());
  if (!record) return {};
  if (const auto* opaque = CKavraUnknownUserData::Cast(record)) return opaque->Bytes();
  TK_BinaryArchive archive;
  return record->Write(archive) ? archive.TakeBuffer() : std::vector<std::uint8_t>();
}

namespace {
KvDocumentDataClient* LoadedPlugIn() {
  for (KvDocumentDataClient* client : KavraApp().DocumentDataClients())
    if (client->DocumentDataPlugInId() == PlugInUuid()) return client;
  return nullptr;
}
}  // namespace

bool SetDocumentFlags(CKavraDoc& doc, const RendererDocumentFlags& flags) {
  std::vector<std::uint8_t> bytes = WriteDocumentFlags(flags);
  if (KvDocumentDataClient* plugin = LoadedPlugIn()) {
    TK_BinaryArchive archive(bytes);
    if (!plugin->ReadDocumentData(doc, archive)) return false;
  }
  doc.SetPlugInData(PlugInUuid(), std::move(bytes));
  return true;
}

bool GetDocumentFlags(const CKavraDoc& doc, RendererDocumentFlags& flags) {
  if (KvDocumentDataClient* plugin = LoadedPlugIn(); plugin && plugin->HasDocumentData(doc)) {
    TK_BinaryArchive archive;
    if (plugin->WriteDocumentData(doc, archive) && ReadDocumentFlags(archive.Buffer(), flags)) return true;
  }
  const std::vector<std::uint8_t>* stored = doc.PlugInData(PlugInUuid());
  return stored && ReadDocumentFlags(*stored, flags);
}

}  // namespace renderer_records

RendererMaterialSettings RendererMaterialSettings::FromHostMaterial(const TK_Material& host) {
  RendererMaterialSettings s;
  s.texture.file_name = host.TextureBitmapFileName();
  s.bump.file_name = host.BumpBitmapFileName();
  s.environment.file_name = host.EmapBitmapFileName();
  s.texture.enabled = !s.texture.file_name.IsEmpty();
  s.bump.enabled = !s.bump.file_name.IsEmpty();
  s.environment.enabled = !s.environment.file_name.IsEmpty();
  return s;
}
