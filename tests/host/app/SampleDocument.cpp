#include "SampleDocument.h"

#include <numbers>

#include "host/app/UnknownUserData.h"
#include "support/SampleMaterial.h"

TK_OBJECT_IMPLEMENT(TestNoteUserData, TK_UserData, "3A0F6A52-8E3B-4C5D-9A3E-1B2C3D4E5F60")
TK_OBJECT_IMPLEMENT(TestVolatileUserData, TK_UserData, "6C7D8E9F-A0B1-42C3-84D5-E6F708192A3B")

TestNoteUserData::TestNoteUserData() { m_userdata_uuid = *TK_UUID::FromString(kId), m_userdata_copycount = 1; }

bool TestNoteUserData::Write(TK_BinaryArchive& a) const { return a.WriteInt(1) && a.WriteString(note) && a.WriteInt(value); }

bool TestNoteUserData::Read(TK_BinaryArchive& a) {
  int version = 0;
  return a.ReadInt(version) && version == 1 && a.ReadString(note) && a.ReadInt(value);
}

TestVolatileUserData::TestVolatileUserData() { m_userdata_uuid = ClassId()->Uuid(), m_userdata_copycount = 1; }

bool TestDataClient::WriteDocumentData(const CKavraDoc&, TK_BinaryArchive& a) {
  bool ok = a.WriteInt(int(values.size()));
  for (int v : values) ok = ok && a.WriteInt(v);
  return ok;
}

bool TestDataClient::ReadDocumentData(CKavraDoc&, TK_BinaryArchive& a) {
  int count = 0;
  if (!a.ReadInt(count) || count < 0 || std::uint64_t(count) > a.BytesRemaining() / 4) return false;
  std::vector<int> read(static_cast<std::size_t>(count));
  for (int& v : read)
    if (!a.ReadInt(v)) return false;
  read_values = read;
  return true;
}

TK_Mesh SampleQuadMesh() {
  TK_Mesh mesh;
  const TK_3fPoint points[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0.5f}};
  for (int i = 0; i < 4; ++i) mesh.SetVertex(i, points[i]);
  mesh.SetQuad(0, 0, 1, 2, 3);
  mesh.ComputeVertexNormals();
  mesh.m_T = {{0, 0}, {1, 0}, {1, 1}, {0, 0.25f}};
  return mesh;
}

TK_Mesh SampleTriangleMesh() {
  TK_Mesh mesh;
  mesh.SetVertex(0, TK_3fPoint(-1, 0, 2));
  mesh.SetVertex(1, TK_3fPoint(1, 0, 2));
  mesh.SetVertex(2, TK_3fPoint(0, 3, 2));
  mesh.SetTriangle(0, 0, 1, 2);
  mesh.ComputeFaceNormals();
  return mesh;
}

// Each part holds values away from its defaults, and deleted entries where a table has them.
void FillSampleDocument(CKavraDoc& doc) {
  TK_ScnRenderSettings s;
  s.m_custom_imagesize = s.m_use_hidden_lights = s.m_render_curves_and_isocurves = 1;
  s.m_image_width = 1024;
  s.m_image_height = 512;
  s.m_antialias_level = 3;
  s.m_shadow_level = 2;
  s.m_ambient_color = TK_Color(1, 2, 3);
  s.m_background_color = TK_Color(40, 50, 60);
  s.m_shadowmap_width = s.m_shadowmap_height = 2048;
  s.m_shadowmap_offset = 0.375;
  doc.Properties().SetRenderSettings(s);
  const KvRenderSize sizes[] = {{320, 240}, {4000, 3000}};
  doc.Properties().SetCustomRenderSizes(sizes);

  const struct { const wchar_t* name; int mode; int material; } layers[] = {
      {L"Default", TK_Layer::normal_layer, -1}, {L"Hidden \u00e9", TK_Layer::hidden_layer, 1},
      {L"Gone", TK_Layer::normal_layer, 0}, {L"Locked", TK_Layer::locked_layer, 0}};
  for (const auto& l : layers) {
    TK_Layer layer;
    layer.SetName(l.name);
    layer.SetMode(l.mode);
    layer.SetRenderMaterialIndex(l.material);
    doc.LayerTable().Add(layer);
  }
  doc.LayerTable().Delete(2);

  TK_Material brass = SampleMaterial(), glass, old;
  auto note = std::make_unique<TestNoteUserData>();
  note->note = L"polished \u263A";
  note->value = -42;
  brass.AttachUserData(std::move(note));
  auto unknown = std::make_unique<CKavraUnknownUserData>(*TK_UUID::FromString(kUnknownClass),
                                                         std::vector<std::uint8_t>{9, 8, 7, 0, 255, 1});
  unknown->m_userdata_uuid = *TK_UUID::FromString(kUnknownClass);
  unknown->m_userdata_copycount = 1;
  brass.AttachUserData(std::move(unknown));
  brass.AttachUserData(std::make_unique<TestVolatileUserData>());
  glass.SetName(L"Glass");
  glass.SetTransparency(0.8);
  glass.SetShine(200);
  old.SetName(L"Old");
  for (TK_Material* m : {&brass, &glass, &old}) doc.MaterialTable().Add(std::move(*m));
  doc.MaterialTable().Delete(2);

  TK_ScnObjectAttributes a;
  a.SetName(L"Box");
  a.SetLayerIndex(0);
  CKavraObject box(a);
  box.AddRenderMesh(SampleQuadMesh());
  box.AddRenderMesh(SampleTriangleMesh());
  doc.AddObject(box);
  a.SetName(L"Sphere");
  a.SetLayerIndex(1);
  a.SetMaterialSource(TK_ScnObjectAttributes::material_from_object);
  a.SetMaterialIndex(1);
  CKavraObject sphere(a);
  sphere.AddRenderMesh(SampleTriangleMesh());
  doc.AddObject(sphere);
  a.SetName(L"Curve");
  CKavraObject curve(a);
  curve.SetRenderable(false);
  doc.AddObject(curve);

  int n = 0;
  for (TK::light_style style : {TK::point_light, TK::directional_light, TK::spot_light, TK::linear_light,
                                TK::rectangular_light, TK::camera_point_light}) {
    TK_Light light;
    light.SetStyle(style);
    light.SetName(TK_wString(L"light " + std::to_wstring(n)));
    light.SetLocation(TK_3dPoint(n, -n, 2.5 * n));
    light.SetDirection(TK_3dVector(0.5, -1, -n));
    light.SetLength(TK_3dVector(2, 0, 0));
    light.SetWidth(TK_3dVector(0, 0.5 * n, 0));
    light.SetDiffuse(TK_Color(255, 10 * n, 20));
    light.SetIntensity(0.25 * (n + 1));
    light.SetShadowIntensity(0.1 * n);
    light.SetSpotAngleRadians(std::numbers::pi / (3 + n));
    light.SetSpotExponent(n);
    light.SetAttenuation(1, 0.1 * n, 0.01);
    light.Enable(n != 4);
    doc.LightTable().Add(CKavraLight(light, n % 3));
    ++n;
  }
  doc.LightTable().Delete(1);

  TK_ScnView front, top;
  front.m_name = L"Front";
  top.m_name = L"Top";
  front.m_vp.SetCameraLocation(TK_3dPoint(0, -10, 1));
  front.m_vp.SetCameraDirection(TK_3dVector(0, 1, 0));
  front.m_vp.SetCameraUp(TK_3dVector(0, 0, 1));
  front.m_vp.SetScreenPort(0, 800, 600, 0, 0, 0);
  doc.AddView(CKavraView(front, 800, 600));
  top.m_vp.SetProjection(TK::parallel);
  top.m_vp.SetFrustum(-5, 5, -4, 4, -100, 100);
  top.m_wallpaper_filename = L"maps/sky.png";
  top.m_wallpaper_grey = true;
  doc.SetActiveView(doc.AddView(CKavraView(top, 333, 222)));

  doc.SetPlugInData(*TK_UUID::FromString(kUnloadedPlugIn), {1, 2, 3, 4, 5});
}
