// Layers, object attributes and render settings: archive layouts and the
// meaning of their enumerations.
#include <gtest/gtest.h>

#include "host/toolkit/BinaryArchive.h"
#include "host/toolkit/Layer.h"
#include "host/toolkit/ScnObjectAttributes.h"
#include "host/toolkit/ScnRenderSettings.h"
#include "support/LittleEndianBytes.h"

namespace {

// Reading the bytes gives `expected`, writing it gives the bytes back, and
// every truncation or the given corruption fails without changing a record.
template <typename Record>
void CheckLayout(const LittleEndianBytes& bytes, const Record& expected, std::size_t corrupt_at, std::uint8_t corrupt) {
  TK_BinaryArchive in(bytes.bytes);
  Record read;
  ASSERT_TRUE(read.Read(in));
  EXPECT_EQ(in.BytesRemaining(), 0u);
  EXPECT_TRUE(read == expected);
  TK_BinaryArchive out;
  ASSERT_TRUE(expected.Write(out));
  EXPECT_EQ(out.Buffer(), bytes.bytes);
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    TK_BinaryArchive cut(std::span(bytes.bytes.data(), length));
    Record fresh;
    EXPECT_FALSE(fresh.Read(cut)) << length;
    EXPECT_TRUE(fresh == Record()) << length;
  }
  std::vector<std::uint8_t> bad = bytes.bytes;
  bad[corrupt_at] = corrupt;
  TK_BinaryArchive bad_in(bad);
  Record fresh;
  EXPECT_FALSE(fresh.Read(bad_in));
  EXPECT_TRUE(fresh == Record());
}

TEST(Layer, ModeOneIsTheHiddenLayerAndDrivesTheVisibleFlag) {
  TK_Layer layer;
  EXPECT_TRUE(layer.IsVisible());
  layer.SetVisible(false);
  EXPECT_EQ(layer.Mode(), 1);
  layer.SetVisible(true);
  EXPECT_EQ(layer.Mode(), TK_Layer::normal_layer);
  ASSERT_TRUE(layer.SetMode(TK_Layer::locked_layer));
  layer.SetVisible(true);  // a locked layer stays locked
  EXPECT_EQ(layer.Mode(), TK_Layer::locked_layer);
  EXPECT_TRUE(layer.IsVisible());
  EXPECT_FALSE(layer.SetMode(3));
  EXPECT_FALSE(layer.SetMode(-1));
  EXPECT_EQ(layer.Mode(), TK_Layer::locked_layer);
}

TEST(Layer, ArchiveLayout) {
  TK_Layer walls;
  walls.SetName(L"Walls");
  walls.SetMode(TK_Layer::hidden_layer);
  walls.SetRenderMaterialIndex(4);
  CheckLayout(LittleEndianBytes().Int(1).Int(0).String(u"Walls").Int(1).Int(4), walls, 22, 7);  // mode 7
}

TEST(ScnObjectAttributes, ArchiveLayoutAndMaterialSources) {
  TK_ScnObjectAttributes chair;
  EXPECT_EQ(chair.MaterialSource(), TK_ScnObjectAttributes::material_from_layer);
  EXPECT_FALSE(chair.SetMaterialSource(2));
  chair.SetName(L"Chair");
  chair.SetLayerIndex(2);
  ASSERT_TRUE(chair.SetMaterialSource(1));
  chair.SetMaterialIndex(5);
  CheckLayout(LittleEndianBytes().Int(1).Int(0).String(u"Chair").Int(2).Int(1).Int(5), chair, 26, 9);  // source 9
}

TEST(ScnRenderSettings, ArchiveLayoutIsTheFieldsInOrder) {
  TK_ScnRenderSettings s;
  s.m_custom_imagesize = 1;
  s.m_image_width = 1920;
  s.m_image_height = 1080;
  s.m_ambient_color = TK_Color(1, 2, 3);
  s.m_background_color = TK_Color(4, 5, 6);
  // Distinct values, so that swapped flags show.
  s.m_use_hidden_lights = 11;
  s.m_render_curves_and_isocurves = 12;
  s.m_render_dimensions_and_text = 13;
  s.m_render_annotation_dots = 14;
  s.m_render_points = 15;
  s.m_render_mesh_wireframe = 16;
  s.m_antialias_level = 3;
  s.m_shadow_level = 2;
  s.m_shadowmap_width = 512;
  s.m_shadowmap_height = 513;
  s.m_shadowmap_offset = -0.75;
  LittleEndianBytes bytes;
  bytes.Int(1).Int(0).Int(1).Int(1920).Int(1080).Color(0x030201).Color(0x060504);
  bytes.Int(11).Int(12).Int(13).Int(14).Int(15).Int(16).Int(3).Int(2).Int(512).Int(513).Double(-0.75);
  CheckLayout(bytes, s, 0, 2);  // major version 2
  EXPECT_EQ(TK_ScnRenderSettings().m_shadowmap_width, TK_ScnRenderSettings().m_shadowmap_height);
}

}  // namespace
