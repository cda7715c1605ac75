// Layers, object attributes and render settings: their archive layouts and
// the meaning of their enumerations.
#include <gtest/gtest.h>

#include "host/toolkit/BinaryArchive.h"
#include "host/toolkit/Layer.h"
#include "host/toolkit/ScnObjectAttributes.h"
#include "host/toolkit/ScnRenderSettings.h"
#include "support/LittleEndianBytes.h"

namespace {

TEST(Layer, ModeOneIsTheHiddenLayerAndDrivesTheVisibleFlag) {
  TK_Layer layer;
  EXPECT_EQ(layer.Mode(), TK_Layer::normal_layer);
  EXPECT_TRUE(layer.IsVisible());
  layer.SetVisible(false);
  EXPECT_EQ(layer.Mode(), 1);
  EXPECT_FALSE(layer.IsVisible());
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

TEST(Layer, ArchiveLayoutAndCorruptModes) {
  LittleEndianBytes bytes;
  bytes.Int(1).Int(0).String(u"Walls").Int(1).Int(4);
  TK_BinaryArchive in(bytes.bytes);
  TK_Layer layer;
  ASSERT_TRUE(layer.Read(in));
  EXPECT_EQ(layer.Name(), TK_wString(L"Walls"));
  EXPECT_EQ(layer.Mode(), TK_Layer::hidden_layer);
  EXPECT_EQ(layer.RenderMaterialIndex(), 4);
  TK_BinaryArchive out;
  ASSERT_TRUE(layer.Write(out));
  EXPECT_EQ(out.Buffer(), bytes.bytes);

  LittleEndianBytes bad;
  bad.Int(1).Int(0).String(u"X").Int(7).Int(0);
  TK_BinaryArchive bad_in(bad.bytes);
  EXPECT_FALSE(layer.Read(bad_in));
  EXPECT_EQ(layer.Name(), TK_wString(L"Walls"));
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    TK_BinaryArchive cut(std::span(bytes.bytes.data(), length));
    TK_Layer fresh;
    EXPECT_FALSE(fresh.Read(cut));
    EXPECT_TRUE(fresh == TK_Layer());
  }
}

TEST(ScnObjectAttributes, ArchiveLayoutAndMaterialSources) {
  LittleEndianBytes bytes;
  bytes.Int(1).Int(0).String(u"Chair").Int(2).Int(TK_ScnObjectAttributes::material_from_object).Int(5);
  TK_BinaryArchive in(bytes.bytes);
  TK_ScnObjectAttributes a;
  ASSERT_TRUE(a.Read(in));
  EXPECT_EQ(a.Name(), TK_wString(L"Chair"));
  EXPECT_EQ(a.LayerIndex(), 2);
  EXPECT_EQ(a.MaterialSource(), 1);
  EXPECT_EQ(a.MaterialIndex(), 5);
  TK_BinaryArchive out;
  ASSERT_TRUE(a.Write(out));
  EXPECT_EQ(out.Buffer(), bytes.bytes);

  EXPECT_EQ(TK_ScnObjectAttributes().MaterialSource(), 0);
  EXPECT_FALSE(a.SetMaterialSource(2));
  LittleEndianBytes bad;
  bad.Int(1).Int(0).String(u"Chair").Int(2).Int(9).Int(5);
  TK_BinaryArchive bad_in(bad.bytes);
  TK_ScnObjectAttributes fresh;
  EXPECT_FALSE(fresh.Read(bad_in));
  EXPECT_TRUE(fresh == TK_ScnObjectAttributes());
  auto dup = a.DuplicateObject();
  ASSERT_NE(TK_ScnObjectAttributes::Cast(dup.get()), nullptr);
  EXPECT_TRUE(*TK_ScnObjectAttributes::Cast(dup.get()) == a);
}

TK_ScnRenderSettings UnusualSettings() {
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
  s.m_shadowmap_height = 512;
  s.m_shadowmap_offset = -0.75;
  return s;
}

TEST(ScnRenderSettings, DefaultsAreUsable) {
  const TK_ScnRenderSettings s;
  EXPECT_EQ(s.m_custom_imagesize, 0);
  EXPECT_GT(s.m_image_width, 0);
  EXPECT_GT(s.m_image_height, 0);
  EXPECT_EQ(s.m_shadowmap_width, s.m_shadowmap_height);
  EXPECT_GE(s.m_antialias_level, 0);
  EXPECT_LE(s.m_antialias_level, 3);
  EXPECT_GE(s.m_shadow_level, 0);
  EXPECT_LE(s.m_shadow_level, 2);
}

TEST(ScnRenderSettings, ArchiveLayoutIsTheFieldsInOrder) {
  LittleEndianBytes bytes;
  bytes.Int(1).Int(0).Int(1).Int(1920).Int(1080).Color(0x030201).Color(0x060504);
  bytes.Int(11).Int(12).Int(13).Int(14).Int(15).Int(16).Int(3).Int(2).Int(512).Int(512).Double(-0.75);
  TK_BinaryArchive in(bytes.bytes);
  TK_ScnRenderSettings s;
  ASSERT_TRUE(s.Read(in));
  EXPECT_EQ(in.BytesRemaining(), 0u);
  EXPECT_EQ(s, UnusualSettings());
  TK_BinaryArchive out;
  ASSERT_TRUE(UnusualSettings().Write(out));
  EXPECT_EQ(out.Buffer(), bytes.bytes);
}

TEST(ScnRenderSettings, FailedReadsChangeNothing) {
  TK_BinaryArchive out;
  ASSERT_TRUE(UnusualSettings().Write(out));
  const auto& bytes = out.Buffer();
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    TK_BinaryArchive in(std::span(bytes.data(), length));
    TK_ScnRenderSettings s;
    EXPECT_FALSE(s.Read(in)) << length;
    EXPECT_EQ(s, TK_ScnRenderSettings()) << length;
  }
  LittleEndianBytes future;
  future.Int(2).Int(0);
  future.Append(std::vector<std::uint8_t>(bytes.begin() + 8, bytes.end()));
  TK_BinaryArchive in(future.bytes);
  TK_ScnRenderSettings s;
  EXPECT_FALSE(s.Read(in));
  EXPECT_EQ(s, TK_ScnRenderSettings());
}

}  // namespace
