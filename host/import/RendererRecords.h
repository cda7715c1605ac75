#pragma once
// The glue between the renderer's stored records (settings/records, the one
// writer and reader of their layouts) and a host document, so that scene
// import and the info command can carry and show a material's renderer
// settings and the renderer's document flags without the plug-in. Attaching
// creates the registered record class when the plug-in is loaded, and keeps
// the bytes opaque otherwise.

#include <cstdint>
#include <span>
#include <vector>

#include "host/toolkit/Uuid.h"
#include "settings/records/DocumentFlagsRecord.h"
#include "settings/records/MaterialRecord.h"

class CKavraDoc;
class TK_ClassId;
class TK_Material;

namespace renderer_records {

inline constexpr const char* kMaterialClassName = MaterialRecord::kClassName;
inline TK_UUID MaterialRecordUuid() { return MaterialRecord::ClassUuid(); }
inline TK_UUID PlugInUuid() { return DocumentFlagsRecord::PlugInUuid(); }

// The records as bytes. The readers take versions 1.0 up (fields a version
// lacks keep their defaults); false, with the outputs unchanged, when the
// bytes run out or are malformed.
std::vector<std::uint8_t> WriteMaterialRecord(const TK_Material& host, const MaterialRecord& settings);
bool ReadMaterialRecord(std::span<const std::uint8_t> bytes, TK_Material& host, MaterialRecord& settings);
std::vector<std::uint8_t> WriteDocumentFlags(const DocumentFlagsRecord& flags);
bool ReadDocumentFlags(std::span<const std::uint8_t> bytes, DocumentFlagsRecord& flags);

// Attaches the material record made from `bytes` to the material, replacing
// one it carries: an instance of `record_class` filled by its own Read
// (pass TK_ClassId::ClassId(kMaterialClassName), which exists while the
// plug-in is loaded), or, without a class, the bytes kept opaque so that the
// document stores them and a later run with the plug-in reads them. False,
// with nothing attached, when the class's Read refuses the bytes.
bool AttachMaterialRecord(TK_Material& material, std::vector<std::uint8_t> bytes, const TK_ClassId* record_class);
// The material's record in its layout (the opaque bytes, or what the
// record's own Write gives); empty when it carries none.
std::vector<std::uint8_t> MaterialRecordBytes(const TK_Material& material);

// Stores the flags as the plug-in's document data and, when the plug-in is
// loaded (its document-data client is registered), hands them to it as a
// document read would. False when the plug-in refuses them.
bool SetDocumentFlags(CKavraDoc& doc, const DocumentFlagsRecord& flags);
// The flags in force for the document: the loaded plug-in's, else those
// stored with the document. False (flags untouched) when there are none.
bool GetDocumentFlags(const CKavraDoc& doc, DocumentFlagsRecord& flags);

}  // namespace renderer_records
