#include "host/app/import/ObjMaterialLibrary.h"

#include <gtest/gtest.h>

#include "support/Files.h"
#include "support/TempDir.h"

namespace {

TEST(ObjMaterialLibrary, MapFileNamesComeAfterTheOptions) {
  std::string type;
  EXPECT_EQ(obj_materials::MapFileName("sky.png"), "sky.png");
  EXPECT_EQ(obj_materials::MapFileName("-type sphere sky.png", &type), "sky.png");
  EXPECT_EQ(type, "sphere");
  EXPECT_EQ(obj_materials::MapFileName("-o 0.5 -s 2 2 1 -mm 0 1 -clamp on -bm 0.2 dir/my sky.png"), "dir/my sky.png");
  EXPECT_EQ(obj_materials::MapFileName("-t 1 0.5 maps/t.png"), "maps/t.png");
  EXPECT_EQ(obj_materials::MapFileName("-blendu off -imfchan l"), "");
  EXPECT_EQ(obj_materials::MapFileName(""), "");
  EXPECT_EQ(obj_materials::MapFileName("-o"), "");
}

TEST(ObjMaterialLibrary, ReadsReflectionMapsAndUsedMaterialsFromEveryLibrary) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  WriteFile(dir / "m.obj", "# model\nmtllib a.mtl sub/b.mtl\nv 0 0 0\nusemtl chrome\nf 1 1 1\nusemtl  glass \nmtllib gone.mtl\n");
  WriteFile(dir / "a.mtl",
            "newmtl chrome\nKd 1 1 1\nrefl -type cube_top top.png\nrefl -type sphere  env/sphere.png\n"
            "refl other.png\n\nnewmtl plain\nKd 0 0 0\n");
  WriteFile(dir / "sub/b.mtl", "newmtl glass\r\n\tmap_refl  -mm 0 1 glass sky.png\r\n");
  const obj_materials::ObjMaterialFacts facts = obj_materials::ReadMaterialFacts(dir / "m.obj");
  // The sphere map wins over the cube face named first; later ones are ignored.
  ASSERT_EQ(facts.reflection_maps.size(), 2u);
  EXPECT_EQ(facts.reflection_maps.at("chrome"), "env/sphere.png");
  EXPECT_EQ(facts.reflection_maps.at("glass"), "glass sky.png");
  EXPECT_EQ(facts.used, (std::set<std::string>{"chrome", "glass"}));
}

TEST(ObjMaterialLibrary, MissingFilesGiveNothing) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const obj_materials::ObjMaterialFacts none = obj_materials::ReadMaterialFacts(dir / "none.obj");
  EXPECT_TRUE(none.reflection_maps.empty());
  EXPECT_TRUE(none.used.empty());
  // refl before any newmtl belongs to no material.
  WriteFile(dir / "m.obj", "mtllib m.mtl\n");
  WriteFile(dir / "m.mtl", "refl early.png\nnewmtl late\n");
  EXPECT_TRUE(obj_materials::ReadMaterialFacts(dir / "m.obj").reflection_maps.empty());
}

}  // namespace
