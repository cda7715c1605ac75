// The toolkit's records in their archive layouts, laid down by hand: reading
// the bytes gives the record, writing the record gives the bytes, and every
// truncation or a corrupt field fails without touching the record read into.
#include <gtest/gtest.h>

#include <functional>

#include "host/toolkit/BinaryArchive.h"
#include "host/toolkit/Layer.h"
#include "host/toolkit/ScnObjectAttributes.h"
#include "host/toolkit/ScnRenderSettings.h"
#include "support/LittleEndianBytes.h"
#include "support/SampleMaterial.h"

namespace {

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

struct Layout {
  const char* name;
  std::function<void()> check;
};

const Layout kLayouts[] = {
    {"Layer",
     [] {
       TK_Layer walls;
       walls.SetName(L"Walls");
       walls.SetMode(TK_Layer::hidden_layer);
       walls.SetRenderMaterialIndex(4);
       CheckLayout(LittleEndianBytes().Int(1).Int(0).String(u"Walls").Int(1).Int(4), walls, 22, 7);  // mode 7
     }},
    {"ObjectAttributes",
     [] {
       TK_ScnObjectAttributes chair;
       chair.SetName(L"Chair");
       chair.SetLayerIndex(2);
       chair.SetMaterialSource(1);
       chair.SetMaterialIndex(5);
       CheckLayout(LittleEndianBytes().Int(1).Int(0).String(u"Chair").Int(2).Int(1).Int(5), chair, 26, 9);  // source 9
     }},
    {"RenderSettings",
     [] {
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
     }},
    {"Material",
     [] {
       LittleEndianBytes bytes;
       AppendSampleMaterialBytes(bytes);
       CheckLayout(bytes, SampleMaterial(), 0, 2);  // major version 2
     }},
};

void PrintTo(const Layout& c, std::ostream* os) { *os << c.name; }

class ArchiveLayout : public testing::TestWithParam<Layout> {};

TEST_P(ArchiveLayout, BytesReadAndWriteBackAndDamageChangesNothing) { GetParam().check(); }

INSTANTIATE_TEST_SUITE_P(Toolkit, ArchiveLayout, testing::ValuesIn(kLayouts),
                         [](const testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

}  // namespace
