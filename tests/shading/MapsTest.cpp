// Texture sampling with its wrap rules, and the material cache: which map
// files it reads, shares and binds, and which materials it takes as one.

#include <gtest/gtest.h>

#include <functional>

#include "host/platform/KavraDib.h"
#include "shading/ShadingFixture.h"
#include "shading/TextureSampling.h"
#include "support/TempDir.h"

namespace {

// Texels x0, x1 of rows y0, y1 blended with the fractions ax, ay.
Colour3f Bilinear(int x0, int x1, int y0, int y1, float ax, float ay) {
  const auto mix = [](const Colour3f& a, const Colour3f& b, float t) {
    return Colour3f{a.red + (b.red - a.red) * t, a.green + (b.green - a.green) * t, a.blue + (b.blue - a.blue) * t};
  };
  return mix(mix(Texel(x0, y0), Texel(x1, y0), ax), mix(Texel(x0, y1), Texel(x1, y1), ax), ay);
}

// 6 x 5 texels: nearest limits W' 4, H' 3; filtered W1 5, H1 4. Nearest rows read texel (x0, y0).
TEST(SampleMap, WrapsAndBlendsAsATableAndFindsBumpNeighbours) {
  COruDib image;
  ASSERT_TRUE(FillImage(image, 6, 5));
  const struct {
    const char* what; int filter; double tiling, offset_u, offset_v, u, v; int x0, x1, y0, y1; float ax, ay;
  } cases[] = {
      {"nearest truncates", 0, 1, 0, 0, 0.5, 0.5, 2, 0, 1, 0, 0, 0},
      {"u = 1 reaches W', never the last column", 0, 1, 0, 0, 1, 1, 4, 0, 3, 0, 0, 0},
      {"6 > 4 wraps to 6 mod 4 + 1", 0, 1, 0, 0, 1.5, 0, 3, 0, 0, 0, 0, 0},
      {"negatives mirror: -3 -> 4, -1 -> 2", 0, 1, 0, 0, -0.75, -0.5, 4, 0, 2, 0, 0, 0},
      {"tiling 2 repeats", 0, 2, 0, 0, 0.75, 0, 3, 0, 0, 0, 0, 0},
      {"offsets count in pixels", 0, 1, 1, 2, 0.25, 0, 2, 0, 2, 0, 0, 0},
      {"offset past the edge wraps", 0, 1, 1, 2, 1, 0.5, 2, 0, 3, 0, 0, 0},
      {"filtered halfway", 1, 1, 0, 0, 0.5, 0.5, 2, 3, 2, 3, 0.5f, 0},
      {"filtered in both directions", 1, 1, 0, 0, 0.5, 0.3125, 2, 3, 1, 2, 0.5f, 0.25f},
      {"u = 1 reaches W1", 1, 1, 0, 0, 1, 0, 5, 1, 0, 1, 0, 0},
      {"x1 = W1 + 1 wraps to 1, not 0", 1, 1, 0, 0, 1.1, 0, 5, 1, 0, 1, 0.5f, 0},
      {"-3 mirrors to 3 mod 5", 1, 1, 0, 0, -0.6, 0, 3, 2, 0, 1, 0, 0},
      {"a negative fraction extrapolates", 1, 1, 0, 0, -0.7, 0, 3, 2, 0, 1, -0.5f, 0},
      {"-0.5 truncates to 0", 1, 1, 0, 0, -0.1, 0, 0, 1, 0, 1, -0.5f, 0},
      {"filtered tiling and offsets", 1, 2, 1, 2, 0.55, 0, 1, 2, 2, 3, 0.5f, 0},
  };
  for (const auto& c : cases) {
    MaterialMap slot;
    Bind(slot, image, 1, c.filter);
    slot.tiling_u = c.tiling;
    slot.offset_u = c.offset_u;
    slot.offset_v = c.offset_v;
    EXPECT_TRUE(Near(SampleMap(slot, {c.u, c.v}), Bilinear(c.x0, c.x1, c.y0, c.y1, c.ax, c.ay))) << c.what;
  }
  ASSERT_TRUE(FillImage(image, 3, 3));  // limits 1; wild coordinates stay inside
  MaterialMap slot;
  Bind(slot, image);
  for (double u : {2.5, 1e300, -1e300}) EXPECT_EQ(SampleMap(slot, {u, 0.5}), Texel(1, 0)) << u;
  EXPECT_EQ(SampleMap(slot, {std::nan(""), 0.5}), Texel(0, 0));
  ASSERT_TRUE(FillImage(image, 2, 2));  // limits 0: every wrap would divide by zero
  for (int filter : {0, 1}) EXPECT_EQ(SampleMap((Bind(slot, image, 1, filter), slot), {1.5, -2.0}), Colour3f{});

  // Bump slopes: one pixel away, never wrapped (filtered ones blend as the rows above, two pixels away).
  ASSERT_TRUE(FillImage(image, 6, 6));  // W' = H' = 4, W1 = H1 = 5
  Bind(slot, image);
  const Colour3f preset{0.25f, 0.5f, 0.75f};
  Colour3f left = preset, down = preset, right, up;  // column and row -1 lie outside: the caller's preset stays
  SampleMapNeighbours(slot, {0.0, 0.0}, left, down, right, up);
  EXPECT_EQ((std::array{left, down, right, up}), (std::array{preset, preset, Texel(1, 0), Texel(0, 1)}));
  SampleMapNeighbours(slot, {1.0, 1.0}, left, down, right, up);  // the last column and row, not wrapped
  EXPECT_EQ((std::array{left, down, right, up}), (std::array{Texel(3, 4), Texel(4, 3), Texel(5, 4), Texel(4, 5)}));
}

// Which map files the cache reads, shares and binds, in one folder of real image files.
TEST(MaterialCache, ReadsEachFileOnceBindsOnlySampleableFilesAndLeavesNothingBehind) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const auto name = [&](const std::string& file) { return TK_wString::FromUtf8((dir / file).string()); };
  const auto write = [&](const std::string& file, int w, int h) {
    CKavraDib image;
    EXPECT_TRUE(image.CreateDib(w, h, 24, true, nullptr) && image.WriteToFile(name(file)));
    return name(file);
  };
  const auto use = [](MaterialMap& slot, const TK_wString& file) { slot.enabled = true, slot.file_name = file; };
  {
    SCOPED_TRACE("read once whatever the letter case, never shared across entries");
    CRenderMaterial material;
    use(material.m_texture_map, write("Stone.bmp", 6, 5));
    use(material.m_specular_map, name("stone.BMP"));
    MaterialEntry entry(std::make_unique<CRenderMaterial>(material));
    const MaterialMap& texture = entry.Material()->m_texture_map;
    ASSERT_NE(texture.bitmap, nullptr);
    EXPECT_EQ(std::pair(texture.width_limit, texture.height_limit), std::pair(4, 3));
    EXPECT_EQ(entry.Material()->m_specular_map.bitmap, texture.bitmap);
    EXPECT_EQ(entry.MapFileReads(), 1);
    EXPECT_EQ(MaterialEntry(&material).MapFileReads(), 1);  // not shared with the first
    // A slot a later cache bound is left alone when an entry lets its lent material go;
    // the engine's session tests show the entry's own slots unbound.
    auto first = std::make_unique<MaterialEntry>(&material);
    MaterialEntry later(std::unique_ptr<CRenderMaterial>{});
    material.m_bump_map.bitmap = later.FindOrLoadMapBitmap(name("Stone.bmp"));
    first.reset();
    EXPECT_TRUE(material.m_bump_map.bitmap && material.m_bump_map.bitmap == later.FindOrLoadMapBitmap(name("stone.BMP")));
  }
  {
    SCOPED_TRACE("a failed read is tried again (relative names are the engine's session tests')");
    MaterialEntry entry(std::unique_ptr<CRenderMaterial>{});
    EXPECT_TRUE(!entry.FindOrLoadMapBitmap(TK_wString()) && !entry.FindOrLoadMapBitmap(name("late.png")));
    write("late.png", 3, 4);
    const CKavraDib* bitmap = entry.FindOrLoadMapBitmap(name("late.png"));
    EXPECT_TRUE(bitmap && entry.FindOrLoadMapBitmap(name("late.png")) == bitmap);
    EXPECT_EQ(entry.MapFileReads(), 2);
  }
  SCOPED_TRACE("only enabled slots naming readable, sampleable files are bound");
  CRenderMaterial material;
  COruDib stale;  // run-time fields left from an earlier render are overwritten
  for (int s = 0; s < CRenderMaterial::slot_count; ++s)
    material.Map(s).bitmap = &stale, material.Map(s).width_limit = material.Map(s).height_limit = 99;
  material.m_texture_map.file_name = write("narrow.bmp", 2, 7);  // disabled, though it names a file
  material.m_specular_map.enabled = true;                        // enabled without a file
  use(material.m_environment_map, name("missing.bmp"));
  use(material.m_transparency_map, name("narrow.bmp"));  // read, but too narrow to sample (as too low)
  MaterialEntry entry(&material);
  for (int s = 0; s < CRenderMaterial::slot_count; ++s)
    EXPECT_TRUE(!material.Map(s).bitmap && material.Map(s).width_limit + material.Map(s).height_limit == 0) << s;
  use(material.m_bump_map, write("least.bmp", 3, 3));
  entry.LoadMapBitmaps();
  EXPECT_EQ(std::pair(material.m_bump_map.width_limit, material.m_bump_map.height_limit), std::pair(1, 1));
}

// One change per rule: the cache shares materials that differ only in what shading does not read.
TEST(IsSameRenderMaterial, ComparesWhatShadingMeansAndIgnoresTheRest) {
  using M = CRenderMaterial;
  M base;
  for (int s = 0; s < M::slot_count; ++s) base.Map(s).enabled = true, base.Map(s).file_name = L"/m/x.png";
  std::vector<std::pair<std::function<void(M&)>, bool>> changes = {
      {[](M& m) { m.SetDiffuse(TK_Color(1, 2, 3)); }, false},
      {[](M& m) { m.m_reserved_a += 0.5; }, true},
      {[](M& m) { m.m_faceted = !m.m_faceted; }, true},  // as two-sided, shared in the session tests
      {[](M& m) { m.m_bump_map.offset_v += 0.5; }, false},
      {[](M& m) { m.m_texture_map.file_name = L"/M/x.png"; }, false},  // letter case counts
      {[](M& m) { m.m_specular_map.filter = 1 - m.m_specular_map.filter; }, true},
      {[](M& m) { m.m_transparency_map.width_limit = 40; }, true},  // the bitmap binding
  };
  for (int s = 0; s < M::slot_count; ++s) changes.emplace_back([s](M& m) { m.Map(s).enabled = false; }, false);
  for (std::size_t i = 0; i < changes.size(); ++i) {
    M changed = base;
    changes[i].first(changed);
    EXPECT_EQ(std::pair(IsSameRenderMaterial(base, changed), IsSameRenderMaterial(changed, base)),
              std::pair(changes[i].second, changes[i].second)) << "change " << i;
  }
  EXPECT_FALSE(MaterialEntry(std::unique_ptr<M>{}).MatchesMaterial(base));  // sharing shows in the session tests
}

}  // namespace
