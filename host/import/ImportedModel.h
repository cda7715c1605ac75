#pragma once
// What a model file brought: materials, mesh parts (each with the index of
// its material, -1 for the document's default), lights and cameras, in
// document terms but not yet in a document. A plain value owning its parts.

#include <functional>
#include <vector>

#include "host/app/View.h"
#include "host/toolkit/BoundingBox.h"
#include "host/toolkit/Light.h"
#include "host/toolkit/Material.h"
#include "host/toolkit/Mesh.h"
#include "host/toolkit/ScnObjectAttributes.h"

class CKavraDoc;

struct ImportedModel {
  struct Part {
    TK_wString name;
    TK_Mesh mesh;
    int material = -1;  // index into materials; -1: the document's default
  };

  std::vector<TK_Material> materials;
  std::vector<Part> parts;
  std::vector<TK_Light> lights;
  std::vector<CKavraView> cameras;  // the first one is the model's active view

  // The box of every part's mesh (invalid for a model without parts).
  TK_BoundingBox BoundingBox() const {
    TK_BoundingBox box;
    for (const Part& p : parts) box.Union(p.mesh.BoundingBox());
    return box;
  }

  // Moves the materials into the document and adds one object per part: a
  // copy of `base` named by `name_of`, taking its part's material when it
  // has one. The parts' meshes are moved out.
  void AddParts(CKavraDoc& doc, const TK_ScnObjectAttributes& base,
                const std::function<TK_wString(const Part&)>& name_of);
};
