#include "host/app/RecordArchive.h"

#include <bit>
#include <optional>

namespace {
bool WriteFloat(TK_BinaryArchive& a, float v) { return a.WriteUInt32(std::bit_cast<std::uint32_t>(v)); }
bool ReadFloat(TK_BinaryArchive& a, float& v) {
  std::uint32_t u;
  if (!a.ReadUInt32(u)) return false;
  v = std::bit_cast<float>(u);
  return true;
}

template <typename V> bool Write3d(TK_BinaryArchive& a, const V& v) {
  return a.WriteDouble(v.x) && a.WriteDouble(v.y) && a.WriteDouble(v.z);
}
template <typename V> bool Read3d(TK_BinaryArchive& a, V& v) {
  return a.ReadDouble(v.x) && a.ReadDouble(v.y) && a.ReadDouble(v.z);
}
template <typename V> bool Write3f(TK_BinaryArchive& a, const V& v) {
  return WriteFloat(a, v.x) && WriteFloat(a, v.y) && WriteFloat(a, v.z);
}
template <typename V> bool Read3f(TK_BinaryArchive& a, V& v) {
  return ReadFloat(a, v.x) && ReadFloat(a, v.y) && ReadFloat(a, v.z);
}

template <typename T, typename F> bool WriteAll(const std::vector<T>& items, F write) {
  for (const T& item : items)
    if (!write(item)) return false;
  return true;
}

// Resizes only after checking that count items of item_size bytes remain.
template <typename T, typename F>
bool ReadAll(TK_BinaryArchive& a, std::vector<T>& items, std::uint64_t count, std::uint64_t item_size, F read) {
  if (count > a.BytesRemaining() / item_size) return false;
  items.resize(count);
  for (T& item : items)
    if (!read(item)) return false;
  return true;
}

enum MeshFlags : std::uint8_t { has_normals = 1, has_texture = 2, has_face_normals = 4 };
}  // namespace

bool KvWriteMesh(TK_BinaryArchive& a, const TK_Mesh& mesh) {
  // Partial arrays are not part of a mesh's meaning: only whole ones are kept.
  const std::uint8_t flags = std::uint8_t((mesh.HasVertexNormals() ? has_normals : 0) |
                                          (mesh.HasTextureCoordinates() ? has_texture : 0) |
                                          (mesh.HasFaceNormals() ? has_face_normals : 0));
  return a.WriteInt(mesh.VertexCount()) && a.WriteInt(mesh.FaceCount()) && a.WriteByte(flags) &&
         WriteAll(mesh.m_V, [&](const TK_3fPoint& p) { return Write3f(a, p); }) &&
         WriteAll(mesh.m_F, [&](const TK_MeshFace& f) {
           return a.WriteInt(f.vi[0]) && a.WriteInt(f.vi[1]) && a.WriteInt(f.vi[2]) && a.WriteInt(f.vi[3]);
         }) &&
         (!(flags & has_normals) || WriteAll(mesh.m_N, [&](const TK_3fVector& n) { return Write3f(a, n); })) &&
         (!(flags & has_texture) ||
          WriteAll(mesh.m_T, [&](const TK_2fPoint& t) { return WriteFloat(a, t.x) && WriteFloat(a, t.y); })) &&
         (!(flags & has_face_normals) || WriteAll(mesh.m_FN, [&](const TK_3fVector& n) { return Write3f(a, n); }));
}

bool KvReadMesh(TK_BinaryArchive& a, TK_Mesh& mesh) {
  int vertex_count = 0, face_count = 0;
  std::uint8_t flags = 0;
  if (!a.ReadInt(vertex_count) || !a.ReadInt(face_count) || !a.ReadByte(flags)) return false;
  if (vertex_count < 0 || face_count < 0 || flags > 7) return false;
  TK_Mesh m;
  const auto v = std::uint64_t(vertex_count), f = std::uint64_t(face_count);
  if (!ReadAll(a, m.m_V, v, 12, [&](TK_3fPoint& p) { return Read3f(a, p); })) return false;
  if (!ReadAll(a, m.m_F, f, 16, [&](TK_MeshFace& face) {
        return a.ReadInt(face.vi[0]) && a.ReadInt(face.vi[1]) && a.ReadInt(face.vi[2]) && a.ReadInt(face.vi[3]);
      }))
    return false;
  if ((flags & has_normals) && !ReadAll(a, m.m_N, v, 12, [&](TK_3fVector& n) { return Read3f(a, n); })) return false;
  if ((flags & has_texture) &&
      !ReadAll(a, m.m_T, v, 8, [&](TK_2fPoint& t) { return ReadFloat(a, t.x) && ReadFloat(a, t.y); }))
    return false;
  if ((flags & has_face_normals) && !ReadAll(a, m.m_FN, f, 12, [&](TK_3fVector& n) { return Read3f(a, n); }))
    return false;
  mesh = std::move(m);
  return true;
}

bool KvWriteLight(TK_BinaryArchive& a, const TK_Light& l) {
  const TK_3dVector c = l.AttenuationCoefficients();
  return a.WriteInt(int(l.Style())) && a.WriteBool(l.IsEnabled()) && Write3d(a, l.Location()) &&
         Write3d(a, l.Direction()) && Write3d(a, l.Length()) && Write3d(a, l.Width()) && a.WriteColor(l.Diffuse()) &&
         a.WriteDouble(l.Intensity()) && a.WriteDouble(l.ShadowIntensity()) && a.WriteDouble(l.SpotAngleRadians()) &&
         a.WriteDouble(l.SpotExponent()) && Write3d(a, c) && a.WriteString(l.Name());
}

bool KvReadLight(TK_BinaryArchive& a, TK_Light& light) {
  int style = 0;
  bool enabled = false;
  TK_3dPoint location;
  TK_3dVector direction, length, width, c;
  TK_Color diffuse;
  double intensity = 0, shadow = 0, angle = 0, exponent = 0;
  TK_wString name;
  if (!a.ReadInt(style) || !a.ReadBool(enabled) || !Read3d(a, location) || !Read3d(a, direction) ||
      !Read3d(a, length) || !Read3d(a, width) || !a.ReadColor(diffuse) || !a.ReadDouble(intensity) ||
      !a.ReadDouble(shadow) || !a.ReadDouble(angle) || !a.ReadDouble(exponent) || !Read3d(a, c) ||
      !a.ReadString(name))
    return false;
  TK_Light l;
  l.Enable(enabled);
  l.SetDiffuse(diffuse);
  l.SetName(name);
  const std::optional<TK::light_style> known_style = TK::LightStyleOf(style);
  if (!known_style || !l.SetStyle(*known_style) || !l.SetLocation(location) || !l.SetDirection(direction) ||
      !l.SetLength(length) || !l.SetWidth(width) || !l.SetIntensity(intensity) || !l.SetShadowIntensity(shadow) ||
      !l.SetSpotAngleRadians(angle) || !l.SetSpotExponent(exponent) || !l.SetAttenuation(c.x, c.y, c.z))
    return false;
  light = l;
  return true;
}

bool KvWriteView(TK_BinaryArchive& a, const CKavraView& view) {
  const TK_ScnView& v = view.View();
  const TK_Viewport& vp = v.m_vp;
  double f[6], p[6];
  vp.GetFrustum(f[0], f[1], f[2], f[3], f[4], f[5]);
  vp.GetScreenPort(p[0], p[1], p[2], p[3], p[4], p[5]);
  bool ok = a.WriteString(v.m_name) && a.WriteInt(int(vp.Projection())) && Write3d(a, vp.CameraLocation()) &&
            Write3d(a, vp.CameraDirection()) && Write3d(a, vp.CameraUp());
  for (double x : f) ok = ok && a.WriteDouble(x);
  for (double x : p) ok = ok && a.WriteDouble(x);
  return ok && a.WriteString(v.m_wallpaper_filename) && a.WriteBool(v.m_wallpaper_grey) && a.WriteInt(view.Width()) &&
         a.WriteInt(view.Height());
}

bool KvReadView(TK_BinaryArchive& a, CKavraView& view) {
  TK_ScnView v;
  int projection = 0, width = 0, height = 0;
  TK_3dPoint location;
  TK_3dVector direction, up;
  double f[6], p[6];
  if (!a.ReadString(v.m_name) || !a.ReadInt(projection) || !Read3d(a, location) || !Read3d(a, direction) ||
      !Read3d(a, up))
    return false;
  for (double& x : f)
    if (!a.ReadDouble(x)) return false;
  for (double& x : p)
    if (!a.ReadDouble(x)) return false;
  if (!a.ReadString(v.m_wallpaper_filename) || !a.ReadBool(v.m_wallpaper_grey) || !a.ReadInt(width) ||
      !a.ReadInt(height))
    return false;
  TK_Viewport& vp = v.m_vp;
  const std::optional<TK::view_projection> known_projection = TK::ViewProjectionOf(projection);
  // The frustum goes in under the parallel rules, which ask least of it; a
  // perspective view may keep numbers that only its projection change let in.
  if (!known_projection || !vp.SetProjection(TK::parallel) || !vp.SetFrustum(f[0], f[1], f[2], f[3], f[4], f[5]) ||
      !vp.SetProjection(*known_projection) || !vp.SetCameraLocation(location) ||
      !vp.SetCameraDirection(direction) || !vp.SetCameraUp(up) || !vp.SetScreenPort(p[0], p[1], p[2], p[3], p[4], p[5]))
    return false;
  CKavraView result(v, 1, 1);
  if (!result.SetSize(width, height)) return false;
  view = result;
  return true;
}
