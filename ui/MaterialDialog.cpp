#include "ui/MaterialDialog.h"

#include <cmath>

#include "host/app/App.h"
#include "host/app/Localize.h"
#include "resources/DialogResources.h"
#include "resources/RenderWindowResources.h"
#include "settings/MaterialUserData.h"
#include "ui/MapDialog.h"

namespace {

constexpr unsigned kMaterialDialogResource = 6002;
constexpr unsigned kIconResource = 12000;
constexpr int kDiffuse = 1062, kSpecular = 1064, kAmbient = 1063, kLuminosityColour = 1065;
constexpr int kUseLuminosityColour = 6031, kTwoSided = 6032, kFaceted = 6033, kHelpButton = 6042;

// One integer control: its edit, its spin and its range.
struct IntegerControl {
  int edit, spin, lowest, highest;
};
constexpr IntegerControl kSpecularLevel{6019, 6024, 0, 999};
constexpr IntegerControl kGlossiness{6025, 6026, 0, 100};
constexpr IntegerControl kTransparency{6027, 6028, 0, 100};
constexpr IntegerControl kLuminosity{6029, 6030, 0, 100};
// The edit takes any number; only the spin stops at 0 and 100.
constexpr IntegerControl kReflectivity{6035, 6036, 0, 100};

// Map slots in CRenderMaterial's slot order: switch, amount, button, and the
// amount's scale (the bump amount is in thousandths and may be negative).
struct MapControls {
  int check;
  IntegerControl amount;
  int button;
  double scale;
  int kind;
};
constexpr MapControls kMapControls[CRenderMaterial::slot_count] = {
    {6004, {6005, 6006, 0, 100}, 6007, 100.0, CMapDialog::texture_map},
    {6016, {6017, 6018, 0, 100}, 6034, 100.0, CMapDialog::specular_map},
    {6008, {6009, 6010, 0, 100}, 6011, 100.0, CMapDialog::environment_map},
    {6012, {6013, 6014, -999, 999}, 6015, 1000.0, CMapDialog::bump_map},
    {6020, {6021, 6022, 0, 100}, 6023, 100.0, CMapDialog::transparency_map},
};

// Shown values are the nearest integer: a value entered and stored comes
// back as it was entered (truncating showed a stored 0.29 as 28).
int Shown(double value, double scale) { return int(std::lround(value * scale)); }

}  // namespace

CMaterialDialog::CMaterialDialog() : CKavraDialog(*LoadDialogResource(kMaterialDialogResource)) {}

void CMaterialDialog::Load(const CRenderMaterial& m) {
  m_diffuse = m.Diffuse();
  m_specular = m.Specular();
  m_ambient = m.Ambient();
  m_luminosity_color = m.m_luminosity_color;
  m_use_luminosity_color = m.m_use_luminosity_color;
  m_specular_level = Shown(m.m_specular_level, 10000.0);
  m_glossiness = Shown(m.Shine() / TK_Material::MaxShine(), 100.0);
  m_transparency = Shown(m.Transparency(), 100.0);
  m_luminosity = Shown(m.m_luminosity, 100.0);
  m_reflectivity = Shown(m.m_reflectivity, 100.0);
  m_two_sided = m.m_two_sided;
  m_faceted = m.m_faceted;
  for (int slot = 0; slot < CRenderMaterial::slot_count; ++slot) {
    m_maps[std::size_t(slot)] = m.Map(slot);
    m_map_enabled[std::size_t(slot)] = m.Map(slot).enabled;
    m_map_amount[std::size_t(slot)] = Shown(m.Map(slot).amount, kMapControls[slot].scale);
  }
}

void CMaterialDialog::Store(CRenderMaterial& m) const {
  m.SetDiffuse(m_diffuse);
  m.SetSpecular(m_specular);
  m.SetAmbient(m_ambient);
  m.m_luminosity_color = m_luminosity_color;
  m.m_use_luminosity_color = m_use_luminosity_color;
  m.m_specular_level = m_specular_level * 0.0001;
  m.m_luminosity = m_luminosity * 0.01;
  m.m_reflectivity = m_reflectivity * 0.01;
  m.SetShine(TK_Material::MaxShine() * m_glossiness * 0.01);
  m.SetTransparency(m_transparency * 0.01);
  m.m_two_sided = m_two_sided;
  m.m_faceted = m_faceted;
  for (int slot = 0; slot < CRenderMaterial::slot_count; ++slot) {
    MaterialMap& map = m.Map(slot);
    map = m_maps[std::size_t(slot)];
    map.enabled = m_map_enabled[std::size_t(slot)];
    map.amount = m_map_amount[std::size_t(slot)] / kMapControls[slot].scale;
    if (slot == CRenderMaterial::texture_slot) m.SetTextureBitmapFileName(map.file_name);
    if (slot == CRenderMaterial::environment_slot) m.SetEmapBitmapFileName(map.file_name);
    if (slot == CRenderMaterial::bump_slot) m.SetBumpBitmapFileName(map.file_name);
  }
}

TK_wString CMaterialDialog::MapButtonCaption(const TK_wString& file_name) {
  if (file_name.IsEmpty()) return KvLocalizeString(L"(none)");
  const std::wstring& name = file_name.str();
  const std::size_t separator = name.find_last_of(L"\\/");
  return separator == std::wstring::npos ? file_name : TK_wString(name.substr(separator + 1));
}

void CMaterialDialog::DoDataExchange(KvDataExchange& dx) {
  dx.Colour(kDiffuse, m_diffuse);
  dx.Colour(kSpecular, m_specular);
  dx.Colour(kAmbient, m_ambient);
  dx.Colour(kLuminosityColour, m_luminosity_color);
  dx.Check(kUseLuminosityColour, m_use_luminosity_color);
  dx.Int(kSpecularLevel.edit, m_specular_level, kSpecularLevel.lowest, kSpecularLevel.highest);
  dx.Int(kGlossiness.edit, m_glossiness, kGlossiness.lowest, kGlossiness.highest);
  dx.Int(kTransparency.edit, m_transparency, kTransparency.lowest, kTransparency.highest);
  dx.Int(kLuminosity.edit, m_luminosity, kLuminosity.lowest, kLuminosity.highest);
  dx.Int(kReflectivity.edit, m_reflectivity);
  dx.Check(kTwoSided, m_two_sided);
  dx.Check(kFaceted, m_faceted);
  for (int slot = 0; slot < CRenderMaterial::slot_count; ++slot) {
    const MapControls& c = kMapControls[slot];
    bool enabled = m_map_enabled[std::size_t(slot)];
    dx.Check(c.check, enabled);
    m_map_enabled[std::size_t(slot)] = enabled;
    dx.Int(c.amount.edit, m_map_amount[std::size_t(slot)], c.amount.lowest, c.amount.highest);
  }
}

void CMaterialDialog::OnInitDialog() {
  CKavraDialog::OnInitDialog();
  if (const KvIcon* icon = LoadIconResource(kIconResource)) Window()->SetIcon(*icon);
  for (const IntegerControl& c : {kSpecularLevel, kGlossiness, kTransparency, kLuminosity, kReflectivity})
    SetSpinRange(c.spin, c.lowest, c.highest);
  for (int slot = 0; slot < CRenderMaterial::slot_count; ++slot) {
    SetSpinRange(kMapControls[slot].amount.spin, kMapControls[slot].amount.lowest, kMapControls[slot].amount.highest);
    UpdateMapButton(slot);
  }
  EnableLuminosityColour();
}

void CMaterialDialog::OnButton(int id) {
  if (id == kUseLuminosityColour) return EnableLuminosityColour();
  if (id == kHelpButton) {
    KavraApp().DoHelp(kHelpTopic);
    return;
  }
  for (int slot = 0; slot < CRenderMaterial::slot_count; ++slot) {
    if (id != kMapControls[slot].button) continue;
    MaterialMap& map = m_maps[std::size_t(slot)];
    CMapDialog dialog(map, kMapControls[slot].kind);
    if (dialog.DoModal() != IDOK) return;
    map.offset_u = dialog.m_offset_u;
    map.offset_v = dialog.m_offset_v;
    map.tiling_u = dialog.m_tiling_u;
    map.tiling_v = dialog.m_tiling_v;
    map.file_name = dialog.m_file_name;
    map.filter = dialog.m_filter ? 1 : 0;
    UpdateMapButton(slot);
    return;
  }
}

void CMaterialDialog::EnableLuminosityColour() {
  Window()->Enable(kLuminosityColour, Window()->Checked(kUseLuminosityColour));
}

void CMaterialDialog::UpdateMapButton(int slot) {
  Window()->SetText(kMapControls[slot].button, MapButtonCaption(m_maps[std::size_t(slot)].file_name));
}

bool CMaterialDialog::EditMaterial(TK_Material& material, const TK_UUID& plugin_id) {
  const CDMMaterialUserData* previous = CDMMaterialUserData::FromMaterial(material);
  // The copy is edited; the previous record stays attached until OK, so
  // that a cancelled edit loses nothing.
  auto edited = previous && previous->m_material ? std::make_unique<CRenderMaterial>(*previous->m_material)
                                                 : std::make_unique<CRenderMaterial>(material);
  if (previous && previous->m_material) edited->RefreshFrom(material);
  CMaterialDialog dialog;
  dialog.Load(*edited);
  if (dialog.DoModal() != IDOK) return false;
  edited->SetMaterialPlugInUuid(plugin_id);
  dialog.Store(*edited);
  auto record = std::make_unique<CDMMaterialUserData>();
  record->m_material = std::move(edited);
  CDMMaterialUserData::DetachFrom(material);
  material.CopyPropertiesFrom(*record->m_material);
  return CDMMaterialUserData::AttachTo(material, std::move(record));
}
