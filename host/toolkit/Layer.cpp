#include "host/toolkit/Layer.h"

#include "host/toolkit/BinaryArchive.h"

TK_OBJECT_IMPLEMENT(TK_Layer, TK_Object, "9D5FF568-93ED-4940-9B06-6684A1A2D3C6")

bool TK_Layer::SetMode(int mode) {
  if (mode < normal_layer || mode > locked_layer) return false;
  mode_ = mode;
  return true;
}

void TK_Layer::SetVisible(bool visible) {
  if (!visible) mode_ = hidden_layer;
  else if (mode_ == hidden_layer) mode_ = normal_layer;
}

std::unique_ptr<TK_Object> TK_Layer::DuplicateObject() const { return std::make_unique<TK_Layer>(*this); }

bool TK_Layer::Write(TK_BinaryArchive& a) const {
  return a.WriteInt(1) && a.WriteInt(0) && a.WriteString(name_) && a.WriteInt(mode_) &&
         a.WriteInt(render_material_index_);
}

bool TK_Layer::Read(TK_BinaryArchive& a) {
  int major = 0, minor = 0, mode = 0, material = 0;
  TK_wString name;
  if (!(a.ReadInt(major) && a.ReadInt(minor) && major == 1 && a.ReadString(name) && a.ReadInt(mode) &&
        a.ReadInt(material)))
    return false;
  if (!SetMode(mode)) return false;
  name_ = std::move(name);
  render_material_index_ = material;
  return true;
}
