#pragma once
// A small scene for shading tests: lights, materials lent to material
// entries, hits built by hand, and a shadow lookup that records which hits
// it was asked about and answers a fixed lit fraction.

#include <cmath>
#include <deque>
#include <vector>

#include "host/toolkit/Light.h"
#include "shading/MaterialEntry.h"
#include "shading/ShadowLookup.h"
#include "shading/SurfaceShader.h"

struct RecordingShadows : ShadowLookup {
  struct Question {
    int map;
    int mesh_index;
    double depth;
    int sample_count;
  };
  std::vector<int> light_of_map{0};
  double answer = 0.5;
  mutable std::vector<Question> asked;

  int MapCount() const override { return int(light_of_map.size()); }
  int LightIndexOfMap(int map) const override { return light_of_map[std::size_t(map)]; }
  double LitFraction(int map, const HitRecord& hit, int sample_count) const override {
    asked.push_back({map, hit.mesh_index, hit.depth, sample_count});
    return answer;
  }
  bool WasAskedAbout(double depth) const {
    for (const Question& q : asked)
      if (q.depth == depth) return true;
    return false;
  }
};

struct ShadingFixture {
  TK_SimpleArray<TK_Light> lights;
  SurfaceShader shader{lights, {}};
  std::deque<CRenderMaterial> materials;  // stable addresses for the lent materials
  std::deque<MaterialEntry> entries;

  // A material entry of diffuse colour `diffuse`, no specular light (shine 0)
  // and transparency t.
  const MaterialEntry& Material(TK_Color diffuse, double t, double shine = 0.0) {
    CRenderMaterial& m = materials.emplace_back();
    m.SetDiffuse(diffuse);
    m.SetSpecular(TK_Color(255, 255, 255));
    m.SetShine(shine);
    m.SetTransparency(t);
    return entries.emplace_back(&m);
  }
  CRenderMaterial& Lent(const MaterialEntry& entry) { return *const_cast<CRenderMaterial*>(entry.Material()); }

  static HitRecord Hit(const MaterialEntry& material, TK_3dVector point, TK_3dVector normal, int mesh = 0,
                       double depth = 1.0) {
    HitRecord h;
    InitHitRecord(h);
    h.point = point;
    h.normal = normal;
    h.ray_origin = point + TK_3dVector(0, 0, 5);
    h.ray_direction = TK_3dVector(0, 0, -1);
    h.depth = depth;
    h.mesh_index = mesh;
    h.material = &material;
    h.weights = TK_3fPoint(1, 0, 0);
    return h;
  }

  TK_Light& AddLight(TK::light_style style, TK_3dPoint location, TK_3dVector direction = {0, 0, -1}) {
    TK_Light light;
    light.SetStyle(style);
    light.SetLocation(location);
    light.SetDirection(direction);
    lights.Append(light);
    return lights[lights.Count() - 1];
  }
};

inline TK_3dVector UnitOf(TK_3dVector v) {
  const double l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  return {v.x / l, v.y / l, v.z / l};
}
