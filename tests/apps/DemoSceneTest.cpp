// The built-in demo scene: its maps are drawn into a private folder that
// lives as long as the scene, and the scene uses every kind of map, a
// transparent and a glossy material and a shadow-casting spot light.

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "apps/duskmoth/DemoMaps.h"
#include "apps/duskmoth/DemoScene.h"
#include "host/app/Doc.h"
#include "host/app/KavraLight.h"
#include "host/platform/KavraDib.h"

namespace {

const TK_Material* FindMaterial(const CKavraDoc& doc, const std::wstring& name) {
  for (int i = 0; i < doc.MaterialTable().Count(); ++i)
    if (doc.MaterialTable()[i].Name().str() == name) return &doc.MaterialTable()[i];
  return nullptr;
}

}  // namespace

TEST(DemoScene, DrawsItsMapsIntoAPrivateFolderRemovedWithTheScene) {
  std::filesystem::path folder;
  {
    DemoScene demo;
    EXPECT_TRUE(demo.MapFolder().empty());
    CKavraDoc doc;
    std::string error;
    ASSERT_TRUE(demo.Build(doc, error)) << error;
    folder = demo.MapFolder();
    ASSERT_TRUE(std::filesystem::is_directory(folder));
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    for (const char* name : {demo_maps::kTiles, demo_maps::kTilesHeight, demo_maps::kSky}) {
      CKavraDib map;
      ASSERT_TRUE(map.ReadFromFile(TK_wString((folder / name).wstring()))) << name;
      EXPECT_EQ(map.Width(), map.Height()) << name;
      EXPECT_GE(map.Width(), 256) << name;
    }
    // A second build into another document reuses the maps.
    CKavraDoc again;
    ASSERT_TRUE(demo.Build(again, error)) << error;
    EXPECT_EQ(demo.MapFolder(), folder);
  }
  EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(DemoScene, ShowsWhatTheRendererDoes) {
  DemoScene demo;
  CKavraDoc doc;
  std::string error;
  ASSERT_TRUE(demo.Build(doc, error)) << error;
  const std::filesystem::path folder = demo.MapFolder();

  const TK_Material* tiles = FindMaterial(doc, L"tiles");
  ASSERT_NE(tiles, nullptr);
  EXPECT_EQ(tiles->TextureBitmapFileName().str(), (folder / demo_maps::kTiles).wstring());
  EXPECT_EQ(tiles->BumpBitmapFileName().str(), (folder / demo_maps::kTilesHeight).wstring());
  const TK_Material* chrome = FindMaterial(doc, L"chrome");
  ASSERT_NE(chrome, nullptr);
  EXPECT_EQ(chrome->EmapBitmapFileName().str(), (folder / demo_maps::kSky).wstring());
  const TK_Material* glass = FindMaterial(doc, L"glass");
  ASSERT_NE(glass, nullptr);
  EXPECT_GT(glass->Transparency(), 0.0);
  const TK_Material* lacquer = FindMaterial(doc, L"lacquer");
  ASSERT_NE(lacquer, nullptr);
  EXPECT_GT(lacquer->Shine(), 0.0);

  EXPECT_EQ(doc.ObjectCount(), 5);
  int spots = 0;
  for (int i = 0; i < doc.LightTable().Count(); ++i) {
    const TK_Light& light = doc.LightTable()[i].Light();
    if (light.IsSpotLight() && light.ShadowIntensity() > 0) ++spots;
  }
  EXPECT_EQ(spots, 1);
  const TK_ScnRenderSettings& settings = doc.Properties().RenderSettings();
  EXPECT_NE(settings.m_shadow_level, 0);
  EXPECT_EQ(settings.m_custom_imagesize, 1);
  EXPECT_EQ(settings.m_image_width, 1280);
  EXPECT_EQ(settings.m_image_height, 720);
  ASSERT_NE(doc.ActiveView(), nullptr);
}
