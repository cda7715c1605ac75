#include "host/import/Primitives.h"

#include <cmath>
#include <numbers>

namespace primitives {
namespace {

bool IsSize(double v) { return std::isfinite(v) && v > 0.0; }
bool IsSegmentCount(int n) { return n >= kMinSegments && n <= kMaxSegments; }

// Appends one vertex with its normal and texture coordinate; answers its index.
int AddVertex(TK_Mesh& m, double x, double y, double z, TK_3fVector n, float u, float v) {
  const int index = m.VertexCount();
  m.m_V.push_back(TK_3fPoint(float(x), float(y), float(z)));
  m.m_N.push_back(n);
  m.m_T.push_back(TK_2fPoint(u, v));
  return index;
}

void AddQuad(TK_Mesh& m, int a, int b, int c, int d) { m.SetQuad(m.FaceCount(), a, b, c, d); }
void AddTriangle(TK_Mesh& m, int a, int b, int c) { m.SetTriangle(m.FaceCount(), a, b, c); }

}  // namespace

std::optional<TK_Mesh> Box(double sx, double sy, double sz) {
  if (!IsSize(sx) || !IsSize(sy) || !IsSize(sz)) return std::nullopt;
  const double h[3] = {sx / 2, sy / 2, sz / 2};
  TK_Mesh m;
  // Each side: its outward axis and sign, and the two axes its texture's u
  // and v run along, chosen so that u x v points outward.
  struct Side { int axis; float sign; int u_axis; float u_sign; int v_axis; };
  const Side sides[6] = {{0, +1, 1, +1, 2}, {0, -1, 1, -1, 2}, {1, +1, 0, -1, 2},
                         {1, -1, 0, +1, 2}, {2, +1, 0, +1, 1}, {2, -1, 0, -1, 1}};
  for (const Side& s : sides) {
    TK_3fVector n(0, 0, 0);
    n[s.axis] = s.sign;
    int corner[4];
    for (int k = 0; k < 4; ++k) {
      const float u = (k == 1 || k == 2) ? 1.0f : 0.0f;
      const float v = (k >= 2) ? 1.0f : 0.0f;
      double p[3];
      p[s.axis] = s.sign * h[s.axis];
      p[s.u_axis] = s.u_sign * (2 * u - 1) * h[s.u_axis];
      p[s.v_axis] = (2 * v - 1) * h[s.v_axis];
      corner[k] = AddVertex(m, p[0], p[1], p[2], n, u, v);
    }
    AddQuad(m, corner[0], corner[1], corner[2], corner[3]);
  }
  m.ComputeFaceNormals();
  return m;
}

std::optional<TK_Mesh> Sphere(double radius, int segments, int rings) {
  if (!IsSize(radius) || !IsSegmentCount(segments) || rings < 2 || rings > kMaxSegments) return std::nullopt;
  TK_Mesh m;
  const std::size_t vertices = std::size_t(segments + 1) * std::size_t(rings + 1);
  m.m_V.reserve(vertices);
  m.m_N.reserve(vertices);
  m.m_T.reserve(vertices);
  m.m_F.reserve(std::size_t(segments) * std::size_t(rings));
  // (segments + 1) columns so that the seam has u = 0 and u = 1 vertices.
  for (int j = 0; j <= rings; ++j) {
    const double theta = std::numbers::pi * (double(j) / rings - 0.5);  // latitude
    for (int i = 0; i <= segments; ++i) {
      const double phi = 2 * std::numbers::pi * double(i) / segments;
      const TK_3dVector d(std::cos(theta) * std::cos(phi), std::cos(theta) * std::sin(phi), std::sin(theta));
      AddVertex(m, radius * d.x, radius * d.y, radius * d.z, TK_3fVector(d), float(i) / segments, float(j) / rings);
    }
  }
  const int row = segments + 1;
  for (int j = 0; j < rings; ++j) {
    for (int i = 0; i < segments; ++i) {
      const int a = j * row + i, b = a + 1, c = a + row + 1, d = a + row;
      // The pole rows would give quads with two coincident corners: triangles there.
      if (j == 0)
        AddTriangle(m, a, c, d);
      else if (j == rings - 1)
        AddTriangle(m, a, b, c);
      else
        AddQuad(m, a, b, c, d);
    }
  }
  m.ComputeFaceNormals();
  return m;
}

std::optional<TK_Mesh> Plane(double sx, double sy) {
  if (!IsSize(sx) || !IsSize(sy)) return std::nullopt;
  TK_Mesh m;
  const TK_3fVector up(0, 0, 1);
  const int a = AddVertex(m, -sx / 2, -sy / 2, 0, up, 0, 0);
  const int b = AddVertex(m, sx / 2, -sy / 2, 0, up, 1, 0);
  const int c = AddVertex(m, sx / 2, sy / 2, 0, up, 1, 1);
  const int d = AddVertex(m, -sx / 2, sy / 2, 0, up, 0, 1);
  AddQuad(m, a, b, c, d);
  m.ComputeFaceNormals();
  return m;
}

std::optional<TK_Mesh> Cylinder(double radius, double height, int segments) {
  if (!IsSize(radius) || !IsSize(height) || !IsSegmentCount(segments)) return std::nullopt;
  TK_Mesh m;
  const double z0 = -height / 2, z1 = height / 2;
  for (int i = 0; i <= segments; ++i) {
    const double phi = 2 * std::numbers::pi * double(i) / segments;
    const double c = std::cos(phi), s = std::sin(phi);
    const TK_3fVector n(float(c), float(s), 0);
    AddVertex(m, radius * c, radius * s, z0, n, float(i) / segments, 0);
    AddVertex(m, radius * c, radius * s, z1, n, float(i) / segments, 1);
  }
  for (int i = 0; i < segments; ++i) AddQuad(m, 2 * i, 2 * i + 2, 2 * i + 3, 2 * i + 1);
  // Caps: own vertices with flat normals, texture mapped from the xy disc.
  for (const double z : {z0, z1}) {
    const bool top = z > 0;
    const TK_3fVector n(0, 0, top ? 1.0f : -1.0f);
    const int centre = AddVertex(m, 0, 0, z, n, 0.5f, 0.5f);
    for (int i = 0; i < segments; ++i) {
      const double phi = 2 * std::numbers::pi * double(i) / segments;
      const double c = std::cos(phi), s = std::sin(phi);
      AddVertex(m, radius * c, radius * s, z, n, float(0.5 + 0.5 * c), float(0.5 + 0.5 * s));
    }
    for (int i = 0; i < segments; ++i) {
      const int a = centre + 1 + i, b = centre + 1 + (i + 1) % segments;
      if (top)
        AddTriangle(m, centre, a, b);
      else
        AddTriangle(m, centre, b, a);
    }
  }
  m.ComputeFaceNormals();
  return m;
}

}  // namespace primitives
