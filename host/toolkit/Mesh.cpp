#include "host/toolkit/Mesh.h"

#include <algorithm>
#include <cmath>

TK_OBJECT_IMPLEMENT(TK_Mesh, TK_Geometry, "6B3F8C27-0A1B-4530-B161-B0B5854A8F44")

namespace {
bool Finite(const TK_3fPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }
bool Finite(const TK_3fVector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
TK_3dVector Wide(const TK_3fPoint& p) { return {p.x, p.y, p.z}; }

template <typename T> bool SetAt(std::vector<T>& array, int i, const T& value) {
  if (i < 0 || i > int(array.size())) return false;
  if (i == int(array.size()))
    array.push_back(value);
  else
    array[std::size_t(i)] = value;
  return true;
}
}  // namespace

bool TK_MeshFace::IsValid(int vertex_count) const {
  for (int v : vi)
    if (v < 0 || v >= vertex_count) return false;
  return true;
}

bool TK_Mesh::SetVertex(int i, const TK_3fPoint& point) { return SetAt(m_V, i, point); }

bool TK_Mesh::SetVertex(int i, const TK_3dPoint& point) { return SetVertex(i, TK_3fPoint(point)); }

bool TK_Mesh::SetTriangle(int i, int a, int b, int c) { return SetQuad(i, a, b, c, c); }

bool TK_Mesh::SetQuad(int i, int a, int b, int c, int d) {
  if (a < 0 || b < 0 || c < 0 || d < 0) return false;
  return SetAt(m_F, i, TK_MeshFace{{a, b, c, d}});
}

void TK_Mesh::ConvertQuadsToTriangles() {
  const bool had_face_normals = HasFaceNormals();
  const std::size_t count = m_F.size();
  for (std::size_t i = 0; i < count; ++i) {
    TK_MeshFace& f = m_F[i];
    if (!f.IsQuad()) continue;
    const TK_MeshFace second{{f.vi[0], f.vi[2], f.vi[3], f.vi[3]}};
    f.vi[3] = f.vi[2];
    m_F.push_back(second);  // may reallocate: f is not used afterwards
  }
  if (had_face_normals) ComputeFaceNormals();
}

bool TK_Mesh::ComputeFaceNormals() {
  const int vertex_count = VertexCount();
  bool all_valid = true;
  m_FN.assign(m_F.size(), TK_3fVector());
  for (std::size_t i = 0; i < m_F.size(); ++i) {
    const TK_MeshFace& f = m_F[i];
    if (!f.IsValid(vertex_count)) {
      all_valid = false;
      continue;
    }
    const TK_3fVector p0(m_V[std::size_t(f.vi[0])]), p1(m_V[std::size_t(f.vi[1])]), p2(m_V[std::size_t(f.vi[2])]);
    TK_3fVector n = TK_CrossProduct(p1 - p0, p2 - p0);
    if (n.Unitize()) m_FN[i] = n;
  }
  return all_valid;
}

bool TK_Mesh::ComputeVertexNormals() {
  const int vertex_count = VertexCount();
  bool all_valid = !m_F.empty();
  std::vector<TK_3dVector> sum(m_V.size());
  for (const TK_MeshFace& f : m_F) {
    if (!f.IsValid(vertex_count)) {
      all_valid = false;
      continue;
    }
    const auto P = [&](int k) { return Wide(m_V[std::size_t(f.vi[k])]); };
    const TK_3dVector area = TK_CrossProduct(P(2) - P(0), P(3) - P(1));
    const int corners = f.IsTriangle() ? 3 : 4;
    for (int k = 0; k < corners; ++k) sum[std::size_t(f.vi[k])] += area;
  }
  m_N.assign(m_V.size(), TK_3fVector());
  for (std::size_t i = 0; i < sum.size(); ++i)
    if (sum[i].Unitize()) m_N[i] = TK_3fVector(sum[i]);
  return all_valid;
}

bool TK_Mesh::IsValid() const {
  if (m_V.empty() || m_F.empty()) return false;
  if ((!m_N.empty() && m_N.size() != m_V.size()) || (!m_T.empty() && m_T.size() != m_V.size()) ||
      (!m_FN.empty() && m_FN.size() != m_F.size()))
    return false;
  for (const TK_3fPoint& p : m_V)
    if (!Finite(p)) return false;
  for (const TK_3fVector& n : m_N)
    if (!Finite(n)) return false;
  for (const TK_2fPoint& t : m_T)
    if (!std::isfinite(t.x) || !std::isfinite(t.y)) return false;
  const int vertex_count = VertexCount();
  for (const TK_MeshFace& f : m_F)
    if (!f.IsValid(vertex_count)) return false;
  return true;
}

bool TK_Mesh::Transform(const TK_Xform& xform) {
  std::vector<TK_3fPoint> vertices(m_V.size());
  for (std::size_t i = 0; i < m_V.size(); ++i) {
    const TK_3dPoint p = xform * TK_3dPoint(m_V[i]);
    vertices[i] = TK_3fPoint(p);
    if (!Finite(vertices[i])) return false;
  }
  std::vector<TK_3fVector> normals(m_N.size());
  if (!m_N.empty()) {
    TK_Xform inverse = xform;
    if (!inverse.Invert()) return false;
    inverse.Transpose();
    for (std::size_t i = 0; i < m_N.size(); ++i) {
      TK_3dVector n = inverse * TK_3dVector(m_N[i]);
      n.Unitize();
      normals[i] = TK_3fVector(n);
      if (!Finite(normals[i])) return false;
    }
  }
  m_V.swap(vertices);
  m_N.swap(normals);
  const auto& m = xform.m_xform;
  const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                     m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  if (det < 0.0) {
    for (TK_MeshFace& f : m_F) {
      if (f.IsTriangle())
        f = TK_MeshFace{{f.vi[0], f.vi[2], f.vi[1], f.vi[1]}};
      else
        f = TK_MeshFace{{f.vi[0], f.vi[3], f.vi[2], f.vi[1]}};
    }
  }
  if (!m_FN.empty()) ComputeFaceNormals();
  return true;
}

// Kept in floats and made a box once: the box that adding each finite
// vertex in turn would make (of equal values the first stays, as in Union).
TK_BoundingBox TK_Mesh::BoundingBox() const {
  const auto finite = [](const TK_3fPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); };
  auto v = std::find_if(m_V.begin(), m_V.end(), finite);
  if (v == m_V.end()) return TK_BoundingBox();
  TK_3fPoint low = *v, high = *v;
  for (; v != m_V.end(); ++v) {
    if (!finite(*v)) continue;
    low = TK_3fPoint(std::min(low.x, v->x), std::min(low.y, v->y), std::min(low.z, v->z));
    high = TK_3fPoint(std::max(high.x, v->x), std::max(high.y, v->y), std::max(high.z, v->z));
  }
  return TK_BoundingBox(TK_3dPoint(low), TK_3dPoint(high));
}

bool TK_Mesh::operator==(const TK_Mesh& o) const {
  return m_V == o.m_V && m_F == o.m_F && m_N == o.m_N && m_FN == o.m_FN && m_T == o.m_T;
}
