#pragma once
// Shading test helpers: materials lent to material entries, hits made by
// hand, a shadow lookup that records what it is asked, and bitmaps whose
// every texel has its own colour.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <tuple>
#include <vector>

#include "host/platform/OruDib.h"
#include "host/toolkit/Light.h"
#include "shading/MaterialEntry.h"
#include "shading/ShadowLookup.h"
#include "shading/SurfaceShader.h"

struct RecordingShadows : ShadowLookup {
  std::vector<int> light_of_map{0};
  mutable std::vector<std::pair<int, int>> asked;  // map, sample count
  mutable std::vector<double> asked_depths;
  int MapCount() const override { return int(light_of_map.size()); }
  int LightIndexOfMap(int map) const override { return light_of_map[std::size_t(map)]; }
  double LitFraction(int map, const HitRecord& hit, int sample_count) const override {
    return asked.emplace_back(map, sample_count), asked_depths.push_back(hit.depth), 0.5;
  }
};

struct ShadingFixture {
  TK_SimpleArray<TK_Light> lights;
  SurfaceShader shader{lights, {}};
  std::deque<CRenderMaterial> materials;  // stable addresses for the lent materials
  std::deque<MaterialEntry> entries;

  // White specular colour; shine 0 gives no specular light.
  const MaterialEntry& Material(TK_Color diffuse, double transparency, double shine = 0.0) {
    CRenderMaterial& m = materials.emplace_back();
    m.SetDiffuse(diffuse);
    m.SetSpecular(TK_Color(255, 255, 255));
    m.SetShine(shine);
    m.SetTransparency(transparency);
    return entries.emplace_back(&m);
  }
  CRenderMaterial& Lent(const MaterialEntry& entry) { return *const_cast<CRenderMaterial*>(entry.Material()); }
  // Seen from 5 units above, along -z.
  static HitRecord Hit(const MaterialEntry& m, TK_3dVector point, TK_3dVector normal, int mesh = 0, double depth = 1) {
    HitRecord h;
    InitHitRecord(h);
    std::tie(h.point, h.normal, h.ray_origin, h.ray_direction, h.depth, h.mesh_index, h.material, h.weights) =
        std::tuple(point, normal, point + TK_3dVector(0, 0, 5), TK_3dVector(0, 0, -1), depth, mesh, &m,
                   TK_3fPoint(1, 0, 0));
    return h;
  }
  TK_Light& AddLight(TK::light_style style, TK_3dPoint location, TK_3dVector direction = {0, 0, -1}) {
    TK_Light light;
    light.SetStyle(style);
    light.SetLocation(location);
    light.SetDirection(direction);
    return lights.Append(light), lights[lights.Count() - 1];
  }
};

inline Colour3f Rgb(double r, double g, double b) { return {float(r), float(g), float(b)}; }

inline ::testing::AssertionResult Near(const Colour3f& a, const Colour3f& b, double tolerance = 1e-6) {
  if (std::max({std::fabs(a.red - b.red), std::fabs(a.green - b.green), std::fabs(a.blue - b.blue)}) <= tolerance)
    return ::testing::AssertionSuccess();  // NaN fails here
  return ::testing::AssertionFailure() << a.red << " " << a.green << " " << a.blue << " against " << b.red << " "
                                       << b.green << " " << b.blue;
}

// The colour of texel (x, y), y counted from the bottom row.
inline Colour3f Texel(int x, int y) {
  return {float(40 * x + y) / 255.0f, float(40 * y + x) / 255.0f, float(100 + 7 * x + 13 * y) / 255.0f};
}

// Texel colours, or when grey is 0..255 the grey (grey + dx x + dy y) / 255.
inline bool FillImage(COruDib& image, int width, int height, int grey = -1, int dx = 0, int dy = 0) {
  if (!image.CreateDib(width, height, 32, true, nullptr)) return false;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      unsigned char* p = image.FindDIBBits() + y * image.GetStorageWidth() + x * 4;
      const int g = grey + dx * x + dy * y;
      p[0] = static_cast<unsigned char>(grey >= 0 ? g : 100 + 7 * x + 13 * y);
      p[1] = static_cast<unsigned char>(grey >= 0 ? g : 40 * y + x);
      p[2] = static_cast<unsigned char>(grey >= 0 ? g : 40 * x + y);
    }
  return true;
}

// Bound the way the material cache binds a slot.
inline void Bind(MaterialMap& slot, const COruDib& image, double amount = 1.0, int filter = 0) {
  slot.bitmap = &image;
  slot.width_limit = image.Width() - 2;
  slot.height_limit = image.Height() - 2;
  slot.amount = amount;
  slot.filter = filter;
}
