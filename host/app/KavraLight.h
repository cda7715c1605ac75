#pragma once
// CKavraLight: a light of a document's light table: the toolkit light and
// the layer it lives on. A plain value.

#include "host/toolkit/Light.h"

class CKavraLight {
public:
  CKavraLight() = default;
  explicit CKavraLight(const TK_Light& light, int layer_index = 0) : light_(light), layer_index_(layer_index) {}

  const TK_Light& Light() const { return light_; }
  TK_Light& Light() { return light_; }
  int LayerIndex() const { return layer_index_; }
  void SetLayerIndex(int index) { layer_index_ = index; }

  bool operator==(const CKavraLight& o) const { return light_ == o.light_ && layer_index_ == o.layer_index_; }

private:
  TK_Light light_;
  int layer_index_ = 0;
};
