#include "host/import/RendererRecords.h"

#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/app/DocumentDataClient.h"
#include "host/app/UnknownUserData.h"
#include "host/toolkit/BinaryArchive.h"
#include "host/toolkit/Material.h"

namespace renderer_records {

std::vector<std::uint8_t> WriteMaterialRecord(const TK_Material& host, const MaterialRecord& settings) {
  TK_BinaryArchive a;
  return settings.Write(a, host) ? a.TakeBuffer() : std::vector<std::uint8_t>();
}

bool ReadMaterialRecord(std::span<const std::uint8_t> bytes, TK_Material& host, MaterialRecord& out) {
  TK_BinaryArchive a(bytes);
  int major = 0, minor = 0;
  TK_Material m;
  MaterialRecord s;
  if (!s.Read(a, m, major, minor)) return false;
  host.CopyPropertiesFrom(m);
  out = s;
  return true;
}

std::vector<std::uint8_t> WriteDocumentFlags(const DocumentFlagsRecord& flags) {
  TK_BinaryArchive a;
  return flags.Write(a) ? a.TakeBuffer() : std::vector<std::uint8_t>();
}

bool ReadDocumentFlags(std::span<const std::uint8_t> bytes, DocumentFlagsRecord& out) {
  TK_BinaryArchive a(bytes);
  int major = 0, minor = 0;
  DocumentFlagsRecord f = out;
  if (!f.Read(a, major, minor)) return false;
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

bool SetDocumentFlags(CKavraDoc& doc, const DocumentFlagsRecord& flags) {
  std::vector<std::uint8_t> bytes = WriteDocumentFlags(flags);
  if (KvDocumentDataClient* plugin = LoadedPlugIn()) {
    TK_BinaryArchive archive(bytes);
    if (!plugin->ReadDocumentData(doc, archive)) return false;
  }
  doc.SetPlugInData(PlugInUuid(), std::move(bytes));
  return true;
}

bool GetDocumentFlags(const CKavraDoc& doc, DocumentFlagsRecord& flags) {
  if (KvDocumentDataClient* plugin = LoadedPlugIn(); plugin && plugin->HasDocumentData(doc)) {
    TK_BinaryArchive archive;
    if (plugin->WriteDocumentData(doc, archive) && ReadDocumentFlags(archive.Buffer(), flags)) return true;
  }
  const std::vector<std::uint8_t>* stored = doc.PlugInData(PlugInUuid());
  return stored && ReadDocumentFlags(*stored, flags);
}

}  // namespace renderer_records
