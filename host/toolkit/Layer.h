#pragma once
// TK_Layer: one entry of a document's layer table (name, display mode and the
// index of the layer's render material). A plain value.

#include "host/toolkit/Object.h"
#include "host/toolkit/String.h"

class TK_Layer : public TK_Object {
  TK_OBJECT_DECLARE(TK_Layer)
public:
  // Display modes. A hidden layer is off: its objects are neither drawn nor
  // rendered, and its lights take part only when the document says so.
  enum LayerMode : int { normal_layer = 0, hidden_layer = 1, locked_layer = 2 };

  const TK_wString& Name() const { return name_; }
  void SetName(const TK_wString& name) { name_ = name; }
  int Mode() const { return mode_; }
  // False for modes outside the enumeration.
  bool SetMode(int mode);
  // The visible flag is the mode seen from the layer dialog: a layer is
  // visible unless hidden; showing a hidden layer makes it normal.
  bool IsVisible() const { return mode_ != hidden_layer; }
  void SetVisible(bool visible);
  // Index into the document's material table; -1 for the default material.
  int RenderMaterialIndex() const { return render_material_index_; }
  void SetRenderMaterialIndex(int index) { render_material_index_ = index; }

  bool operator==(const TK_Layer& o) const {
    return name_ == o.name_ && mode_ == o.mode_ && render_material_index_ == o.render_material_index_;
  }

  std::unique_ptr<TK_Object> DuplicateObject() const override;
  // Layout, version 1.0: int 1, int 0, string name, int mode, int render
  // material index. Read accepts major 1 only, rejects unknown modes and
  // changes nothing unless every field was read.
  bool Write(TK_BinaryArchive& archive) const override;
  bool Read(TK_BinaryArchive& archive) override;

private:
  TK_wString name_;
  int mode_ = normal_layer;
  int render_material_index_ = -1;
};
