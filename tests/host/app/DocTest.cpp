// The material an object renders with, from its layer or its own index.
#include <gtest/gtest.h>

#include "host/app/App.h"
#include "host/app/Doc.h"

namespace {

CKavraObject WithSource(int layer, int source, int material) {
  TK_ScnObjectAttributes a;
  a.SetLayerIndex(layer);
  a.SetMaterialSource(source);
  a.SetMaterialIndex(material);
  return CKavraObject(a);
}

TEST(Doc, TheRenderMaterialFollowsTheMaterialSource) {
  CKavraDoc doc;
  TK_Material red, green, gone;
  red.SetName(L"Red");
  green.SetName(L"Green");
  gone.SetName(L"Gone");
  for (const TK_Material* m : {&red, &green, &gone}) doc.MaterialTable().Add(*m);
  doc.MaterialTable().Delete(2);
  TK_Layer plain, painted, stale;
  painted.SetRenderMaterialIndex(1);
  stale.SetRenderMaterialIndex(2);
  for (const TK_Layer* l : {&plain, &painted, &stale}) doc.LayerTable().Add(*l);

  const struct { int layer, source, material, expected; } cases[] = {
      {1, 0, 0, 1},    // from the layer, whatever the object's own index
      {0, 0, 1, -1},   // the layer has none: the default material
      {2, 0, 0, -1},   // the layer's material is deleted
      {7, 0, 0, -1},   // no such layer
      {1, 1, 0, 0},    // from the object
      {1, 1, -1, -1},  // the object asks for the default
      {1, 1, 3, -1},   // out of range
      {1, 1, 2, -1},   // deleted
  };
  for (const auto& c : cases) {
    const CKavraObject o = WithSource(c.layer, c.source, c.material);
    EXPECT_EQ(doc.RenderMaterialIndex(o), c.expected) << c.layer << " " << c.source << " " << c.material;
    EXPECT_EQ(&doc.RenderMaterial(o), c.expected < 0 ? &CKavraDoc::DefaultMaterial() : &doc.MaterialTable()[c.expected]);
  }
  EXPECT_TRUE(CKavraDoc::DefaultMaterial() == TK_Material());
}

}  // namespace
