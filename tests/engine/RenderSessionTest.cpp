// Gathering the scene: the material cache shares equal materials and lends
// record materials, refused meshes leave nothing behind, lights are
// centred and made unit.

#include "engine/RenderSession.h"

#include <gtest/gtest.h>

#include <limits>

#include "host/app/Doc.h"
#include "host/app/KavraLight.h"
#include "host/app/KavraObject.h"
#include "support/TempDir.h"
#include "settings/MaterialUserData.h"

namespace {

TK_Mesh Triangle(float x) {
  TK_Mesh mesh;
  mesh.SetVertex(0, TK_3fPoint(x, 0, 0));
  mesh.SetVertex(1, TK_3fPoint(x + 1, 0, 0));
  mesh.SetVertex(2, TK_3fPoint(x, 1, -2));
  mesh.SetTriangle(0, 0, 1, 2);
  return mesh;
}

TK_Material Coloured(int red) {
  TK_Material material;
  material.SetDiffuse(TK_Color(red, 10, 20));
  return material;
}

// Attaches a record holding a render material made from the host material.
CRenderMaterial& AttachRecord(TK_Material& material) {
  auto record = std::make_unique<CDMMaterialUserData>();
  record->m_material = std::make_unique<CRenderMaterial>(material);
  CRenderMaterial& lent = *record->m_material;
  EXPECT_TRUE(CDMMaterialUserData::AttachTo(material, std::move(record)));
  return lent;
}

class RenderSessionTest : public ::testing::Test {
protected:
  CKavraDoc doc;
  CDMRenderUserData settings;
  CKavraObject object;
};

// Equal materials share one entry; meshes keep the order received; refused
// meshes (null, a face naming a missing vertex, a vertex not finite) leave
// no entry behind and the box as it was.
TEST_F(RenderSessionTest, EqualMaterialsShareOneEntryAndRefusedMeshesLeaveNothing) {
  CRenderSession session(doc, nullptr, settings);
  const TK_Mesh first = Triangle(0), second = Triangle(5), third = Triangle(-3);
  ASSERT_TRUE(session.AddRenderMesh(object, Coloured(200), &first));
  ASSERT_TRUE(session.AddRenderMesh(object, Coloured(200), &second));  // an equal copy
  ASSERT_TRUE(session.AddRenderMesh(object, Coloured(10), &third));
  ASSERT_EQ(session.MaterialEntries().Count(), 2);
  const MaterialEntry* const expected[] = {session.MaterialEntries()[0], session.MaterialEntries()[0],
                                           session.MaterialEntries()[1]};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(session.MeshEntries()[i]->Material(), expected[i]) << i;
  EXPECT_EQ(session.MaterialEntries()[0]->Material()->Diffuse(), TK_Color(200, 10, 20));
  EXPECT_EQ(session.MeshEntries()[1]->Mesh().m_V[0], TK_3fPoint(5, 0, 0));
  const TK_BoundingBox box(TK_3dPoint(-3, 0, -2), TK_3dPoint(6, 1, 0));
  EXPECT_EQ(session.SceneBoundingBox(), box);

  TK_Mesh bad_index = Triangle(7), not_finite = Triangle(7);
  bad_index.m_F[0].vi[2] = 3;
  not_finite.m_V[1].y = std::numeric_limits<float>::quiet_NaN();
  for (const TK_Mesh* refused : std::initializer_list<const TK_Mesh*>{nullptr, &bad_index, &not_finite})
    EXPECT_FALSE(session.AddRenderMesh(object, Coloured(2), refused));
  EXPECT_EQ(session.MeshEntries().Count(), 3);
  EXPECT_EQ(session.MaterialEntries().Count(), 2);
  EXPECT_EQ(session.SceneBoundingBox(), box);
}

// A record's material is lent to the cache, refreshed from the host
// material, shared by a copy that differs only in shading sides, and left
// unbound once the session ends.
TEST_F(RenderSessionTest, RecordMaterialsAreLentRefreshedAndShared) {
  TempDir dir;
  CKavraDib image;
  ASSERT_TRUE(image.CreateDib(8, 6, 24, true, nullptr));
  ASSERT_TRUE(image.WriteToFile(TK_wString::FromUtf8((dir / "bark.png").string())));
  doc.SetPath(dir / "scene.kvd");  // map names resolve against the document's folder
  TK_Material front = Coloured(120);
  front.SetTextureBitmapFileName(L"bark.png");
  CRenderMaterial& lent = AttachRecord(front);
  front.SetDiffuse(TK_Color(121, 10, 20));  // changed after the record was made
  TK_Material sides = front;                // copies carry their own record
  CDMMaterialUserData::FromMaterial(sides)->m_material->m_two_sided = false;
  {
    CRenderSession session(doc, nullptr, settings);
    const TK_Mesh a = Triangle(0), b = Triangle(2);
    ASSERT_TRUE(session.AddRenderMesh(object, front, &a));
    ASSERT_TRUE(session.AddRenderMesh(object, sides, &b));
    ASSERT_EQ(session.MaterialEntries().Count(), 1);
    EXPECT_EQ(session.MaterialEntries()[0]->Material(), &lent);
    EXPECT_EQ(lent.Diffuse(), TK_Color(121, 10, 20));
    EXPECT_EQ(lent.m_texture_map.width_limit, 6);
    EXPECT_EQ(session.MaterialEntries()[0]->MapFileReads(), 1);
  }
  EXPECT_EQ(CDMMaterialUserData::FromMaterial(front)->m_material.get(), &lent);
  EXPECT_EQ(lent.m_texture_map.bitmap, nullptr);
  EXPECT_EQ(lent.m_texture_map.width_limit, 0);
}

TEST_F(RenderSessionTest, LightsAreCentredMadeUnitAndKeptInOrder) {
  CRenderSession session(doc, nullptr, settings);
  TK_Light linear, rectangle, spot;
  ASSERT_TRUE(linear.SetStyle(TK::linear_light));
  linear.SetLength(TK_3dVector(2, 0, 0));
  linear.SetDirection(TK_3dVector(0, 0, -5));
  ASSERT_TRUE(rectangle.SetStyle(TK::rectangular_light));
  rectangle.SetLocation(TK_3dPoint(1, 1, 1));
  rectangle.SetLength(TK_3dVector(4, 0, 0));
  rectangle.SetWidth(TK_3dVector(0, 0, 2));
  rectangle.SetDirection(TK_3dVector(0, -3, 4));
  ASSERT_TRUE(spot.SetStyle(TK::spot_light));
  spot.SetLocation(TK_3dPoint(7, 8, 9));
  spot.SetLength(TK_3dVector(1, 1, 1));     // spans of other kinds are not applied
  spot.SetDirection(TK_3dVector(0, 0, 0));  // cannot be made unit: stays zero
  for (const TK_Light& light : {linear, rectangle, spot}) ASSERT_TRUE(session.AddLight(CKavraLight(light, 0)));
  const TK_SimpleArray<TK_Light>& lights = session.Lights();
  ASSERT_EQ(lights.Count(), 3);
  const std::pair<TK_3dPoint, TK_3dVector> expected[] = {
      {{1, 0, 0}, {0, 0, -1}}, {{3, 1, 2}, {0, -0.6, 0.8}}, {{7, 8, 9}, {0, 0, 0}}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(lights[i].Location(), expected[i].first) << i;
    EXPECT_LT((lights[i].Direction() - expected[i].second).Length(), 1e-15) << i;
  }
  EXPECT_EQ(linear.Location(), TK_3dPoint(0, 0, 0));  // the host's light is left alone
}

}  // namespace
