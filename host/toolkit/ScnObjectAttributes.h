#pragma once
// TK_ScnObjectAttributes: the attributes of a scene object (name, layer and
// where its material comes from). A plain value.

#include "host/toolkit/Object.h"
#include "host/toolkit/String.h"

class TK_ScnObjectAttributes : public TK_Object {
  TK_OBJECT_DECLARE(TK_ScnObjectAttributes)
public:
  enum MaterialSourceKind : int { material_from_layer = 0, material_from_object = 1 };

  const TK_wString& Name() const { return name_; }
  void SetName(const TK_wString& name) { name_ = name; }
  // Index into the document's layer table.
  int LayerIndex() const { return layer_index_; }
  void SetLayerIndex(int index) { layer_index_ = index; }
  // material_from_layer: the layer's render material; material_from_object:
  // MaterialIndex().
  int MaterialSource() const { return material_source_; }
  // False for values outside the enumeration.
  bool SetMaterialSource(int source);
  // Index into the document's material table; -1 for the default material.
  int MaterialIndex() const { return material_index_; }
  void SetMaterialIndex(int index) { material_index_ = index; }

  bool operator==(const TK_ScnObjectAttributes& o) const {
    return name_ == o.name_ && layer_index_ == o.layer_index_ && material_source_ == o.material_source_ &&
           material_index_ == o.material_index_;
  }

  std::unique_ptr<TK_Object> DuplicateObject() const override;
  // Layout, version 1.0: int 1, int 0, string name, int layer index, int
  // material source, int material index. Read accepts major 1 only, rejects
  // unknown sources and changes nothing unless every field was read.
  bool Write(TK_BinaryArchive& archive) const override;
  bool Read(TK_BinaryArchive& archive) override;

private:
  TK_wString name_;
  int layer_index_ = 0;
  int material_source_ = material_from_layer;
  int material_index_ = -1;
};
