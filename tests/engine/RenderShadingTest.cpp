// Whole renders whose pixels a few lines of lighting predict: Lambert,
// transparency, a checker texture, a bump map; then one shadow render.

#include "tests/engine/RenderHarness.h"

#include <cmath>
#include <deque>
#include <functional>
#include <optional>
#include <tuple>

#include "settings/MaterialUserData.h"
#include "shadows/PixelFormatCatalogue.h"
#include "support/SquareMesh.h"
#include "support/TempDir.h"

namespace {

// Expected packed lighting: trunc(min(c, 1) x 255) per channel.
int Byte(double c) { return int(std::min(c, 1.0) * 255.0); }
std::uint32_t Lit(const double (&c)[3]) { return Word(Byte(c[0]), Byte(c[1]), Byte(c[2])); }

// A 24-bit map file whose pixel (x, y from the bottom) is texel(x, y).
TK_wString MapFile(const TempDir& folder, const char* name, int width, int height,
                   const std::function<std::uint32_t(int, int)>& texel) {
  CKavraDib map;
  EXPECT_TRUE(map.CreateDib(width, height, 24, true, nullptr));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::uint32_t w = texel(x, y);
      unsigned char* p = map.FindDIBBits() + std::size_t(y) * std::size_t(map.GetStorageWidth()) + 3 * x;
      p[0] = std::uint8_t(w);
      p[1] = std::uint8_t(w >> 8);
      p[2] = std::uint8_t(w >> 16);
    }
  const TK_wString path = TK_wString::FromUtf8((folder / name).string());
  EXPECT_TRUE(map.WriteToFile(path));
  return path;
}

TK_Material Diffuse(int red, int green, int blue, double transparency = 0) {
  TK_Material material;
  material.SetDiffuse(TK_Color(red, green, blue));
  material.SetTransparency(transparency);
  return material;
}

// A scene's session, a folder for its maps, and kept materials whose records
// lend their render materials to the session: declared first, they outlive
// it, at addresses that never change.
struct Build {
  Build(CKavraDoc& doc, const CDMRenderUserData& settings, const CKavraObject& object)
      : session(doc, nullptr, settings), object(object) {}
  TempDir folder;
  std::deque<TK_Material> kept;
  CRenderSession session;
  const CKavraObject& object;
  void Add(const TK_Material& material, const TK_Mesh& mesh) { ASSERT_TRUE(session.AddRenderMesh(object, material, &mesh)); }
  void Add(const TK_Light& light) { ASSERT_TRUE(session.AddLight(CKavraLight(light))); }
  // A kept material whose record enables one map slot, set up further by `tweak`.
  const TK_Material& WithMap(const TK_Material& host, MaterialMap CRenderMaterial::*slot, void (*tweak)(MaterialMap&)) {
    TK_Material& material = kept.emplace_back(host);
    auto record = std::make_unique<CDMMaterialUserData>();
    record->m_material = std::make_unique<CRenderMaterial>(material);
    MaterialMap& map = record->m_material.get()->*slot;
    map.enabled = true;
    tweak(map);
    EXPECT_TRUE(CDMMaterialUserData::AttachTo(material, std::move(record)));
    return material;
  }
  static TK_Mesh MappedQuad() {
    TK_Mesh quad = SquareMesh(2, 0);
    quad.m_T = {TK_2fPoint(0, 0), TK_2fPoint(1, 0), TK_2fPoint(1, 1), TK_2fPoint(0, 1)};
    return quad;
  }
  void Dark() {  // a light that reaches nothing: its attenuation is 0 everywhere
    TK_Light light = MakeLight(TK::point_light, {0, 0, 0}, {0, 0, -1});
    EXPECT_TRUE(light.SetAttenuation(0, 0, 0));
    Add(light);
  }
};

// A scene seen straight down from 10 above, 32 x 32 pixels at level 0, and
// the colour expected where the ray through a pixel meets z = 0: none
// where the test does not look (edges, diagonals, seams of texels).
struct Scene {
  const char* name;
  TK_Color ambient;
  std::function<void(Build&)> build;
  std::function<std::optional<std::uint32_t>(double x, double y)> expected;
};

const double kCream[3] = {200 / 255.0, 120 / 255.0, 90 / 255.0};

const Scene kScenes[] = {
    {"Lambert", TK_Color(20, 40, 60),
     [](Build& b) {
       TK_Mesh mesh;
       for (int i = 0; i < 3; ++i) mesh.SetVertex(i, TK_3fPoint(i == 0 ? -3 : i == 1 ? 3 : 0, i == 2 ? 3 : -3, 0));
       mesh.SetTriangle(0, 0, 1, 2);
       TK_Light light = MakeLight(TK::point_light, {2, 3, 4}, {0, 0, -1});
       light.SetDiffuse(TK_Color(255, 204, 153));
       b.Add(Diffuse(200, 120, 90), mesh);
       b.Add(light);
     },
     [](double x, double y) -> std::optional<std::uint32_t> {
       if (y < -3.1 || y > 3.1 || std::abs(x) > (3 - y) / 2 + 0.1) return kBackground;
       if (y < -2.9 || y > 2.9 || std::abs(x) > (3 - y) / 2 - 0.1) return std::nullopt;
       const TK_3dVector to_light(2 - x, 3 - y, 4);
       const double n_dot_l = to_light.z / to_light.Length(), light[3] = {1.0, 0.8, 0.6}, ambient[3] = {20, 40, 60};
       double c[3];
       for (int i = 0; i < 3; ++i) c[i] = ambient[i] / 255 * kCream[i] + n_dot_l * light[i] * kCream[i];
       return Lit(c);
     }},
    // Each surface adds (1 - t) of its colour to t of what lies behind,
    // rounded down to bytes at each step (no step lands on a whole byte).
    {"TwoTransparentQuads", TK_Color(255, 255, 255),
     [](Build& b) {
       b.Add(Diffuse(202, 18, 71, 0.5), SquareMesh(2, -1));  // farther first: the hits are sorted
       b.Add(Diffuse(101, 55, 13, 0.25), SquareMesh(2, 1));
       b.Dark();
     },
     [](double x, double y) -> std::optional<std::uint32_t> {
       if (std::abs(x) > 2.8 || std::abs(y) > 2.8) return kBackground;
       if (std::abs(x) > 1.2 || std::abs(y) > 1.2 || std::abs(x - y) < 0.1) return std::nullopt;
       const int bg[3] = {255, 51, 102}, back[3] = {202, 18, 71}, front[3] = {101, 55, 13};
       int seen[3];
       for (int i = 0; i < 3; ++i) seen[i] = int(front[i] * 0.75 + int(back[i] * 0.5 + bg[i] * 0.5) * 0.25);
       return Word(seen[0], seen[1], seen[2]);
     }},
    // A 10 x 10 map sampled nearest: columns and rows 0..7 (its limits are
    // width - 2 and height - 2) make four cells of 2 x 2 texels each way.
    {"Checker", TK_Color(255, 255, 255),
     [](Build& b) {
       TK_Material material;
       material.SetTextureBitmapFileName(MapFile(b.folder, "checker.png", 10, 10, [](int x, int y) {
         const int cx = std::min(x, 7) / 2, cy = std::min(y, 7) / 2;
         return Word(40 + 50 * cx, 30 + 60 * cy, 200 - 40 * ((cx + cy) % 2));
       }));
       b.Add(b.WithMap(material, &CRenderMaterial::m_texture_map, [](MaterialMap& m) { m.filter = 0; }), Build::MappedQuad());
       b.Dark();
     },
     [](double x, double y) -> std::optional<std::uint32_t> {
       const double u = (x + 2) / 4, v = (y + 2) / 4;
       const auto clear = [](double c) { return c > 0 && c < 1 && std::abs(4 * c - std::round(4 * c)) > 0.02; };
       if (!clear(u) || !clear(v)) return std::nullopt;
       const int cx = int(4 * u), cy = int(4 * v);
       return Word(40 + 50 * cx, 30 + 60 * cy, 200 - 40 * ((cx + cy) % 2));
     }},
    // Grey rising by 6 per column tilts the normal by s = (12 / 255) x 0.5
    // x amount x 100 toward -x: N = (-s, 0, 1) made unit, lit from (1, 0, 1).
    {"BumpRamp", TK_Color(20, 20, 20),
     [](Build& b) {
       TK_Material material = Diffuse(200, 120, 90);
       material.SetBumpBitmapFileName(MapFile(b.folder, "ramp.png", 20, 6, [](int x, int) { return Word(10 + 6 * x, 10 + 6 * x, 10 + 6 * x); }));
       b.Add(b.WithMap(material, &CRenderMaterial::m_bump_map, [](MaterialMap& m) { m.amount = 0.2; }), Build::MappedQuad());
       b.Add(MakeLight(TK::directional_light, {0, 0, 0}, {-1, 0, -1}));
     },
     [](double x, double y) -> std::optional<std::uint32_t> {
       const double u = (x + 2) / 4, v = (y + 2) / 4;  // texels with all four neighbours inside the map
       if (18 * u < 1.05 || 18 * u > 16.95 || 4 * v < 1.05 || 4 * v > 3.95) return std::nullopt;
       const double s = 6.0 / 255 * 20, n_dot_l = (1 - s) / (std::sqrt(2.0) * std::sqrt(1 + s * s));
       double c[3];
       for (int i = 0; i < 3; ++i) c[i] = 20.0 / 255 * kCream[i] + n_dot_l * kCream[i];
       return Lit(c);
     }},
};

class RenderShading : public RenderFixture, public ::testing::WithParamInterface<Scene> {};

TEST_P(RenderShading, EveryPixelHasTheColourItsLightingPredicts) {
  const Scene& scene = GetParam();
  SetLevels(0, 0, scene.ambient);
  Build build(doc, settings, object);
  scene.build(build);
  const int size = 32;
  Render(build.session, size, size);
  ASSERT_EQ(window.Count(RenderStatus::completed), 1);
  int checked = 0;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      PixelRayRecord ray;
      ASSERT_TRUE(build.session.MainProjection()->Camera().PixelRay(x, y, ray));
      const double t = -ray.origin.z / ray.direction.z;
      const auto expected = scene.expected(ray.origin.x + t * ray.direction.x, ray.origin.y + t * ray.direction.y);
      if (!expected) continue;
      EXPECT_EQ(ImageWord(x, y), *expected) << x << ", " << y;
      ++checked;
    }
  EXPECT_GT(checked, 100);
}

INSTANTIATE_TEST_SUITE_P(Scenes, RenderShading, ::testing::ValuesIn(kScenes),
                         [](const auto& info) { return std::string(info.param.name); });

// A plate of half side 0.3 at height 3 under a spot light at height 4
// shadows the floor to 1.2 from the middle, at both levels alike (ambient
// alone); without shadow intensity or shadows there is no map and no shadow.
using ShadowRender = RenderFixture;

TEST_F(ShadowRender, APlateShadowsTheFloorInsideItsOutlineOnly) {
  BuildPixelFormatCatalogue();
  if (FindPixelFormat(kGenericBitmap).format_index == 0) GTEST_SKIP() << "no offscreen OpenGL on this machine";
  view.m_vp.SetCameraAngle(std::atan(0.25));
  const TK_Mesh floor = SquareMesh(4, 0), plate = SquareMesh(0.3f, 3);
  TK_Light spot = MakeLight(TK::spot_light, {0, 0, 4}, {0, 0, -1});
  spot.SetSpotAngleRadians(M_PI / 4);
  const auto render = [&](int shadow_level, double shadow_intensity) {
    SetLevels(0, shadow_level, TK_Color(40, 40, 40));
    TK_ScnRenderSettings render_settings = doc.Properties().RenderSettings();
    render_settings.m_shadowmap_width = render_settings.m_shadowmap_height = 256;
    render_settings.m_shadowmap_offset = 2.5;
    doc.Properties().SetRenderSettings(render_settings);
    CRenderSession session(doc, nullptr, settings);
    EXPECT_TRUE(session.AddRenderMesh(object, TK_Material(), &floor));
    EXPECT_TRUE(session.AddRenderMesh(object, TK_Material(), &plate));
    spot.SetShadowIntensity(shadow_intensity);
    EXPECT_TRUE(session.AddLight(CKavraLight(spot)));
    Render(session, 64, 64);
    EXPECT_EQ(session.ShadowMaps().Count(), int(shadow_level > 0 && shadow_intensity > 0));
    if (session.ShadowMaps().Count() == 1) {
      const ShadowMap& map = *session.ShadowMaps()[0];
      EXPECT_EQ(std::tuple(map.ScreenWidth(), map.ScreenHeight(), map.MeshCount()), std::tuple(256, 256, 2));
      EXPECT_DOUBLE_EQ(map.DepthBias(), 2.5 * 0.0002);
      EXPECT_DOUBLE_EQ(map.FrustumFar(), 2 * TK_3dPoint(0, 0, 4).DistanceTo(TK_3dPoint(4, 4, 0)));
    }
    std::vector<std::uint32_t> pixels;  // over floor points (x, y) of the grid below
    for (const auto& [x, y] : {std::pair{0.8, 0.0}, {0.0, -0.9}, {-0.7, 0.7}, {2.0, 0.0}, {-1.6, -1.6}, {0.0, 2.2}})
      pixels.push_back(ImageWord(int((x + 2.5) / 5.0 * 64), int((2.5 - y) / 5.0 * 64)));
    return pixels;
  };
  const std::vector<std::uint32_t> unshadowed = render(0, 1.0), normal = render(1, 1.0), best = render(2, 1.0),
                                   faint = render(1, 0.0);
  for (std::size_t i = 0; i < unshadowed.size(); ++i) {
    const bool in_shadow = i < 3;
    for (const int shift : {0, 8, 16})
      EXPECT_EQ((normal[i] >> shift & 0xFF) < (unshadowed[i] >> shift & 0xFF), in_shadow) << i;
    EXPECT_EQ(best[i], normal[i]) << i;
    EXPECT_EQ(faint[i], unshadowed[i]) << i;
    EXPECT_EQ(normal[i], in_shadow ? normal[0] : unshadowed[i]) << i;
  }
}

}  // namespace
