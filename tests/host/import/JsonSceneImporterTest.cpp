#include "host/app/import/JsonSceneImporter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <numbers>
#include <sstream>

#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/app/DocumentDataClient.h"
#include "host/app/DocumentFile.h"
#include "host/app/UnknownUserData.h"
#include "host/app/import/ImportLog.h"
#include "host/app/import/RendererRecords.h"
#include "host/import/LogText.h"
#include "host/toolkit/BinaryArchive.h"
#include "settings/MaterialUserData.h"
#include "settings/RenderUserData.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

bool Import(std::string_view text, CKavraDoc& doc, CImportLog& log, const std::filesystem::path& folder = "/scenes") {
  return CJsonSceneImporter::ImportText(text, "scene.json", folder, doc, log);
}

const char* const kFullScene = R"({
  "version": 1,
  "description": "every part of a scene",
  "render": {"width": 320, "height": 200, "ambient": [1, 2, 3], "background": "#A0b0C0",
             "use_hidden_lights": true, "draw_curves": true, "draw_dimensions": false,
             "draw_annotation_dots": true, "draw_points": true, "draw_mesh_wireframe": true,
             "antialias": 3, "shadows": 2, "shadow_map_size": 512, "shadow_map_offset": 0.125,
             "sizes": [[100, 50], [2000, 1000]]},
  "renderer": {"use_wallpaper": true, "stretch_wallpaper": true, "favor_memory": false},
  "materials": [
    {"name": "plain"},
    {"name": "rich", "diffuse": [10, 20, 30], "specular": [40, 50, 60], "ambient": [70, 80, 90],
     "emission": [1, 1, 1], "shine": 100, "transparency": 0.25,
     "texture": "maps/t.png", "bump": "/abs/b.png", "environment": "e.png",
     "renderer": {
       "texture_map": {"amount": 0.5, "tiling": [2, 3], "offset": [4, 5], "filter": false},
       "specular_map": {"file": "maps/s.png", "amount": 0.75},
       "bump_map": {"amount": 0.05, "filter": true},
       "transparency_map": {"file": "holes.png", "enabled": false},
       "two_sided": false, "faceted": true, "luminosity": 0.3, "luminosity_color": [255, 128, 0],
       "specular_level": 0.02, "reflectivity": 0.4}}
  ],
  "layers": [{"name": "Base"}, {"name": "Hidden", "visible": false, "material": "rich"},
             {"name": "Locked", "locked": true}],
  "lights": [
    {"name": "P", "type": "point", "location": [1, 2, 3], "color": [255, 0, 0], "intensity": 2,
     "attenuation": [0, 0, 1], "layer": "Locked"},
    {"name": "D", "type": "directional", "direction": [0, 0, -2], "shadow_intensity": 0.5, "enabled": false},
    {"name": "S", "type": "spot", "location": [0, 0, 10], "target": [0, 0, 0], "angle": 20, "exponent": 3},
    {"name": "L", "type": "linear", "location": [0, 0, 0], "length": [2, 0, 0]},
    {"name": "R", "type": "rectangular", "location": [0, 0, 5], "length": [1, 0, 0], "width": [0, 1, 0]}
  ],
  "objects": [
    {"name": "B", "type": "box", "size": [2, 4, 6], "translate": [10, 0, 0], "material": "rich"},
    {"name": "S", "type": "sphere", "radius": 2, "segments": 8, "rings": 4, "scale": [1, 1, 0.5], "layer": "Hidden"},
    {"name": "P", "type": "plane", "size": [4, 2], "rotate": [90, 0, 0]},
    {"name": "C", "type": "cylinder", "radius": 1, "height": 2, "segments": 6, "rotate": [0, 0, 90],
     "scale": 2, "material": "plain"}
  ],
  "camera": {"name": "Main", "location": [0, -10, 2], "target": [0, 0, 2], "up": [0, 0, 1], "angle": 25,
             "size": [320, 200], "wallpaper": "paper.png", "wallpaper_grey": true}
})";

// Every part of the full scene, imported afresh for each test.
class FullScene : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(Import(kFullScene, doc, log)) << Joined(log.Errors()); }
  CKavraDoc doc;
  CImportLog log;
};

TEST_F(FullScene, RenderSettingsSizesAndTheRenderersFlags) {
  const TK_ScnRenderSettings& s = doc.Properties().RenderSettings();
  EXPECT_EQ(s.m_custom_imagesize, 1);  // a width asks for a custom size
  EXPECT_EQ(std::tuple(s.m_image_width, s.m_image_height), std::tuple(320, 200));
  EXPECT_EQ(s.m_ambient_color, TK_Color(1, 2, 3));
  EXPECT_EQ(s.m_background_color, TK_Color(0xA0, 0xB0, 0xC0));
  EXPECT_EQ(std::tuple(s.m_use_hidden_lights, s.m_render_curves_and_isocurves, s.m_render_dimensions_and_text,
                       s.m_render_annotation_dots, s.m_render_points, s.m_render_mesh_wireframe),
            std::tuple(1, 1, 0, 1, 1, 1));
  EXPECT_EQ(std::tuple(s.m_antialias_level, s.m_shadow_level, s.m_shadowmap_width, s.m_shadowmap_height),
            std::tuple(3, 2, 512, 512));
  EXPECT_EQ(s.m_shadowmap_offset, 0.125);
  const auto sizes = doc.Properties().CustomRenderSizes();
  ASSERT_EQ(sizes.size(), 2u);
  EXPECT_EQ(sizes[1], (KvRenderSize{2000, 1000}));

  // The flags are the renderer's document data, in its record's own layout.
  const std::vector<std::uint8_t>* data = doc.PlugInData(renderer_records::PlugInUuid());
  ASSERT_NE(data, nullptr);
  CDMRenderUserData record;
  TK_BinaryArchive in(*data);
  ASSERT_TRUE(record.Read(in));
  EXPECT_EQ(std::tuple(record.m_use_wallpaper, record.m_stretch_wallpaper, record.m_favor_memory),
            std::tuple(true, true, false));
  EXPECT_EQ(record.m_archive_minor, 1);
}

TEST_F(FullScene, MaterialsWithTheRenderersSettings) {
  ASSERT_EQ(doc.MaterialTable().Count(), 2);
  const TK_Material& plain = doc.MaterialTable()[0];
  EXPECT_EQ(plain.Name(), TK_wString(L"plain"));
  EXPECT_TRUE(plain.AllUserData().empty());
  EXPECT_TRUE(plain.MaterialPlugInUuid().IsNil());

  const TK_Material& m = doc.MaterialTable()[1];
  EXPECT_EQ(std::tuple(m.Diffuse(), m.Specular(), m.Ambient(), m.Emission()),
            std::tuple(TK_Color(10, 20, 30), TK_Color(40, 50, 60), TK_Color(70, 80, 90), TK_Color(1, 1, 1)));
  EXPECT_EQ(std::tuple(m.Shine(), m.Transparency()), std::tuple(100.0, 0.25));
  // Relative names resolve against the scene's folder; absolute ones stay.
  EXPECT_EQ(m.TextureBitmapFileName(), TK_wString(L"/scenes/maps/t.png"));
  EXPECT_EQ(m.BumpBitmapFileName(), TK_wString(L"/abs/b.png"));
  EXPECT_EQ(m.EmapBitmapFileName(), TK_wString(L"/scenes/e.png"));
  EXPECT_EQ(m.MaterialPlugInUuid(), renderer_records::PlugInUuid());

  // The plug-in's class is registered in this program: the record is its own.
  const CDMMaterialUserData* record = CDMMaterialUserData::FromMaterial(m);
  ASSERT_NE(record, nullptr);
  ASSERT_NE(record->m_material, nullptr);
  const CRenderMaterial& r = *record->m_material;
  EXPECT_TRUE(static_cast<const TK_Material&>(r) == m);
  const MaterialMap& texture = r.m_texture_map;
  EXPECT_TRUE(texture.enabled);  // it names a file
  EXPECT_EQ(texture.file_name, m.TextureBitmapFileName());
  EXPECT_EQ(std::tuple(texture.amount, texture.tiling_u, texture.tiling_v, texture.offset_u, texture.offset_v, texture.filter),
            std::tuple(0.5, 2.0, 3.0, 4.0, 5.0, 0));
  EXPECT_TRUE(r.m_specular_map.enabled);
  EXPECT_EQ(r.m_specular_map.file_name, TK_wString(L"/scenes/maps/s.png"));
  EXPECT_EQ(r.m_specular_map.amount, 0.75);
  EXPECT_TRUE(r.m_environment_map.enabled);
  EXPECT_EQ(r.m_environment_map.file_name, TK_wString(L"/scenes/e.png"));
  EXPECT_EQ(std::tuple(r.m_bump_map.amount, r.m_bump_map.filter), std::tuple(0.05, 1));
  EXPECT_FALSE(r.m_transparency_map.enabled);  // named, but switched off
  EXPECT_EQ(r.m_transparency_map.file_name, TK_wString(L"/scenes/holes.png"));
  EXPECT_EQ(std::tuple(r.m_two_sided, r.m_faceted, r.m_use_luminosity_color), std::tuple(false, true, true));
  EXPECT_EQ(r.m_luminosity_color, TK_Color(255, 128, 0));
  EXPECT_EQ(std::tuple(r.m_luminosity, r.m_specular_level, r.m_reflectivity), std::tuple(0.3, 0.02, 0.4));
  EXPECT_EQ(std::tuple(record->m_archive_major, record->m_archive_minor), std::tuple(1, 2));
}

TEST_F(FullScene, LayersLightsObjectsAndCamera) {
  ASSERT_EQ(doc.LayerTable().Count(), 3);
  EXPECT_EQ(doc.LayerTable()[0].Mode(), TK_Layer::normal_layer);
  EXPECT_EQ(doc.LayerTable()[1].Mode(), TK_Layer::hidden_layer);
  EXPECT_EQ(doc.LayerTable()[1].RenderMaterialIndex(), 1);
  EXPECT_EQ(doc.LayerTable()[2].Mode(), TK_Layer::locked_layer);
  EXPECT_EQ(doc.LayerTable()[2].RenderMaterialIndex(), -1);

  ASSERT_EQ(doc.LightTable().Count(), 5);
  const TK_Light& p = doc.LightTable()[0].Light();
  EXPECT_TRUE(p.IsPointLight());
  EXPECT_EQ(p.Name(), TK_wString(L"P"));
  EXPECT_EQ(p.Location(), TK_3dPoint(1, 2, 3));
  EXPECT_EQ(p.Diffuse(), TK_Color(255, 0, 0));
  EXPECT_EQ(p.Intensity(), 2.0);
  EXPECT_EQ(p.AttenuationCoefficients(), TK_3dVector(0, 0, 1));
  EXPECT_EQ(doc.LightTable()[0].LayerIndex(), 2);
  const TK_Light& d = doc.LightTable()[1].Light();
  EXPECT_TRUE(d.IsDirectionalLight());
  EXPECT_EQ(d.Direction(), TK_3dVector(0, 0, -2));
  EXPECT_EQ(d.ShadowIntensity(), 0.5);
  EXPECT_FALSE(d.IsEnabled());
  const TK_Light& s = doc.LightTable()[2].Light();
  EXPECT_TRUE(s.IsSpotLight());
  EXPECT_EQ(s.Direction(), TK_3dVector(0, 0, -10));  // target - location
  EXPECT_DOUBLE_EQ(s.SpotAngleRadians(), 20 * kDeg);
  EXPECT_EQ(s.SpotExponent(), 3.0);
  EXPECT_EQ(s.Diffuse(), TK_Color(255, 255, 255));
  EXPECT_TRUE(doc.LightTable()[3].Light().IsLinearLight());
  EXPECT_EQ(doc.LightTable()[3].Light().Length(), TK_3dVector(2, 0, 0));
  EXPECT_TRUE(doc.LightTable()[4].Light().IsRectangularLight());
  EXPECT_EQ(doc.LightTable()[4].Light().Width(), TK_3dVector(0, 1, 0));

  ASSERT_EQ(doc.ObjectCount(), 4);
  const CKavraObject& box = *doc.ObjectAt(0);
  EXPECT_EQ(box.Name(), TK_wString(L"B"));
  ASSERT_EQ(box.RenderMeshCount(), 1);
  EXPECT_EQ(box.RenderMesh(0)->BoundingBox(), TK_BoundingBox(TK_3dPoint(9, -2, -3), TK_3dPoint(11, 2, 3)));
  EXPECT_EQ(box.Attributes().MaterialSource(), TK_ScnObjectAttributes::material_from_object);
  EXPECT_EQ(doc.RenderMaterialIndex(box), 1);
  // The sphere takes its hidden layer's material; scaled flat along z.
  const CKavraObject& sphere = *doc.ObjectAt(1);
  EXPECT_EQ(sphere.Attributes().LayerIndex(), 1);
  EXPECT_EQ(sphere.Attributes().MaterialSource(), TK_ScnObjectAttributes::material_from_layer);
  EXPECT_EQ(doc.RenderMaterialIndex(sphere), 1);
  EXPECT_NEAR(sphere.RenderMesh(0)->BoundingBox().Max().z, 1.0, 1e-6);
  // Rotating the plane 90 degrees about x stands it up in the xz plane.
  const TK_BoundingBox plane = doc.ObjectAt(2)->RenderMesh(0)->BoundingBox();
  EXPECT_NEAR(plane.Max().z, 1.0, 1e-6);
  EXPECT_NEAR(plane.Max().y, 0.0, 1e-6);
  EXPECT_NEAR(doc.ObjectAt(2)->RenderMesh(0)->m_N[0].y, -1.0f, 1e-6f);
  // The cylinder: scaled by 2, then turned about z (scale first, rotation, translation last).
  const TK_BoundingBox cylinder = doc.ObjectAt(3)->RenderMesh(0)->BoundingBox();
  EXPECT_NEAR(cylinder.Max().z, 2.0, 1e-6);
  EXPECT_NEAR(cylinder.Max().y, 2.0, 1e-6);

  ASSERT_EQ(doc.ViewCount(), 1);
  const CKavraView& view = *doc.ActiveView();
  EXPECT_EQ(view.View().m_name, TK_wString(L"Main"));
  EXPECT_EQ(std::tuple(view.Width(), view.Height()), std::tuple(320, 200));
  EXPECT_EQ(view.View().m_wallpaper_filename, TK_wString(L"/scenes/paper.png"));
  EXPECT_TRUE(view.View().m_wallpaper_grey);
  const TK_Viewport& vp = view.View().m_vp;
  EXPECT_EQ(vp.Projection(), TK::perspective);
  EXPECT_EQ(vp.CameraLocation(), TK_3dPoint(0, -10, 2));
  EXPECT_EQ(vp.CameraDirection(), TK_3dVector(0, 10, 0));
  double l, r, b, t, n, f;
  vp.GetFrustum(l, r, b, t, n, f);
  EXPECT_NEAR(t / n, std::tan(25 * kDeg), 1e-9);  // the half-angle of the narrower side
  EXPECT_NEAR((r - l) / (t - b), 320.0 / 200.0, 1e-9);
}

TEST(JsonSceneImporter, SettingsKeptAsBytesWithoutThePlugInAreReadWhenItIsThere) {
  // A run without the plug-in keeps its record as opaque bytes; the document
  // file stores them, and a run with the plug-in reads its own record back.
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  CKavraDoc doc;
  TK_Material m;
  m.SetName(L"kept");
  m.SetTextureBitmapFileName(L"/maps/t.png");
  RendererMaterialSettings s = RendererMaterialSettings::FromHostMaterial(m);
  s.reflectivity = 0.5;
  s.specular.enabled = true;
  s.specular.file_name = L"/maps/gloss.png";
  ASSERT_TRUE(renderer_records::AttachMaterialRecord(m, renderer_records::WriteMaterialRecord(m, s), nullptr));
  ASSERT_NE(CKavraUnknownUserData::Cast(m.AllUserData()[0].get()), nullptr);
  doc.MaterialTable().Add(m);
  const std::filesystem::path file = dir / "kept.kvd";
  ASSERT_TRUE(CKavraDocumentFile().Write(doc, file).Ok());

  CKavraDoc back;
  ASSERT_TRUE(CKavraDocumentFile().Read(file, back).Ok());
  const CDMMaterialUserData* record = CDMMaterialUserData::FromMaterial(back.MaterialTable()[0]);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->m_material->m_reflectivity, 0.5);
  EXPECT_TRUE(record->m_material->m_specular_map.enabled);
  EXPECT_EQ(record->m_material->m_specular_map.file_name, TK_wString(L"/maps/gloss.png"));
  EXPECT_TRUE(record->m_material->m_texture_map.enabled);
}

// The plug-in's part in documents as the plug-in object plays it: one record,
// read from and written to the document data.
class RendererDataClient : public KvDocumentDataClient {
public:
  TK_UUID DocumentDataPlugInId() const override { return renderer_records::PlugInUuid(); }
  bool HasDocumentData(const CKavraDoc&) const override { return true; }
  bool WriteDocumentData(const CKavraDoc&, TK_BinaryArchive& a) override { return record.Write(a); }
  bool ReadDocumentData(CKavraDoc&, TK_BinaryArchive& a) override { return record.Read(a); }
  CDMRenderUserData record;
};

TEST(JsonSceneImporter, HandsTheRenderersFlagsToTheLoadedPlugIn) {
  RendererDataClient plugin;
  ASSERT_TRUE(KavraApp().RegisterDocumentDataClient(plugin));
  CKavraDoc doc;
  CImportLog log;
  const bool ok = Import(R"({"renderer": {"use_wallpaper": true, "favor_memory": false}})", doc, log);
  RendererDocumentFlags flags;
  const bool got = renderer_records::GetDocumentFlags(doc, flags);
  plugin.record.m_stretch_wallpaper = true;  // the plug-in's record is the one in force
  RendererDocumentFlags later;
  renderer_records::GetDocumentFlags(doc, later);
  KavraApp().UnRegisterDocumentDataClient(plugin);
  ASSERT_TRUE(ok) << Joined(log.Errors());
  EXPECT_TRUE(plugin.record.m_use_wallpaper);
  EXPECT_FALSE(plugin.record.m_favor_memory);
  ASSERT_TRUE(got);
  EXPECT_EQ(flags, (RendererDocumentFlags{true, false, false}));
  EXPECT_TRUE(later.stretch_wallpaper);
  // Without the plug-in the stored bytes answer.
  RendererDocumentFlags stored;
  ASSERT_TRUE(renderer_records::GetDocumentFlags(doc, stored));
  EXPECT_EQ(stored, (RendererDocumentFlags{true, false, false}));
}

struct BadCase {
  const char* json;
  const char* message;
};

TEST(JsonSceneImporter, ErrorsNameTheFileThePathAndWhatIsWrong) {
  const BadCase cases[] = {
      {R"({"objects": [{"type": "box"}, {"type": "box"}, {"type": "sphere", "radius": "big"}]})",
       "scene.json: /objects/2/radius: expected a number"},
      {R"({"render": {"antialias": 2.5}})", "scene.json: /render/antialias: expected an integer"},
      {R"({"render": {"antialias": 4}})", "scene.json: /render/antialias: must be between 0 and 3, got 4"},
      {R"({"render": {"shadow_map_size": 4}})", "scene.json: /render/shadow_map_size: must be between 8 and 4096, got 4"},
      {R"({"render": {"custom_size": 1}})", "scene.json: /render/custom_size: expected true or false"},
      {R"({"render": {"sizes": [[10, 10], [0, 5]]}})", "scene.json: /render/sizes/1/0: must be between 1 and 16384, got 0"},
      {R"({"render": {"sizes": [[10.5, 10]]}})", "scene.json: /render/sizes/0: expected whole numbers of pixels"},
      {R"({"renderer": {"favor_memory": "yes"}})", "scene.json: /renderer/favor_memory: expected true or false"},
      {R"({"lights": [{"type": "lamp"}]})",
       R"(scene.json: /lights/0/type: expected one of "point", "directional", "spot", "linear", "rectangular", got "lamp")"},
      {R"({"lights": [{"location": [0, 0, 0]}]})", R"(scene.json: /lights/0: missing required key "type")"},
      {R"({"lights": [{"type": "spot", "location": [0, 0, 1]}]})",
       R"(scene.json: /lights/0: missing required key "direction" (or "target"))"},
      {R"({"lights": [{"type": "spot", "location": [0, 0, 1], "direction": [0, 0, -1], "target": [0, 0, 0]}]})",
       R"(scene.json: /lights/0: give "direction" or "target", not both)"},
      {R"({"lights": [{"type": "directional", "direction": [0, 0, 0]}]})",
       "scene.json: /lights/0/direction: must not be zero"},
      {R"({"lights": [{"type": "spot", "location": [0, 0, 1], "direction": [0, 0, -1], "angle": 95}]})",
       "scene.json: /lights/0/angle: must be between 0.01 and 90, got 95"},
      {R"({"lights": [{"type": "point", "location": [0, 0, 1], "attenuation": [0, 0, 0]}]})",
       "scene.json: /lights/0/attenuation: at least one coefficient must be above 0"},
      {R"({"lights": [{"type": "linear", "location": [0, 0, 1]}]})", R"(scene.json: /lights/0: missing required key "length")"},
      {R"({"lights": [{"type": "point", "location": [0, 0, 1], "layer": "nowhere"}]})",
       R"(scene.json: /lights/0/layer: no layer named "nowhere")"},
      {R"({"materials": [{"name": "a"}, {"name": "a"}]})", R"(scene.json: /materials/1/name: a material named "a" comes earlier)"},
      {R"({"materials": [{"name": ""}]})", "scene.json: /materials/0/name: must not be empty"},
      {R"({"materials": [{"diffuse": [1, 2, 3]}]})", R"(scene.json: /materials/0: missing required key "name")"},
      {R"({"materials": [{"name": "m", "diffuse": [256, 0, 0]}]})",
       "scene.json: /materials/0/diffuse/0: must be between 0 and 255, got 256"},
      {R"({"materials": [{"name": "m", "diffuse": [1.5, 0, 0]}]})", "scene.json: /materials/0/diffuse/0: expected an integer 0..255"},
      {R"({"materials": [{"name": "m", "specular": "#12345g"}]})",
       R"(scene.json: /materials/0/specular: expected a colour: [red, green, blue] with integers 0..255, or "#rrggbb")"},
      {R"({"materials": [{"name": "m", "transparency": 1.5}]})", "scene.json: /materials/0/transparency: must be between 0 and 1, got 1.5"},
      {R"({"materials": [{"name": "m", "texture": "a.png", "renderer": {"texture_map": {"file": "b.png"}}}]})",
       R"(scene.json: /materials/0/renderer/texture_map/file: differs from the material's "texture")"},
      {R"({"materials": [{"name": "m", "renderer": {"bump_map": {"tiling": [1]}}}]})",
       "scene.json: /materials/0/renderer/bump_map/tiling: expected an array of 2 numbers"},
      {R"({"materials": [{"name": "m", "renderer": {"reflectivity": -0.1}}]})",
       "scene.json: /materials/0/renderer/reflectivity: must be between 0 and 1, got -0.1"},
      {R"({"materials": [{"name": "m", "renderer": []}]})", "scene.json: /materials/0/renderer: expected an object"},
      {R"({"layers": [{"name": "L", "material": "none"}]})", R"(scene.json: /layers/0/material: no material named "none")"},
      {R"({"objects": [{"type": "box", "material": "nope"}]})", R"(scene.json: /objects/0/material: no material named "nope")"},
      {R"({"objects": [{"type": "box", "size": [1, 1]}]})", "scene.json: /objects/0/size: expected an array of 3 numbers"},
      {R"({"objects": [{"type": "box", "size": [1, -1, 1]}]})", "scene.json: /objects/0/size/1: must be between 1e-06 and 1e+08, got -1"},
      {R"({"objects": [{"type": "box", "translate": [0, 0, 1e300]}]})",
       "scene.json: /objects/0/translate/2: must be between -1e+08 and 1e+08, got 1e+300"},
      {R"({"objects": [{"type": "box", "scale": 0}]})", "scene.json: /objects/0/scale: a scale factor must not be zero"},
      {R"({"objects": [{"type": "sphere", "segments": 2}]})", "scene.json: /objects/0/segments: must be between 3 and 1024, got 2"},
      {R"({"objects": [{"type": "torus"}]})",
       R"(scene.json: /objects/0/type: expected one of "box", "sphere", "plane", "cylinder", "mesh", got "torus")"},
      {R"({"objects": [{"type": "mesh"}]})", R"(scene.json: /objects/0: missing required key "file")"},
      {R"({"objects": [{"type": "mesh", "file": "nothing/here.obj"}]})",
       "scene.json: /objects/0/file: the model could not be imported"},
      {R"({"objects": {"type": "box"}})", "scene.json: /objects: expected an array"},
      {R"({"objects": [7]})", "scene.json: /objects/0: expected an object"},
      {R"({"camera": {"location": [0, 0, 1], "target": [0, 0, 0]}})",
       "scene.json: /camera/up: must not be zero or parallel to the view direction"},
      {R"({"camera": {"location": [0, 0, 1], "target": [0, 0, 1]}})", "scene.json: /camera/target: must differ from the location"},
      {R"({"camera": {"location": [0, 5, 1], "target": [0, 0, 1], "projection": "fisheye"}})",
       R"(scene.json: /camera/projection: expected one of "perspective", "parallel", got "fisheye")"},
      {R"({"camera": {"location": [0, 5, 1], "target": [0, 0, 1], "angle": 0}})",
       "scene.json: /camera/angle: must be between 0.1 and 89, got 0"},
      {R"({"version": 2})", "scene.json: /version: must be between 1 and 1, got 2"},
      {R"([1, 2])", "scene.json: /: expected an object"},
      {R"({"a/b~c": {"x": 1}, "render": {"width": -3}})", "scene.json: /render/width: must be between 1 and 16384, got -3"},
  };
  for (const BadCase& c : cases) {
    CKavraDoc doc;
    CImportLog log;
    EXPECT_FALSE(Import(c.json, doc, log)) << c.json;
    EXPECT_TRUE(Contains(log.Errors(), c.message)) << c.json << "\nexpected: " << c.message << "\ngot:\n"
                                                   << Joined(log.Errors());
  }
}

TEST(JsonSceneImporter, MalformedJsonNamesLineAndColumn) {
  const char* texts[] = {"{\"objects\": [\n  {\"type\": \"box\",}\n]}", "{\"render\": {\"width\": 1e400}}", "",
                         "{\"a\": NaN}", "\xff\xfe{}"};
  for (const char* text : texts) {
    CKavraDoc doc;
    CImportLog log;
    EXPECT_FALSE(Import(text, doc, log)) << text;
    ASSERT_EQ(log.Errors().size(), 1u) << text;
    EXPECT_EQ(log.Errors()[0].rfind("scene.json: ", 0), 0u) << log.Errors()[0];
    EXPECT_EQ(log.Errors()[0].find("[json.exception"), std::string::npos) << log.Errors()[0];
    EXPECT_EQ(log.Errors()[0].find('\n'), std::string::npos) << "one line";
  }
  CKavraDoc doc;
  CImportLog log;
  Import("{\"objects\": [\n  {\"type\": \"box\",}\n]}", doc, log);
  EXPECT_NE(log.FirstError().find("line 2"), std::string::npos) << log.FirstError();
}

TEST(JsonSceneImporter, UnknownKeysAreWarningsAndTheImportGoesOn) {
  CKavraDoc doc;
  CImportLog log;
  // Comments are allowed; "angle" means nothing to a point light.
  ASSERT_TRUE(Import(R"({
    // a scene with a few keys too many
    "extra": 1,
    "objects": [{"type": "box", "colour": [1, 2, 3], "a/b": 0}],
    "lights": [{"type": "point", "location": [0, 0, 1], "angle": 30}],
    "render": {"antialias": 1, "gamma": 2.2}
  })", doc, log)) << Joined(log.Errors());
  EXPECT_EQ(doc.ObjectCount(), 1);
  EXPECT_EQ(doc.LightTable().Count(), 1);
  const std::vector<std::string> expected = {
      "scene.json: /extra: unknown key (ignored)", "scene.json: /objects/0/colour: unknown key (ignored)",
      "scene.json: /objects/0/a~1b: unknown key (ignored)", "scene.json: /lights/0/angle: unknown key (ignored)",
      "scene.json: /render/gamma: unknown key (ignored)"};
  for (const std::string& w : expected) EXPECT_TRUE(Contains(log.Warnings(), w)) << w << "\n" << Joined(log.Warnings());
  EXPECT_EQ(log.Warnings().size(), expected.size()) << Joined(log.Warnings());
}

TEST(JsonSceneImporter, AScenWithoutCameraOrLayersGetsTheirDefaults) {
  CKavraDoc doc;
  CImportLog log;
  ASSERT_TRUE(Import(R"({"objects": [{"type": "box", "size": [2, 2, 2], "translate": [5, 5, 1]}]})", doc, log));
  ASSERT_EQ(doc.LayerTable().Count(), 1);
  EXPECT_EQ(doc.LayerTable()[0].Name(), TK_wString(L"Default"));
  ASSERT_EQ(doc.ViewCount(), 1);
  // The framing view looks at the box from above with +z up.
  const TK_Viewport& vp = doc.ActiveView()->View().m_vp;
  TK_3dVector to_box = TK_3dPoint(5, 5, 1) - vp.CameraLocation();
  TK_3dVector dir = vp.CameraDirection();
  to_box.Unitize();
  dir.Unitize();
  EXPECT_NEAR(TK_DotProduct(to_box, dir), 1.0, 1e-9);
  EXPECT_GT(vp.CameraLocation().z, 1.0);
  EXPECT_EQ(doc.PlugInData(renderer_records::PlugInUuid()), nullptr) << "no renderer flags were given";
  EXPECT_EQ(doc.Properties().RenderSettings(), TK_ScnRenderSettings());
}

TEST(JsonSceneImporter, MissingMapFilesAreWarnedAboutAndKept) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  std::filesystem::create_directory(dir / "maps");
  WriteFile(dir / "maps/here.png", "not really an image");
  CKavraDoc doc;
  CImportLog log;
  ASSERT_TRUE(Import(R"({"materials": [{"name": "m", "texture": "maps/here.png", "bump": "maps/gone.png"}]})", doc,
                     log, dir.Path()));
  const std::string gone = (dir.Path() / "maps/gone.png").string();
  EXPECT_EQ(log.Warnings(), std::vector<std::string>{"scene.json: /materials/0/bump: file not found: " + gone});
  EXPECT_EQ(doc.MaterialTable()[0].BumpBitmapFileName().ToUtf8(), gone);
  EXPECT_EQ(doc.MaterialTable()[0].TextureBitmapFileName().ToUtf8(), (dir.Path() / "maps/here.png").string());
}

TEST(JsonSceneImporter, MeshObjectsTakeTheirFilesMaterialsUnlessNamedOne) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  WriteFile(dir / "two.obj",
            "mtllib two.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\no A\nusemtl red\nf 1 2 3\no B\nusemtl blue\nf 1 3 4\n");
  WriteFile(dir / "two.mtl", "newmtl red\nKd 1 0 0\nnewmtl blue\nKd 0 0 1\n");
  CKavraDoc doc;
  CImportLog log;
  ASSERT_TRUE(Import(R"({"materials": [{"name": "gold"}],
    "objects": [{"type": "mesh", "file": "two.obj", "translate": [10, 0, 0]},
                {"name": "Gilded", "type": "mesh", "file": "two.obj", "material": "gold"}]})",
                     doc, log, dir.Path()))
      << Joined(log.Errors());
  ASSERT_EQ(doc.ObjectCount(), 3);
  EXPECT_EQ(doc.ObjectAt(0)->Name(), TK_wString(L"two/A"));
  EXPECT_EQ(doc.ObjectAt(1)->Name(), TK_wString(L"two/B"));
  EXPECT_EQ(doc.RenderMaterial(*doc.ObjectAt(0)).Diffuse(), TK_Color(255, 0, 0));
  EXPECT_EQ(doc.RenderMaterial(*doc.ObjectAt(1)).Diffuse(), TK_Color(0, 0, 255));
  EXPECT_EQ(doc.ObjectAt(0)->RenderMesh(0)->BoundingBox().Min().x, 10.0);
  const CKavraObject& gilded = *doc.ObjectAt(2);
  EXPECT_EQ(gilded.Name(), TK_wString(L"Gilded"));
  EXPECT_EQ(gilded.RenderMeshCount(), 2);
  EXPECT_EQ(doc.RenderMaterialIndex(gilded), 0);
  EXPECT_EQ(doc.MaterialTable().Count(), 3);  // gold, red, blue
}

TEST(JsonSceneImporter, RefusesScenesThatAskForAbsurdAmounts) {
  std::string objects;
  for (int i = 0; i < 5; ++i)
    objects += std::string(i ? "," : "") + R"({"type": "sphere", "segments": 1024, "rings": 1024})";
  CKavraDoc doc;
  CImportLog log;
  EXPECT_FALSE(Import(R"({"objects": [)" + objects + "]}", doc, log));
  EXPECT_TRUE(Contains(log.Errors(), "scene.json: /objects/3: the primitives of this scene need more than 4000000 vertices"))
      << Joined(log.Errors());
  EXPECT_EQ(doc.ObjectCount(), 3);
}

TEST(JsonSceneImporter, ImportFileNamesTheFileWhenItCannotBeRead) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  CKavraDoc doc;
  CImportLog log;
  EXPECT_FALSE(CJsonSceneImporter::ImportFile(dir / "none.json", doc, log));
  EXPECT_EQ(log.FirstError(), (dir / "none.json").string() + ": no such file");
  CImportLog dir_log;
  EXPECT_FALSE(CJsonSceneImporter::ImportFile(dir.Path(), doc, dir_log));
  EXPECT_EQ(dir_log.FirstError(), dir.Path().string() + ": not a regular file");
}

}  // namespace

namespace {

// The complete example of the format's documentation imports cleanly.
TEST(JsonSceneImporter, TheDocumentedExampleImports) {
  std::ifstream in(std::filesystem::path(DM_SOURCE_DIR) / "docs/scene-format.md");
  std::stringstream text;
  text << in.rdbuf();
  const std::string doc_text = text.str();
  const std::size_t start = doc_text.find("## A complete example");
  ASSERT_NE(start, std::string::npos);
  const std::size_t open = doc_text.find("```json\n", start);
  const std::size_t close = doc_text.find("```", open + 8);
  ASSERT_NE(close, std::string::npos);
  CKavraDoc doc;
  CImportLog log;
  ASSERT_TRUE(Import(doc_text.substr(open + 8, close - open - 8), doc, log,
                     std::filesystem::path(DM_SOURCE_DIR) / "examples/scenes"))
      << Joined(log.Errors());
  EXPECT_TRUE(log.Warnings().empty()) << Joined(log.Warnings());
  EXPECT_EQ(doc.ObjectCount(), 5);
  EXPECT_EQ(doc.LightTable().Count(), 2);
}

}  // namespace
