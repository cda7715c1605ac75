#pragma once
// The DuskMoth renderer's two persisted records as the host sees them: plain
// values written and read in the renderer's documented archive layouts, so
// that scene import and the info command can carry and show a material's
// renderer settings (record class "CDMMaterialUserData", version 1.2) and the
// renderer's document flags (its document data, version 1.1) without
// including the plug-in. Attaching creates the registered record class when
// the plug-in is loaded, and keeps the bytes opaque otherwise.

#include <cstdint>
#include <span>
#include <vector>

#include "host/toolkit/Color.h"
#include "host/toolkit/String.h"
#include "host/toolkit/Uuid.h"

class CKavraDoc;
class TK_ClassId;
class TK_Material;

struct RendererMapSettings {
  bool enabled = false;
  double amount = 1.0;
  double tiling_u = 1.0;
  double tiling_v = 1.0;
  double offset_u = 0.0;  // in pixels of the image
  double offset_v = 0.0;
  int filter = 1;  // 1: bilinear filtering
  TK_wString file_name;

  static RendererMapSettings BumpDefaults() {
    RendererMapSettings m;
    m.amount = 0.025;
    m.filter = 0;
    return m;
  }
  bool operator==(const RendererMapSettings&) const = default;
};

struct RendererMaterialSettings {
  RendererMapSettings texture;
  RendererMapSettings specular;
  RendererMapSettings environment;
  RendererMapSettings bump = RendererMapSettings::BumpDefaults();
  RendererMapSettings transparency;
  bool two_sided = true;
  bool faceted = false;
  bool use_luminosity_color = false;
  TK_Color luminosity_color;
  double luminosity = 0.0;
  double specular_level = 0.01;
  double reserved_a = 0.0;
  double reserved_b = 0.0;
  double reflectivity = 0.0;

  // What the renderer makes of a host material without a record: defaults,
  // with the host's texture, bump and environment files in those maps, each
  // enabled exactly when it names a file.
  static RendererMaterialSettings FromHostMaterial(const TK_Material& host);
  bool operator==(const RendererMaterialSettings&) const = default;
};

struct RendererDocumentFlags {
  bool use_wallpaper = false;
  bool stretch_wallpaper = false;
  bool favor_memory = true;
  bool operator==(const RendererDocumentFlags&) const = default;
};

namespace renderer_records {

inline constexpr const char* kMaterialClassName = "CDMMaterialUserData";
// The material record's class and user-data identifier, and the plug-in's
// identifier under which a document keeps the renderer's flags.
TK_UUID MaterialRecordUuid();
TK_UUID PlugInUuid();

// Version 1.2 layout: int 1, int 2, the host material's own layout, map
// blocks texture, environment, bump, transparency, bool two-sided, bool
// faceted, bool use luminosity colour, colour, double luminosity, double
// specular level, doubles reserved A and B, map block specular, double
// reflectivity. A map block: bool enabled, doubles amount, offset U, offset
// V, tiling U, tiling V, string file name, int filter (from version 1.1).
std::vector<std::uint8_t> WriteMaterialRecord(const TK_Material& host, const RendererMaterialSettings& settings);
// Reads versions 1.0 to 1.2 (fields a version lacks keep their defaults);
// false, with the outputs unchanged, when the bytes run out or are malformed.
bool ReadMaterialRecord(std::span<const std::uint8_t> bytes, TK_Material& host, RendererMaterialSettings& settings);

// Version 1.1 layout: int 1, int 1, bool use wallpaper, bool stretch
// wallpaper, bool favor memory (read from version 1.1 on).
std::vector<std::uint8_t> WriteDocumentFlags(const RendererDocumentFlags& flags);
bool ReadDocumentFlags(std::span<const std::uint8_t> bytes, RendererDocumentFlags& flags);

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
bool SetDocumentFlags(CKavraDoc& doc, const RendererDocumentFlags& flags);
// The flags in force for the document: the loaded plug-in's, else those
// stored with the document. False (flags untouched) when there are none.
bool GetDocumentFlags(const CKavraDoc& doc, RendererDocumentFlags& flags);

}  // namespace renderer_records
