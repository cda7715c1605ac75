#include "host/toolkit/ScnObjectAttributes.h"

#include "host/toolkit/BinaryArchive.h"

TK_OBJECT_IMPLEMENT(TK_ScnObjectAttributes, TK_Object, "9F3B4F8E-53FD-4163-B134-704E7BA37E51")

bool TK_ScnObjectAttributes::SetMaterialSource(int source) {
  if (source != material_from_layer && source != material_from_object) return false;
  material_source_ = source;
  return true;
}

std::unique_ptr<TK_Object> TK_ScnObjectAttributes::DuplicateObject() const {
  return std::make_unique<TK_ScnObjectAttributes>(*this);
}

bool TK_ScnObjectAttributes::Write(TK_BinaryArchive& a) const {
  return a.WriteInt(1) && a.WriteInt(0) && a.WriteString(name_) && a.WriteInt(layer_index_) &&
         a.WriteInt(material_source_) && a.WriteInt(material_index_);
}

bool TK_ScnObjectAttributes::Read(TK_BinaryArchive& a) {
  int major = 0, minor = 0, layer = 0, source = 0, material = 0;
  TK_wString name;
  if (!(a.ReadInt(major) && a.ReadInt(minor) && major == 1 && a.ReadString(name) && a.ReadInt(layer) &&
        a.ReadInt(source) && a.ReadInt(material)))
    return false;
  if (!SetMaterialSource(source)) return false;
  name_ = std::move(name);
  layer_index_ = layer;
  material_index_ = material;
  return true;
}
