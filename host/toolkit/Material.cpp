#include "host/toolkit/Material.h"

#include <cmath>

#include "host/toolkit/BinaryArchive.h"

TK_OBJECT_IMPLEMENT(TK_Material, TK_Object, "D52C355A-CFA3-497B-9ACC-ACAD8BF59124")

namespace {
double Clamped(double v, double hi) { return std::isnan(v) ? 0.0 : std::fmin(std::fmax(v, 0.0), hi); }
}  // namespace

void TK_Material::SetShine(double shine) { shine_ = Clamped(shine, MaxShine()); }
void TK_Material::SetTransparency(double transparency) { transparency_ = Clamped(transparency, 1.0); }

void TK_Material::CopyPropertiesFrom(const TK_Material& o) {
  name_ = o.name_;
  diffuse_ = o.diffuse_;
  ambient_ = o.ambient_;
  specular_ = o.specular_;
  emission_ = o.emission_;
  shine_ = o.shine_;
  transparency_ = o.transparency_;
  texture_file_ = o.texture_file_;
  bump_file_ = o.bump_file_;
  emap_file_ = o.emap_file_;
  plugin_uuid_ = o.plugin_uuid_;
}

bool TK_Material::operator==(const TK_Material& o) const {
  return name_ == o.name_ && diffuse_ == o.diffuse_ && ambient_ == o.ambient_ && specular_ == o.specular_ &&
         emission_ == o.emission_ && shine_ == o.shine_ && transparency_ == o.transparency_ &&
         texture_file_ == o.texture_file_ && bump_file_ == o.bump_file_ && emap_file_ == o.emap_file_ &&
         plugin_uuid_ == o.plugin_uuid_;
}

std::unique_ptr<TK_Object> TK_Material::DuplicateObject() const { return std::make_unique<TK_Material>(*this); }

bool TK_Material::Write(TK_BinaryArchive& a) const {
  return a.WriteInt(1) && a.WriteInt(0) && a.WriteString(name_) && a.WriteColor(diffuse_) &&
         a.WriteColor(ambient_) && a.WriteColor(specular_) && a.WriteColor(emission_) && a.WriteDouble(shine_) &&
         a.WriteDouble(transparency_) && a.WriteString(texture_file_) && a.WriteString(bump_file_) &&
         a.WriteString(emap_file_) && a.WriteUuid(plugin_uuid_);
}

bool TK_Material::Read(TK_BinaryArchive& a) {
  int major = 0, minor = 0;
  if (!a.ReadInt(major) || !a.ReadInt(minor) || major != 1) return false;
  TK_Material m;
  double shine = 0.0, transparency = 0.0;
  if (!(a.ReadString(m.name_) && a.ReadColor(m.diffuse_) && a.ReadColor(m.ambient_) && a.ReadColor(m.specular_) &&
        a.ReadColor(m.emission_) && a.ReadDouble(shine) && a.ReadDouble(transparency) &&
        a.ReadString(m.texture_file_) && a.ReadString(m.bump_file_) && a.ReadString(m.emap_file_) &&
        a.ReadUuid(m.plugin_uuid_)))
    return false;
  m.SetShine(shine);
  m.SetTransparency(transparency);
  CopyPropertiesFrom(m);
  return true;
}
